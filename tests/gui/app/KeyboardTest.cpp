#include "Product.h"
#include "TestSupport.h"
#include "app/frmMain.h"
#include "app/frmMenu.h"
#include "filelist/FileQueue.h"
#include "settings/frmOptions.h"
#include "skin/Palette.h"
#include "ui/Announcer.h"
#include "ui/DialogSeam.h"
#include "ui/FolderDialog.h"
#include "ui/HotArea.h"
#include "ui/ModalGuard.h"
#include "ui/Sound.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

class Keyboard : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Sound::setPlayer([](const QString&) {});
        Announcer::setListener([this](QWidget*, const QString& text) { alerts.append(text); });
        DialogSeam::setFileAnswerer([this](const DialogSeam::FileRequest& r) -> std::optional<QString> {
            fileDialogs.append(r.title);
            return std::nullopt;
        });
        QDir().mkpath(folder.file("music"));
        for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav"})
            QFile(folder.file(QStringLiteral("music/") + QLatin1String(name))).open(QIODevice::WriteOnly);
        FolderDialog::setAnswerer([this](const QString&) -> std::optional<QString> { return folder.file("music"); });
        window = std::make_unique<frmMain>(folder.path());
        window->ui().txtPath->setText(folder.file("out"));
        window->options().FilesAtOnce = 1;
        window->seams().showPopup = [this](QMenu* menu, const QPoint&) { popups.append(menu); };
        window->seams().endProcess = [this] { ended = true; };
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void TearDown() override
    {
        window.reset();
        Announcer::setListener({});
        DialogSeam::setFileAnswerer({});
        FolderDialog::setAnswerer({});
        Sound::setPlayer({});
    }

    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
        QTest::keyClick(target, Qt::Key(k), mods);
    }
    bool addFolderByKeys()
    {
        key(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        return QTest::qWaitFor([&] { return window->ui().lstFile->count() == 4 && !window->isListBusy(); }, 10000);
    }
    // The list is shown from the queue: both hold the same paths in the same order.
    void expectListInStep(const QStringList& paths)
    {
        EXPECT_EQ(text(window->ui().lstFile->paths()), text(paths));
        ASSERT_EQ(window->ui().LV->model()->rowCount(), paths.size());
        for (int i = 0; i < paths.size(); ++i)
            EXPECT_EQ(window->ui().LV->model()->index(i, 0).data().toString(), paths[i]);
    }

    ProgramFolder folder;
    MsgBoxRecorder boxes;
    OpenedUrls opened;
    QStringList alerts;
    QStringList fileDialogs;
    QList<QMenu*> popups;
    bool ended = false;
    std::unique_ptr<frmMain> window;
};

TEST_F(Keyboard, SessionWithoutAMouseAddsConvertsStopsRemovesOpensOptionsAndExits)
{
    ScopedEnv ops("FAKE_TOOL_OPS",
                  "out:  Duration: 00:01:40.00, start\\n;out:size= 1kB time=00:00:41.00 bitrate\\r;waitfor:" +
                      folder.file("never").toUtf8() + ";touch");
    ASSERT_TRUE(addFolderByKeys());

    // From the list, Tab reaches the format selector; the arrow keys choose MP3.
    window->ui().LV->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), window->ui().cmbOF);
    const int mp3 = window->ui().cmbOF->findText(QStringLiteral("MP3"));
    ASSERT_GE(mp3, 0);
    key(Qt::Key_Home);
    for (int i = 0; i < mp3; ++i)
        key(Qt::Key_Down);
    EXPECT_EQ(window->ui().cmbOF->currentText(), QStringLiteral("MP3"));

    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(window->isConverting());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->windowTitle().startsWith(QStringLiteral("41%")); }, 30000))
        << window->windowTitle().toStdString();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("41% - Veltra WMA Converter"));
    EXPECT_EQ(window->ui().lblPB->value(), 41);

    // While it converts, the keys of the locked commands do nothing, as their buttons do.
    window->ui().LV->setFocus(Qt::TabFocusReason);
    key(Qt::Key_O, Qt::ControlModifier);
    key(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    key(Qt::Key_Delete);
    key(Qt::Key_Delete, Qt::ShiftModifier);
    key(Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(fileDialogs.isEmpty());
    EXPECT_TRUE(popups.isEmpty());
    EXPECT_EQ(window->ui().lstFile->count(), 4);
    EXPECT_TRUE(window->isConverting());

    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    key(Qt::Key_Escape);
    ASSERT_EQ(finished.count(), 1) << "Stop ends the batch before it returns";
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Stopped."));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Veltra WMA Converter"));
    EXPECT_EQ(alerts, QStringList{QStringLiteral("Stopped.")});

    // Two rows with the keyboard: the first, and Shift+Down for the next.
    const QStringList before = window->ui().lstFile->paths();
    ASSERT_EQ(before.size(), 4);
    window->ui().LV->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Home);
    key(Qt::Key_Down, Qt::ShiftModifier);
    key(Qt::Key_Delete);
    expectListInStep(before.mid(2));

    // Options opens on Ctrl+comma and Escape leaves it as Back does.
    bool optionsSeen = false;
    QTimer::singleShot(0, [&] {
        const bool active =
            QTest::qWaitFor([] { return qobject_cast<frmOptions*>(QApplication::activeWindow()) != nullptr; }, 30000);
        if (auto* options = qobject_cast<frmOptions*>(QApplication::activeModalWidget())) {
            optionsSeen = active;
            QTest::keyClick(options->focusWidget() ? options->focusWidget() : options, Qt::Key_Escape);
        }
    });
    // Should Escape fail to close it, the test must still end.
    bool forced = false;
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [&] {
        if (auto* options = qobject_cast<frmOptions*>(QApplication::activeModalWidget())) {
            forced = true;
            options->close();
        }
    });
    rescue.start(60000);
    // The real window opens this once, and is answered by the key above.
    ModalGuard::setHandler({});
    key(Qt::Key_Comma, Qt::ControlModifier);
    ModalGuard::setHandler([](const char* what) { ADD_FAILURE() << "a real " << what << " would have opened"; });
    EXPECT_TRUE(optionsSeen);
    EXPECT_FALSE(forced);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // A window manager gives the window back its focus; the offscreen platform has none.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    key(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(ended);
}

TEST_F(Keyboard, TabWalksTheVisibleControlsInReadingOrderAndFocusShowsARing)
{
    const MainUi& ui = window->ui();
    const QList<QWidget*> order = {ui.imgToolbar[0],
                                   ui.imgToolbar[6],
                                   ui.imgToolbar[1],
                                   ui.imgToolbar[2],
                                   ui.imgToolbar[3],
                                   ui.imgToolbar[4],
                                   ui.LV,
                                   ui.cmbOF,
                                   ui.cmbBR,
                                   ui.cmbR,
                                   ui.cmbChannel,
                                   ui.txtPath,
                                   ui.imgBrowse,
                                   ui.imgConvert,
                                   ui.lblFeed,
                                   ui.lblWeb};
    const QImage unfocused = ui.imgToolbar[0]->grab().toImage();
    ui.imgToolbar[0]->setFocus(Qt::TabFocusReason);
    QList<QWidget*> walked = {QApplication::focusWidget()};
    for (int i = 1; i <= order.size(); ++i) {
        key(Qt::Key_Tab);
        walked.append(QApplication::focusWidget());
    }
    EXPECT_EQ(walked.mid(0, order.size()), order);
    EXPECT_EQ(walked.last(), order.first()) << "the chain closes on itself, through nothing hidden";
    key(Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), order.last());

    // The ring is drawn on the focused button in the skin's accent, and only there.
    ui.imgToolbar[0]->setFocus(Qt::TabFocusReason);
    const QImage focused = ui.imgToolbar[0]->grab().toImage();
    EXPECT_NE(focused, unfocused);
    const QColor ringAt = focused.pixelColor(focused.width() / 2, 1);
    EXPECT_GT(ringAt.green(), 150) << ringAt.name().toStdString();
    EXPECT_LT(ringAt.red(), 120) << ringAt.name().toStdString();
    EXPECT_NE(ui.imgToolbar[6]->grab().toImage().pixelColor(focused.width() / 2, 1), ringAt);

    // Space and Enter press the focused button.
    ui.imgToolbar[0]->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Space);
    key(Qt::Key_Return);
    EXPECT_EQ(fileDialogs, (QStringList{QStringLiteral("Open Files"), QStringLiteral("Open Files")}));
    ui.lblWeb->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Enter);
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl(QString::fromLatin1(Product::kHomePage))});
}

TEST_F(Keyboard, DeleteKeysBelongToTheListAndKeepTheirMeaningInTheFolderBox)
{
    ASSERT_TRUE(addFolderByKeys());
    const QStringList all = window->ui().lstFile->paths();
    QTreeView* list = window->ui().LV;
    list->setFocus(Qt::TabFocusReason);
    list->selectionModel()->clear();
    list->setCurrentIndex(QModelIndex());
    key(Qt::Key_Delete);
    expectListInStep(all);

    // Ctrl-click picks rows apart; Delete removes both at once.
    for (int row : {0, 2}) {
        const QRect r = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, r.center());
    }
    QSignalSpy resets(window->ui().lstFile, &QAbstractItemModel::modelReset);
    key(Qt::Key_Delete);
    expectListInStep({all[1], all[3]});
    EXPECT_EQ(resets.count(), 1);

    // In the folder box Delete deletes a character and Shift+Delete cuts: the list stays.
    QLineEdit* box = window->ui().txtPath;
    box->setFocus(Qt::TabFocusReason);
    box->setText(QStringLiteral("/music"));
    box->setCursorPosition(0);
    key(Qt::Key_Delete);
    EXPECT_EQ(box->text(), QStringLiteral("music"));
    box->selectAll();
    key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(box->text(), QString());
    EXPECT_EQ(window->ui().lstFile->count(), 2);
    key(Qt::Key_Escape);
    EXPECT_FALSE(window->isConverting());

    // Ctrl+A selects every row; Shift+Delete on the list empties it.
    list->setFocus(Qt::TabFocusReason);
    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list->selectionModel()->selectedRows().size(), 2);
    key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->ui().lstFile->count() == 0; }, 5000));
}

TEST_F(Keyboard, MenuBarOpensWithAltAndItsMnemonicsAndMenusShowTheKeys)
{
    key(Qt::Key_F, Qt::AltModifier);
    key(Qt::Key_O, Qt::AltModifier);
    key(Qt::Key_A, Qt::AltModifier);
    // Alt alone, pressed and released, opens the first menu.
    QTest::keyPress(window.get(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(window.get(), Qt::Key_Alt, Qt::NoModifier);
    frmMenu* menus = window->popupMenus();
    EXPECT_EQ(popups, (QList<QMenu*>{menus->menuFile, menus->menuOptions, menus->menuAbout, menus->menuFile}));

    EXPECT_EQ(menus->menuAddaFile->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(menus->menuAddaFolder->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+O")));
    EXPECT_EQ(menus->menuExit->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    EXPECT_EQ(menus->menuOption->shortcut(), QKeySequence(QStringLiteral("Ctrl+,")));
    EXPECT_EQ(menus->menuHelp->shortcut(), QKeySequence(QStringLiteral("F1")));
    EXPECT_EQ(menus->menuRemoveAll->shortcut(), QKeySequence(QStringLiteral("Shift+Del")));
    EXPECT_TRUE(window->ui().imgToolbar[0]->toolTip().endsWith(QStringLiteral("(Ctrl+O)")));
    EXPECT_TRUE(window->ui().imgConvert->toolTip().endsWith(QStringLiteral("(Ctrl+Return)")));
}

TEST_F(Keyboard, EveryControlSpeaksItsNameRoleAndState)
{
    const MainUi& ui = window->ui();
    struct Expected
    {
        QObject* control;
        QAccessible::Role role;
        QString name;
    };
    const Expected controls[] = {{ui.imgToolbar[0], QAccessible::Button, "Add File(s)"},
                                 {ui.imgToolbar[6], QAccessible::Button, "Add Folder"},
                                 {ui.imgToolbar[1], QAccessible::Button, "Remove"},
                                 {ui.imgToolbar[2], QAccessible::Button, "Options"},
                                 {ui.imgToolbar[3], QAccessible::Button, "Help"},
                                 {ui.imgToolbar[4], QAccessible::Button, "Exit"},
                                 {ui.imgMenu[0], QAccessible::Button, "File"},
                                 {ui.imgHelp, QAccessible::Button, "Help"},
                                 {ui.imgMin, QAccessible::Button, "Minimize"},
                                 {ui.imgExit, QAccessible::Button, "Close"},
                                 {ui.picButtonOF, QAccessible::Button, "Open list: Output Format"},
                                 {ui.imgBrowse, QAccessible::Button, "Browse"},
                                 {ui.imgConvert, QAccessible::Button, "Convert"},
                                 {ui.cmbOF, QAccessible::ComboBox, "WMA"},
                                 {ui.cmbChannel, QAccessible::ComboBox, "Stereo"},
                                 {ui.txtPath, QAccessible::EditableText, "Output folder"},
                                 {ui.lblFeed, QAccessible::Link, "Feedback"},
                                 {ui.lblWeb, QAccessible::Link, "Veltra WMA Converter"},
                                 {ui.lblPB, QAccessible::ProgressBar, "Progress: 0%"}};
    for (const Expected& e : controls) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(e.control);
        ASSERT_NE(a, nullptr) << e.control->objectName().toStdString();
        EXPECT_EQ(a->role(), e.role) << e.name.toStdString();
        EXPECT_EQ(a->text(QAccessible::Name), e.name);
        EXPECT_FALSE(a->state().disabled) << e.name.toStdString();
    }
    // On this desktop a selector's name is its value; what it sets is its description.
    for (QComboBox* selector : {ui.cmbOF, ui.cmbBR, ui.cmbR, ui.cmbChannel})
        EXPECT_EQ(QAccessible::queryAccessibleInterface(selector)->text(QAccessible::Description), selector->toolTip());
    QAccessibleInterface* add = QAccessible::queryAccessibleInterface(ui.imgToolbar[0]);
    EXPECT_EQ(add->text(QAccessible::Description), ui.imgToolbar[0]->toolTip());
    EXPECT_TRUE(add->state().focusable);
    ui.imgToolbar[0]->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(add->state().focused);
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(ui.imgAdd)->state().focusable) << "hidden below the face";

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(ui.LV);
    ASSERT_TRUE(list->role() == QAccessible::Tree || list->role() == QAccessible::Table);
    EXPECT_EQ(list->text(QAccessible::Name), QStringLiteral("File list"));
    ASSERT_NE(list->tableInterface(), nullptr);
    EXPECT_EQ(list->tableInterface()->columnCount(), 2);
    QStringList headers;
    for (int i = 0; i < list->childCount(); ++i) {
        if (list->child(i)->role() == QAccessible::ColumnHeader)
            headers.append(list->child(i)->text(QAccessible::Name));
    }
    EXPECT_EQ(headers, (QStringList{QStringLiteral("FileName"), QStringLiteral("Format")}));

    QAccessibleInterface* progress = QAccessible::queryAccessibleInterface(ui.lblPB);
    ASSERT_NE(progress->valueInterface(), nullptr);
    ui.lblPB->setValue(41);
    EXPECT_EQ(progress->valueInterface()->currentValue().toInt(), 41);
    EXPECT_EQ(progress->valueInterface()->maximumValue().toInt(), 100);
}

TEST_F(Keyboard, AFailedBatchIsAnnouncedWithItsMessage)
{
    ScopedEnv ops("FAKE_TOOL_OPS", "exit:1");
    window->ui().lstFile->append(folder.file("broken.wav"));
    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(finished.wait(20000));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(alerts, (QStringList{window->ui().lblPB->text(), boxes.shown()[0].text}));
}

TEST_F(Keyboard, OptionsAnswersEnterAsOkAndEscapeAsBack)
{
    OptionSettings options;
    const QString settings = folder.file("settings");
    QDir().mkpath(settings);
    for (const bool accept : {false, true}) {
        frmOptions dialog(options, settings);
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        dialog.findChild<QComboBox*>(QStringLiteral("cmbFiles"))->setFocus(Qt::TabFocusReason);
        QTest::keyClick(dialog.findChild<QComboBox*>(QStringLiteral("cmbFiles")), Qt::Key_Down);
        QTest::keyClick(dialog.findChild<QComboBox*>(QStringLiteral("cmbFiles")),
                        accept ? Qt::Key_Return : Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(options.FilesAtOnce != 0, accept);
        EXPECT_EQ(QFile::exists(settings + QStringLiteral("/options.ini")), accept);
    }
    // The two buttons close the chain, after every field; the drop and close buttons stay out of it.
    frmOptions dialog(options, settings);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.ui().imgOK->setFocus(Qt::TabFocusReason);
    QTest::keyClick(dialog.ui().imgOK, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.ui().imgBack);
    QTest::keyClick(dialog.ui().imgBack, Qt::Key_Tab);
    EXPECT_FALSE(qobject_cast<HotArea*>(QApplication::focusWidget())) << "back to the first field";
    dialog.ui().imgOK->setFocus(Qt::TabFocusReason);
    QTest::keyClick(dialog.ui().imgOK, Qt::Key_Backtab);
    EXPECT_FALSE(qobject_cast<HotArea*>(QApplication::focusWidget())) << "the last field";
}

} // namespace
