#include "skin/SkinLayout.h"
#include "app/frmMain.h"
#include "feedback/frmSuggest.h"
#include "settings/OptionRows.h"
#include "settings/frmOptions.h"
#include "skin/SkinArt.h"
#include "ui/HotArea.h"

#include <QComboBox>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

namespace Main = SkinLayout::Main;

QRect placeOf(const QWidget& window, const char* name)
{
    const QWidget* w = window.findChild<QWidget*>(QString::fromLatin1(name));
    return w ? w->geometry() : QRect();
}

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

TEST(SkinLayout, MainWindowPutsItsControlsWhereTheSkinPaintsThem)
{
    QTemporaryDir folder;
    frmMain window(folder.path());
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
                                                              {"picText", Main::kPlacard},
                                                              {"lblFeed", Main::kFeedback},
                                                              {"lblWeb", Main::kWeb},
                                                              {"lblVersion", Main::kVersion},
                                                              {"lblPB", Main::kProgressCaption}})
        EXPECT_EQ(placeOf(window, name), rect) << name;
    for (QWidget* w : window.findChildren<QWidget*>(QStringLiteral("imgToolbar"))) {
        const int at = int(
            std::find(std::begin(Main::kToolbarIndex), std::end(Main::kToolbarIndex), w->property("index").toInt()) -
            std::begin(Main::kToolbarIndex));
        ASSERT_LT(at, Main::kToolbarCount);
        EXPECT_EQ(w->geometry(), Main::kToolbar[at]) << at;
    }
    const QList<QWidget*> menus = window.findChildren<QWidget*>(QStringLiteral("imgMenu"));
    ASSERT_EQ(menus.size(), 3);
    for (QWidget* w : menus)
        EXPECT_EQ(w->geometry(), Main::kMenu[w->property("index").toInt()]);
}

TEST(SkinLayout, DialogsPutTheirControlsWhereTheSkinPaintsThem)
{
    QTemporaryDir folder;
    OptionSettings settings;
    frmOptions options(settings, folder.path());
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
    for (const auto& [name, rect] :
         std::initializer_list<std::pair<const char*, QRect>>{{"chkMC", O::kMusicCutter},
                                                              {"txtFromH", O::kFrom[0]},
                                                              {"txtFromM", O::kFrom[1]},
                                                              {"txtFromS", O::kFrom[2]},
                                                              {"txtToH", O::kDuration[0]},
                                                              {"txtToM", O::kDuration[1]},
                                                              {"txtToS", O::kDuration[2]},
                                                              {"imgOK", O::OK(int(OptionRows::All().size()))},
                                                              {"imgBack", O::Back(int(OptionRows::All().size()))},
                                                              {"imgExit", O::kClose}})
        EXPECT_EQ(placeOf(options, name), rect) << "Options " << name;

    frmSuggest feedback;
    namespace F = SkinLayout::Feedback;
    for (const auto& [name, rect] : std::initializer_list<std::pair<const char*, QRect>>{{"txtName", F::kName},
                                                                                         {"txtEMail", F::kEmail},
                                                                                         {"txtComment", F::kComment},
                                                                                         {"lblSending", F::kStatus},
                                                                                         {"imgSend", F::kSend},
                                                                                         {"imgBack", F::kBack},
                                                                                         {"imgExit", F::kClose}})
        EXPECT_EQ(placeOf(feedback, name), rect) << "Feedback " << name;
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
    const std::pair<const char*, const char*> controls[] = {
        {"HELP", "imgHelp"},        {"MIN", "imgMin"},
        {"CLOSE", "imgExit"},       {"MENU_FILE", "imgMenu"},
        {"MENU_ABOUT", "imgMenu"},  {"ADD_FILES", "imgToolbar"},
        {"EXIT", "imgToolbar"},     {"LIST", "LV"},
        {"FORMAT", "cmbOF"},        {"FORMAT_DROP", "picButtonOF"},
        {"CHANNELS", "cmbChannel"}, {"CHANNELS_DROP", "picButtonChannel"},
        {"FOLDER", "txtPath"},      {"BROWSE", "imgBrowse"},
        {"CONVERT", "imgConvert"},  {"FEEDBACK", "lblFeed"}};
    int checked = 0;
    for (const auto& [key, name] : controls) {
        const QString x = QStringLiteral("VELTRA_%1_X").arg(QLatin1String(key));
        const QString y = QStringLiteral("VELTRA_%1_Y").arg(QLatin1String(key));
        ASSERT_TRUE(values.contains(x) && values.contains(y)) << key;
        // The deepest widget there, or one it belongs to (the list's viewport belongs to the list).
        const QWidget* hit = window.childAt(values[x], values[y]);
        while (hit && hit != &window && hit->objectName() != QLatin1String(name))
            hit = hit->parentWidget();
        EXPECT_TRUE(hit && hit != &window) << key << " does not land on " << name;
        ++checked;
    }
    EXPECT_EQ(checked, int(std::size(controls)));
    // The close point is the one that ends the program in the installed-program check.
    EXPECT_EQ(window.childAt(values[QStringLiteral("VELTRA_CLOSE_X")], values[QStringLiteral("VELTRA_CLOSE_Y")]),
              window.findChild<QWidget*>(QStringLiteral("imgExit")));
}

} // namespace
