// The whole program in a real X server, driven by pointer events on its real window: add two files
// through the File menu, choose MP3, convert with the real FFmpeg, then leave by the close button.
#include "TestSupport.h"
#include "app/frmMain.h"
#include "app/frmMenu.h"
#include "filelist/FileQueue.h"
#include "settings/SetupIni.h"
#include "ui/DialogSeam.h"
#include "ui/HotArea.h"
#include "ui/ModalGuard.h"
#include "ui/Sound.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

// Clicks a point of the window as the pointer would: the window system decides what is under it.
void clickAt(QWidget* window, const QWidget* control)
{
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, control->geometry().center());
}

TEST(EndToEnd, TwoFilesThroughTheFileMenuBecomeMp3sAndTheExitSavesTheSettings)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs a real X server (run under xvfb-run)";
    // Menus open for real here; the pointer closes them.
    ModalGuard::setHandler({});
    ProgramFolder folder(buildProgramFolder() + QStringLiteral("/data/conv.exe"));
    ASSERT_TRUE(makeTone(folder.file("first.wav"), 2));
    ASSERT_TRUE(makeTone(folder.file("second take.wav"), 3));
    QStringList toChoose = {folder.file("first.wav"), folder.file("second take.wav")};
    DialogSeam::setFileAnswerer([&](const DialogSeam::FileRequest& r) -> std::optional<QString> {
        EXPECT_EQ(r.title, QStringLiteral("Open Files"));
        return toChoose.isEmpty() ? std::nullopt : std::optional<QString>(toChoose.takeFirst());
    });
    QStringList sounds;
    Sound::setPlayer([&](const QString& path) { sounds.append(path); });
    OpenedUrls opened;
    MsgBoxRecorder boxes;
    int ended = 0;

    frmMain window(folder.path());
    window.seams().endProcess = [&] { ++ended; };
    window.seams().scratchFiles = {};
    window.ui().txtPath->setText(folder.file("converted"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    for (int i = 0; i < 2; ++i) {
        // The menu runs a loop of its own once it is open: the pick comes from a timer that looks for it
        // until it is there.
        bool picked = false;
        QTimer picker;
        QObject::connect(&picker, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu || !menu->isVisible() || picked)
                return;
            picked = true;
            picker.stop();
            const QRect item = menu->actionGeometry(window.popupMenus()->menuAddaFile);
            QTest::mouseClick(menu, Qt::LeftButton, {}, item.center());
        });
        picker.start(20);
        clickAt(&window, window.ui().imgMenu[0]);
        EXPECT_TRUE(QTest::qWaitFor([&] { return picked && window.ui().lstFile->count() == i + 1; }, 30000));
    }
    ASSERT_EQ(window.ui().lstFile->paths(), (QList<QString>{folder.file("first.wav"), folder.file("second take.wav")}));
    EXPECT_TRUE(window.ui().picText->isHidden());

    clickAt(&window, window.ui().picButtonOF);
    QAbstractItemView* list = window.ui().cmbOF->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }, 30000));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.ui().cmbOF->currentText() == QLatin1String("MP3"); }, 30000));

    QSignalSpy finished(&window, &frmMain::batchFinished);
    clickAt(&window, window.ui().imgConvert);
    ASSERT_TRUE(finished.wait(120000));
    EXPECT_EQ(window.ui().lblPB->text(), QStringLiteral("Done."));
    EXPECT_EQ(window.ui().lstFile->count(), 0);
    EXPECT_FALSE(window.ui().picText->isHidden());
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_EQ(sounds, QStringList{folder.file("sound.wav")});
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(folder.file("converted"))});
    for (const char* name : {"first", "second take"}) {
        const QString out = folder.file(QStringLiteral("converted/%1.mp3").arg(QLatin1String(name)));
        EXPECT_EQ(probe(out, QStringLiteral("codec_name")), QStringLiteral("mp3")) << name;
        EXPECT_EQ(probe(out, QStringLiteral("sample_rate")), QStringLiteral("44100")) << name;
    }

    clickAt(&window, window.ui().imgExit);
    EXPECT_EQ(ended, 1);
    QFile setup(SetupIni::FilePath(folder.path()));
    ASSERT_TRUE(setup.open(QIODevice::ReadOnly));
    EXPECT_EQ(setup.readAll(), "\"8\"\r\n\"1\"\r\n\"1\"\r\n\"" + folder.file("converted").toUtf8() + "\"\r\n\"0\"\r\n");
    DialogSeam::setFileAnswerer({});
    Sound::setPlayer({});
}

} // namespace
