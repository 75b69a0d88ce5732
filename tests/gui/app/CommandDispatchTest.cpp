// Every way to a command reaches the same command: a painted button, a popup menu's item, the command
// word it writes, a key. One table: where it comes from, what it is, what it does.
#include "Product.h"
#include "TestSupport.h"
#include "app/frmMain.h"
#include "app/frmMenu.h"
#include "filelist/FileQueue.h"
#include "settings/SetupIni.h"
#include "ui/DialogSeam.h"
#include "ui/FolderDialog.h"
#include "ui/HotArea.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTreeView>
#include <functional>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

class Commands : public ::testing::Test
{
public:
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
        QFile(dir.filePath(QStringLiteral("help.chm"))).open(QIODevice::WriteOnly);
        window = std::make_unique<frmMain>(dir.path());
        window->seams().endProcess = [this] { ran.append(QStringLiteral("ended")); };
        window->seams().scratchFiles = {};
        window->seams().showModal = [this](const char* which) { ran.append(QString::fromLatin1(which)); };
        window->seams().showPopup = [this](QMenu* menu, const QPoint& at) {
            popups.append({menu, at});
            ran.append(QStringLiteral("popup:") + menu->title());
        };
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void TearDown() override
    {
        window.reset();
        DialogSeam::setFileAnswerer({});
        FolderDialog::setAnswerer({});
    }
    void say(const char* word) { window->ui().txtAction->setText(QString::fromLatin1(word)); }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier, QWidget* to = nullptr)
    {
        QTest::keyClick(to ? to : window.get(), Qt::Key(k), mods);
    }
    // What a command did, as one word: the dialog or window it opened, the address, the message, the
    // list it left, the end of the program.
    QString effect()
    {
        QStringList seen = ran;
        for (const QUrl& url : opened.urls)
            seen.append(url.isLocalFile() ? QStringLiteral("help") : QStringLiteral("home"));
        for (const MsgBox::Shown& box : boxes.shown())
            seen.append(QStringLiteral("box:") + box.text.left(box.text.indexOf(QLatin1Char(','))));
        if (window->ui().lstFile->count() != 2)
            seen.append(QStringLiteral("rows:%1").arg(window->ui().lstFile->count()));
        return seen.join(QLatin1Char(' '));
    }

    QTemporaryDir dir;
    MsgBoxRecorder boxes;
    OpenedUrls opened;
    QStringList ran;
    QList<std::pair<QMenu*, QPoint>> popups;
    std::unique_ptr<frmMain> window;
};

TEST_F(Commands, EveryWayToACommandRunsItExactlyOnce)
{
    using Way = std::function<void(Commands&)>;
    const auto click = [](HotArea* (*button)(frmMain&)) -> Way {
        return [button](Commands& t) { QTest::mouseClick(button(*t.window), Qt::LeftButton); };
    };
    const auto word = [](const char* w) -> Way { return [w](Commands& t) { t.say(w); }; };
    const auto item = [](QAction* frmMenu::*member) -> Way {
        return [member](Commands& t) { (t.window->popupMenus()->*member)->trigger(); };
    };
    const auto keys = [](int k, Qt::KeyboardModifiers mods, bool onTheList = false) -> Way {
        return [=](Commands& t) {
            if (onTheList)
                t.window->ui().LV->setFocus(Qt::OtherFocusReason);
            t.key(k, mods, onTheList ? t.window->ui().LV : nullptr);
        };
    };
    // The start commands run on an empty list: they ask for a file instead of starting a batch.
    const auto onEmptyList = [](Way way) -> Way {
        return [way](Commands& t) {
            t.window->ui().lstFile->clear();
            way(t);
        };
    };
    const auto toolbar = [&](int i) {
        return [i](Commands& t) { QTest::mouseClick(t.window->ui().imgToolbar[i], Qt::LeftButton); };
    };
    const QString about = QStringLiteral("box:") + QString::fromLatin1(Product::kMaker);
    const struct
    {
        const char* way;
        Way run;
        QString effect;
    } table[] = {
        {"Add File(s) button", toolbar(0), "open:Open Files"},
        {"AddaFile word", word("AddaFile"), "open:Open Files"},
        {"Add a File item", item(&frmMenu::menuAddaFile), "open:Open Files"},
        {"Ctrl+O", keys(Qt::Key_O, Qt::ControlModifier), "open:Open Files"},
        {"hidden add button", click([](frmMain& w) { return w.ui().imgAdd; }), "open:Open Files"},
        {"drop zone click", click([](frmMain& w) { return w.ui().picDrag; }), "open:Open Files"},
        {"Add Folder button", toolbar(6), "folder"},
        {"menuAddaFolder word", word("menuAddaFolder"), "folder"},
        {"Add a Folder item", item(&frmMenu::menuAddaFolder), "folder"},
        {"Ctrl+Shift+O", keys(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier), "folder"},
        {"Remove button", toolbar(1), "popup:Remove"},
        {"RemoveSelected word", word("RemoveSelected"), "rows:1"},
        {"Remove Selected item", item(&frmMenu::menuRemoveSelected), "rows:1"},
        {"Delete on the list", keys(Qt::Key_Delete, Qt::NoModifier, true), "rows:1"},
        {"Remove All item", item(&frmMenu::menuRemoveAll), "rows:0"},
        {"Shift+Delete on the list", keys(Qt::Key_Delete, Qt::ShiftModifier, true), "rows:0"},
        {"Options button", toolbar(2), "options"},
        {"menuOption word", word("menuOption"), "options"},
        {"Options item", item(&frmMenu::menuOption), "options"},
        {"Ctrl+,", keys(Qt::Key_Comma, Qt::ControlModifier), "options"},
        {"Help button", toolbar(3), "help"},
        {"title bar help", click([](frmMain& w) { return w.ui().imgHelp; }), "help"},
        {"menuHelp word", word("menuHelp"), "help"},
        {"Help item", item(&frmMenu::menuHelp), "help"},
        {"F1", keys(Qt::Key_F1, Qt::NoModifier), "help"},
        {"A word", word("A"), about},
        {"About item", item(&frmMenu::menuA), about},
        {"File entry", click([](frmMain& w) { return w.ui().imgMenu[0]; }), "popup:File"},
        {"Alt+F", keys(Qt::Key_F, Qt::AltModifier), "popup:File"},
        {"Options entry", click([](frmMain& w) { return w.ui().imgMenu[1]; }), "popup:Options"},
        {"Alt+O", keys(Qt::Key_O, Qt::AltModifier), "popup:Options"},
        {"About entry", click([](frmMain& w) { return w.ui().imgMenu[2]; }), "popup:About"},
        {"Alt+A", keys(Qt::Key_A, Qt::AltModifier), "popup:About"},
        {"start button", onEmptyList(click([](frmMain& w) { return w.ui().imgConvert; })),
         "box:Please add a file rows:0"},
        {"hidden start button", onEmptyList(click([](frmMain& w) { return w.ui().imgStart; })),
         "box:Please add a file rows:0"},
        {"Ctrl+Return", onEmptyList(keys(Qt::Key_Return, Qt::ControlModifier)), "box:Please add a file rows:0"},
        {"Feedback link", [](Commands& t) { QTest::mouseClick(t.window->ui().lblFeed, Qt::LeftButton); }, "feedback"},
        {"web link", [](Commands& t) { QTest::mouseClick(t.window->ui().lblWeb, Qt::LeftButton); }, "home"},
        {"Browse button", click([](frmMain& w) { return w.ui().imgBrowse; }), "folder"},
        {"Exit button", toolbar(4), "ended"},
        {"menuExit word", word("menuExit"), "ended"},
        {"Exit item", item(&frmMenu::menuExit), "ended"},
        {"Ctrl+Q", keys(Qt::Key_Q, Qt::ControlModifier), "ended"},
        {"title bar close", click([](frmMain& w) { return w.ui().imgExit; }), "ended"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.way);
        ran.clear();
        opened.urls.clear();
        boxes.clear();
        window->ui().lstFile->clear();
        window->ui().lstFile->appendMany({QStringLiteral("/m/A"), QStringLiteral("/m/B")});
        window->ui().LV->setCurrentIndex(window->ui().lstFile->index(0, 0));
        if (!window->isVisible()) {
            window->show();
            window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
        row.run(*this);
        EXPECT_EQ(effect().toStdString(), row.effect.toStdString());
        EXPECT_TRUE(window->ui().txtAction->text().isEmpty()) << "the word is taken away once read";
    }
    EXPECT_TRUE(QFile::exists(SetupIni::FilePath(dir.path()))) << "the exit command saves the setup";
}

TEST_F(Commands, UnknownWordsRunNothingAndEachCommandHasItsNamedAction)
{
    for (const char* w : {"About", "a", "AddaFile ", "menuRemoveAll"})
        say(w);
    EXPECT_TRUE(ran.isEmpty());
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_TRUE(window->ui().txtAction->text().isEmpty());
    // Scripts and tests reach each command by its action's name.
    for (int c = 0; c < MainCommands::Count; ++c) {
        QAction* a = window->commands()->action(MainCommands::Command(c));
        EXPECT_TRUE(a->objectName().startsWith(QStringLiteral("action"))) << c;
        EXPECT_EQ(window->findChild<QAction*>(a->objectName()), a) << c;
    }
}

TEST_F(Commands, MenusCarryTheirExactCaptionsAndRemoveAllWritesNoWord)
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
    QStringList words;
    QObject::connect(window->ui().txtAction, &QLineEdit::textChanged, [&](const QString& t) { words.append(t); });
    m->menuRemoveAll->trigger();
    EXPECT_TRUE(words.isEmpty());
}

TEST_F(Commands, MenuBarPopupsOpenUnderTheirEntryAndRemoveAtThePointer)
{
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

TEST_F(Commands, TheHelpButtonIsClearedWithoutAHelpFileAndMinimiseMinimises)
{
    QFile::remove(dir.filePath(QStringLiteral("help.chm")));
    QTest::mouseMove(window->windowHandle(), window->ui().imgHelp->geometry().center());
    ASSERT_FALSE(window->ui().imgHelp->look().isNull());
    ASSERT_TRUE(trigger(window.get(), "actionHelp")); // no help file beside the program: nothing opens
    EXPECT_TRUE(opened.urls.isEmpty());
    EXPECT_TRUE(window->ui().imgHelp->look().isNull()) << "the help button is cleared all the same";
    QTest::mouseClick(window->ui().imgMin, Qt::LeftButton);
    EXPECT_TRUE(window->isMinimized() || window->windowState().testFlag(Qt::WindowMinimized));
}

} // namespace
