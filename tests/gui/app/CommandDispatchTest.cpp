#include "TestSupport.h"
#include "app/frmMain.h"
#include "app/frmMenu.h"
#include "filelist/FileQueue.h"
#include "settings/SetupIni.h"
#include "ui/DialogSeam.h"
#include "ui/FolderDialog.h"
#include "ui/HotArea.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

class Commands : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DialogSeam::setFileAnswerer([this](const DialogSeam::FileRequest& r) {
            ran.append(QStringLiteral("open:") + r.title);
            return std::optional<QString>();
        });
        FolderDialog::setAnswerer([this](const QString&) {
            ran.append(QStringLiteral("folder"));
            return std::optional<QString>();
        });
        window = std::make_unique<frmMain>(dir.path());
        window->setProcessEnder([this] { ran.append(QStringLiteral("ended")); });
        window->setScratchFiles({});
        window->setModalShower([this](const char* which) { ran.append(QString::fromLatin1(which)); });
        window->setPopupShower([this](QMenu* menu, const QPoint& at) {
            popups.append({menu, at});
            ran.append(QStringLiteral("popup:") + menu->title());
        });
    }
    void TearDown() override
    {
        window.reset();
        DialogSeam::setFileAnswerer({});
        FolderDialog::setAnswerer({});
    }
    void say(const char* word) { window->ui().txtAction->setText(QString::fromLatin1(word)); }

    QTemporaryDir dir;
    MsgBoxRecorder boxes;
    OpenedUrls opened;
    QStringList ran;
    QList<std::pair<QMenu*, QPoint>> popups;
    std::unique_ptr<frmMain> window;
};

TEST_F(Commands, EachWordRunsItsCommandAndTheBoxIsEmptiedAfter)
{
    QFile(dir.filePath(QStringLiteral("help.chm"))).open(QIODevice::WriteOnly);
    say("AddaFile");
    say("menuAddaFolder");
    say("menuOption");
    say("menuHelp");
    say("A");
    EXPECT_TRUE(window->ui().txtAction->text().isEmpty());
    EXPECT_EQ(ran, (QStringList{"open:Open Files", "folder", "options"}));
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(dir.filePath(QStringLiteral("help.chm")))});
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.shown()[0].text.split(QStringLiteral("\r\n")).size(), 3);
    EXPECT_EQ(boxes.shown()[0].icon, MsgBox::Icon::None);
    EXPECT_EQ(boxes.shown()[0].title, QStringLiteral("Veltra WMA Converter"));

    window->ui().lstFile->appendMany({QStringLiteral("/m/A"), QStringLiteral("/m/B")});
    window->ui().LV->setCurrentIndex(window->ui().lstFile->index(0, 0));
    say("RemoveSelected");
    EXPECT_EQ(window->ui().lstFile->paths(), QList<QString>{QStringLiteral("/m/B")});

    say("menuExit");
    EXPECT_EQ(ran.last(), QStringLiteral("ended"));
    EXPECT_TRUE(QFile::exists(SetupIni::FilePath(dir.path())));
}

TEST_F(Commands, UnknownWordsRunNothingAndTheSameItemTwiceRunsTwice)
{
    say("About");
    say("a");
    say("AddaFile ");
    EXPECT_TRUE(ran.isEmpty());
    EXPECT_TRUE(boxes.shown().isEmpty());
    frmMenu* menus = window->popupMenus();
    menus->menuA->trigger();
    menus->menuA->trigger();
    EXPECT_EQ(boxes.shown().size(), 2);
    EXPECT_TRUE(window->ui().txtAction->text().isEmpty());
}

TEST_F(Commands, RemoveAllWritesNoWord)
{
    QStringList words;
    QObject::connect(window->ui().txtAction, &QLineEdit::textChanged, [&](const QString& t) { words.append(t); });
    window->ui().lstFile->appendMany({QStringLiteral("/m/A"), QStringLiteral("/m/B")});
    window->popupMenus()->menuRemoveAll->trigger();
    EXPECT_TRUE(words.isEmpty());
    EXPECT_EQ(window->ui().lstFile->count(), 0);
}

TEST_F(Commands, MenusCarryTheirExactCaptions)
{
    frmMenu* m = window->popupMenus();
    auto captions = [](QMenu* menu) {
        QStringList c;
        for (QAction* a : menu->actions())
            c.append(a->isSeparator() ? QStringLiteral("-") : a->text());
        return c;
    };
    EXPECT_EQ(captions(m->menuFile), (QStringList{"Add a File(&A)", "Add a Folder(&F)", "-", "Exit(&E)"}));
    EXPECT_EQ(captions(m->menuOptions), QStringList{"Options(&O)"});
    EXPECT_EQ(captions(m->menuAbout), (QStringList{"Help(&H)", "About(&A)"}));
    EXPECT_EQ(captions(m->menuRemove), (QStringList{"Remove Selected", "Remove All"}));
    EXPECT_FALSE(m->isVisible());
}

TEST_F(Commands, MenuBarPopupsOpenUnderTheirEntryAndRemoveAtThePointer)
{
    window->show();
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(window->ui().imgMenu[i], Qt::LeftButton);
    ASSERT_EQ(popups.size(), 3);
    EXPECT_EQ(popups[0].first, window->popupMenus()->menuFile);
    EXPECT_EQ(popups[1].first, window->popupMenus()->menuOptions);
    EXPECT_EQ(popups[2].first, window->popupMenus()->menuAbout);
    EXPECT_EQ(popups[1].second, window->mapToGlobal(QPoint(60, 31 + 15)));
    QTest::mouseClick(window->ui().imgToolbar[1], Qt::LeftButton);
    EXPECT_EQ(popups.last().first, window->popupMenus()->menuRemove);
}

TEST_F(Commands, ToolbarButtonsRunTheirCommands)
{
    QFile(dir.filePath(QStringLiteral("help.chm"))).open(QIODevice::WriteOnly);
    for (int i : {0, 6, 2, 3})
        QTest::mouseClick(window->ui().imgToolbar[i], Qt::LeftButton);
    window->imgToolbar_Click(5);
    EXPECT_EQ(ran, (QStringList{"open:Open Files", "folder", "options"}));
    EXPECT_EQ(opened.urls.size(), 1);
    QTest::mouseClick(window->ui().imgToolbar[4], Qt::LeftButton);
    EXPECT_EQ(ran.last(), QStringLiteral("ended"));
}

TEST_F(Commands, HelpWebLinkFeedbackAndMinimise)
{
    window->show();
    QTest::mouseMove(window->windowHandle(), window->ui().imgHelp->geometry().center());
    window->imgHelp_Click(); // no help file beside the program: nothing opens
    EXPECT_TRUE(opened.urls.isEmpty());
    EXPECT_TRUE(window->ui().imgHelp->look().isNull()) << "the help button is cleared all the same";
    QTest::mouseClick(window->ui().lblWeb, Qt::LeftButton);
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl(QString::fromLatin1(frmMain::kHomePage))});
    QTest::mouseClick(window->ui().lblFeed, Qt::LeftButton);
    EXPECT_EQ(ran, QStringList{"feedback"});
    QTest::mouseClick(window->ui().imgMin, Qt::LeftButton);
    EXPECT_TRUE(window->isMinimized() || window->windowState().testFlag(Qt::WindowMinimized));
}

} // namespace
