#include "skin/SkinLayout.h"
#include "app/MainUi.h"
#include "app/frmMain.h"
#include "feedback/frmSuggest.h"
#include "settings/OptionRows.h"
#include "settings/frmOptions.h"
#include "skin/SkinArt.h"
#include "ui/HotArea.h"

#include <QComboBox>
#include <QFile>
#include <QHash>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

namespace Main = SkinLayout::Main;

// A drop button wears its plain picture at rest, over the skin's own painting of it, so the two must agree
// pixel for pixel: a button placed anywhere but where the skin paints it shows a seam.
TEST(SkinLayout, DropButtonsRestingPicturesMatchTheSkinAtTheirPlaces)
{
    using SkinArt::Look;
    const auto same = [](const QImage& onSkin, const QPixmap& picture) {
        return onSkin == picture.toImage().convertToFormat(QImage::Format_RGB32);
    };
    const QImage skin = SkinArt::MainSkin().toImage().convertToFormat(QImage::Format_RGB32);
    for (const QRect& r : Main::kSelectorDrop)
        EXPECT_TRUE(same(skin.copy(r), SkinArt::DropButton(Look::Normal))) << r.y();
    QTemporaryDir folder;
    OptionSettings settings;
    frmOptions options(settings, folder.path());
    const QImage optionsSkin = SkinArt::OptionsSkin().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(options.ui().drops.size(), options.ui().lists.size());
    for (const HotArea* drop : options.ui().drops)
        EXPECT_TRUE(same(optionsSkin.copy(drop->geometry()), SkinArt::DropButton(Look::Normal)))
            << drop->objectName().toStdString();
    EXPECT_EQ(optionsSkin.size(), options.size());
    EXPECT_EQ(SkinArt::FeedbackSkin().size(), SkinLayout::Feedback::kSize);
}

// The widget a click at point reaches, or one it belongs to (the list's viewport belongs to the list),
// is the one named; nullptr and other widgets are not.
bool takesClickAt(QWidget& window, const QPoint& point, const QWidget* control)
{
    const QWidget* hit = window.childAt(point);
    while (hit && hit != &window && hit != control)
        hit = hit->parentWidget();
    return hit && hit == control;
}

bool takesClickAt(QWidget& window, const QPoint& point, const char* name)
{
    return takesClickAt(window, point, window.findChild<QWidget*>(QString::fromLatin1(name)));
}

// A click in the middle of where the skin paints a control reaches that control: nothing lies over it,
// it is shown, and the window's shape does not cut it off.
TEST(SkinLayout, MainWindowControlsTakeTheClicksWhereTheSkinPaintsThem)
{
    QTemporaryDir folder;
    frmMain window(folder.path());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.size(), Main::kSize);
    for (const auto& [name, rect] :
         std::initializer_list<std::pair<const char*, QRect>>{{"imgHelp", Main::kHelp},
                                                              {"imgMin", Main::kMin},
                                                              {"imgExit", Main::kClose},
                                                              {"LV", Main::kList},
                                                              {"cmbOF", Main::kSelector[0]},
                                                              {"cmbBR", Main::kSelector[1]},
                                                              {"cmbR", Main::kSelector[2]},
                                                              {"cmbChannel", Main::kSelector[3]},
                                                              {"picButtonOF", Main::kSelectorDrop[0]},
                                                              {"picButtonBR", Main::kSelectorDrop[1]},
                                                              {"picButtonR", Main::kSelectorDrop[2]},
                                                              {"picButtonChannel", Main::kSelectorDrop[3]},
                                                              {"txtPath", Main::kFolder},
                                                              {"imgBrowse", Main::kBrowse},
                                                              {"imgConvert", Main::kConvert},
                                                              {"lblFeed", Main::kFeedback},
                                                              {"lblWeb", Main::kWeb},
                                                              {"lblVersion", Main::kVersion}})
        EXPECT_TRUE(takesClickAt(window, rect.center(), name)) << name;
    // The placard and the progress caption only show text: a click there reaches what lies beneath.
    EXPECT_TRUE(takesClickAt(window, Main::kPlacard.center(), "LV"));
    EXPECT_FALSE(takesClickAt(window, Main::kProgressCaption.center(), "lblPB"));

    const QList<QWidget*> toolbar = window.findChildren<QWidget*>(QStringLiteral("imgToolbar"));
    ASSERT_EQ(toolbar.size(), Main::kToolbarCount);
    for (QWidget* w : toolbar) {
        const int at = int(
            std::find(std::begin(Main::kToolbarIndex), std::end(Main::kToolbarIndex), w->property("index").toInt()) -
            std::begin(Main::kToolbarIndex));
        ASSERT_LT(at, Main::kToolbarCount);
        EXPECT_TRUE(takesClickAt(window, Main::kToolbar[at].center(), w)) << "toolbar button " << at;
    }
    const QList<QWidget*> menus = window.findChildren<QWidget*>(QStringLiteral("imgMenu"));
    ASSERT_EQ(menus.size(), 3);
    for (QWidget* w : menus)
        EXPECT_TRUE(takesClickAt(window, Main::kMenu[w->property("index").toInt()].center(), w))
            << "menu " << w->property("index").toInt();
}

TEST(SkinLayout, DialogControlsTakeTheClicksWhereTheSkinPaintsThem)
{
    QTemporaryDir folder;
    OptionSettings settings;
    frmOptions options(settings, folder.path());
    options.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&options));
    // Each list on a row of its own inside the panel, its drop button at its right end, nothing else
    // under it, and the buttons below the last.
    const QList<QComboBox*> lists = options.ui().lists;
    ASSERT_EQ(lists.size(), OptionRows::All().size());
    for (int row = 0; row < lists.size(); ++row) {
        const QRect r = lists[row]->geometry();
        EXPECT_TRUE(QRect(10, 30, 310, options.height() - 80).contains(r)) << row;
        EXPECT_EQ(options.ui().drops[row]->geometry().right(), r.right()) << row;
        EXPECT_TRUE(r.contains(options.ui().drops[row]->geometry())) << row;
        for (QWidget* other : options.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (other != lists[row] && other != options.ui().drops[row] && other->isVisibleTo(&options)) {
                EXPECT_FALSE(other->geometry().intersects(r)) << row << " " << other->objectName().toStdString();
            }
        }
        EXPECT_LT(r.bottom(), options.ui().imgOK->geometry().top()) << row;
    }
    namespace O = SkinLayout::Options;
    for (const auto& [name, rect] : std::initializer_list<std::pair<const char*, QRect>>{
             {"chkMC", O::kMusicCutter},
             {"txtFromH", O::kFrom[0]},
             {"txtFromM", O::kFrom[1]},
             {"txtFromS", O::kFrom[2]},
             {"txtToH", O::kDuration[0]},
             {"txtToM", O::kDuration[1]},
             {"txtToS", O::kDuration[2]},
             {"txtPattern", O::TextRow(int(OptionRows::All().size()))},
             {"imgOK", O::OK(int(OptionRows::All().size()) + O::kTextRows)},
             {"imgBack", O::Back(int(OptionRows::All().size()) + O::kTextRows)},
             {"imgExit", O::kClose}})
        EXPECT_TRUE(takesClickAt(options, rect.center(), name)) << "Options " << name;
    options.hide();

    frmSuggest feedback;
    feedback.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&feedback));
    namespace F = SkinLayout::Feedback;
    for (const auto& [name, rect] : std::initializer_list<std::pair<const char*, QRect>>{{"txtName", F::kName},
                                                                                         {"txtEMail", F::kEmail},
                                                                                         {"txtComment", F::kComment},
                                                                                         {"imgSend", F::kSend},
                                                                                         {"imgBack", F::kBack},
                                                                                         {"imgExit", F::kClose}})
        EXPECT_TRUE(takesClickAt(feedback, rect.center(), name)) << "Feedback " << name;
}

// Scripts click the running program at the points the build writes; each must land on its control.
TEST(SkinLayout, GeneratedShellFilePointsAtTheControls)
{
    QFile file(QStringLiteral(VELTRA_SKIN_LAYOUT));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text)) << VELTRA_SKIN_LAYOUT;
    QHash<QString, int> values;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> parts = line.split('=');
        ASSERT_EQ(parts.size(), 2) << line.constData();
        bool ok = false;
        values.insert(QString::fromLatin1(parts[0]), parts[1].toInt(&ok));
        EXPECT_TRUE(ok) << line.constData();
    }

    QTemporaryDir folder;
    frmMain window(folder.path());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(values.value(QStringLiteral("VELTRA_MAIN_WIDTH")), window.width());
    EXPECT_EQ(values.value(QStringLiteral("VELTRA_MAIN_HEIGHT")), window.height());
    const MainUi& ui = window.ui();
    // The toolbar's buttons carry their commands' indexes: 0 Add File(s), 6 Add Folder, 1 Remove,
    // 2 Options, 3 Help, 4 Exit.
    const std::pair<const char*, const QWidget*> controls[] = {{"HELP", ui.imgHelp},
                                                               {"MIN", ui.imgMin},
                                                               {"CLOSE", ui.imgExit},
                                                               {"MENU_FILE", ui.imgMenu[0]},
                                                               {"MENU_OPTIONS", ui.imgMenu[1]},
                                                               {"MENU_ABOUT", ui.imgMenu[2]},
                                                               {"ADD_FILES", ui.imgToolbar[0]},
                                                               {"ADD_FOLDER", ui.imgToolbar[6]},
                                                               {"REMOVE", ui.imgToolbar[1]},
                                                               {"OPTIONS", ui.imgToolbar[2]},
                                                               {"TOOLBAR_HELP", ui.imgToolbar[3]},
                                                               {"EXIT", ui.imgToolbar[4]},
                                                               {"LIST", ui.LV},
                                                               {"FORMAT", ui.cmbOF},
                                                               {"FORMAT_DROP", ui.picButtonOF},
                                                               {"BITRATE", ui.cmbBR},
                                                               {"BITRATE_DROP", ui.picButtonBR},
                                                               {"RATE", ui.cmbR},
                                                               {"RATE_DROP", ui.picButtonR},
                                                               {"CHANNELS", ui.cmbChannel},
                                                               {"CHANNELS_DROP", ui.picButtonChannel},
                                                               {"FOLDER", ui.txtPath},
                                                               {"BROWSE", ui.imgBrowse},
                                                               {"CONVERT", ui.imgConvert},
                                                               {"FEEDBACK", ui.lblFeed}};
    // Every point the file gives is one checked here.
    QStringList given;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (it.key().endsWith(QLatin1String("_X")))
            given.append(it.key().mid(7).chopped(2));
    }
    QStringList checked;
    for (const auto& [key, control] : controls)
        checked.append(QLatin1String(key));
    given.sort();
    checked.sort();
    EXPECT_EQ(given, checked);
    for (const auto& [key, control] : controls) {
        const QString x = QStringLiteral("VELTRA_%1_X").arg(QLatin1String(key));
        const QString y = QStringLiteral("VELTRA_%1_Y").arg(QLatin1String(key));
        ASSERT_TRUE(values.contains(x) && values.contains(y)) << key;
        EXPECT_TRUE(takesClickAt(window, QPoint(values[x], values[y]), control))
            << key << " does not land on its control";
    }
    // The close point is the one that ends the program in the installed-program check.
    EXPECT_EQ(window.childAt(values[QStringLiteral("VELTRA_CLOSE_X")], values[QStringLiteral("VELTRA_CLOSE_Y")]),
              window.findChild<QWidget*>(QStringLiteral("imgExit")));
}

} // namespace
