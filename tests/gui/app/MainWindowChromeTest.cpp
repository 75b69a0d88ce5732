#include "TestSupport.h"
#include "app/frmMain.h"
#include "skin/SkinArt.h"
#include "ui/DialogSeam.h"
#include "ui/FolderDialog.h"
#include "ui/HotArea.h"
#include "ui/ProgressCaption.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

class MainWindowChrome : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<frmMain>(folder.path());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    // A pointer move as the window system reports it: hit-tested, without a held button.
    void moveTo(const QPoint& pos) { QTest::mouseMove(window->windowHandle(), pos); }

    static bool lit(const HotArea* a) { return !a->look().isNull(); }
    int litToolbarButtons() const
    {
        int n = 0;
        for (HotArea* a : window->ui().imgToolbar)
            n += a && lit(a);
        return n;
    }

    QTemporaryDir folder;
    std::unique_ptr<frmMain> window;
};

TEST_F(MainWindowChrome, MovingAlongTheToolbarLightsExactlyOneButton)
{
    for (int index : {0, 6, 1, 2, 3, 4}) {
        moveTo(window->ui().imgToolbar[index]->geometry().center());
        EXPECT_EQ(litToolbarButtons(), 1) << "over button " << index;
        EXPECT_TRUE(lit(window->ui().imgToolbar[index])) << index;
        EXPECT_EQ(window->ui().imgToolbar[index]->look().toImage(),
                  window->ui().imgToolbar[index]->litLook().toImage());
    }
}

TEST_F(MainWindowChrome, MenuBarLightsOnlyTheEntryUnderThePointer)
{
    moveTo(window->ui().imgMenu[0]->geometry().center());
    moveTo(window->ui().imgMenu[1]->geometry().center());
    EXPECT_FALSE(lit(window->ui().imgMenu[0]));
    EXPECT_TRUE(lit(window->ui().imgMenu[1]));
    EXPECT_FALSE(lit(window->ui().imgMenu[2]));
}

TEST_F(MainWindowChrome, PressClearsTheToolbarAndTheBrowseButtonGoesDark)
{
    // The click on Add File(s) opens the file dialog; nobody picks a file.
    DialogSeam::setFileAnswerer([](const DialogSeam::FileRequest&) { return std::optional<QString>(); });
    const QPoint onAdd = window->ui().imgToolbar[0]->geometry().center();
    moveTo(onAdd);
    QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, onAdd);
    EXPECT_EQ(litToolbarButtons(), 0);
    QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, onAdd);
    moveTo(onAdd + QPoint(1, 0));
    EXPECT_EQ(litToolbarButtons(), 1) << "the next move lights it again";

    FolderDialog::setAnswerer([&](const QString&) -> std::optional<QString> {
        EXPECT_EQ(window->ui().imgBrowse->look().toImage(), (*window->ui().imgBrowse->pressedLook()).toImage());
        return std::nullopt;
    });
    const QPoint onBrowse = window->ui().imgBrowse->geometry().center();
    moveTo(onBrowse);
    EXPECT_EQ(window->ui().imgBrowse->look().toImage(), window->ui().imgBrowse->litLook().toImage());
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, onBrowse);
    FolderDialog::setAnswerer({});
    DialogSeam::setFileAnswerer({});
}

TEST_F(MainWindowChrome, SingleButtonsStayLitUntilTheBackgroundMove)
{
    moveTo(window->ui().imgHelp->geometry().center());
    moveTo(window->ui().imgConvert->geometry().center());
    moveTo(window->ui().picButtonBR->geometry().center());
    QFont bold = window->ui().lblFeed->font();
    moveTo(window->ui().lblFeed->geometry().center());
    EXPECT_TRUE(window->ui().lblFeed->font().bold());
    EXPECT_TRUE(lit(window->ui().imgHelp));
    EXPECT_TRUE(lit(window->ui().imgConvert));
    EXPECT_EQ(window->ui().picButtonBR->look().toImage(), window->ui().picButtonBR->litLook().toImage());

    moveTo(QPoint(300, 455)); // bare skin beside the progress bar
    EXPECT_FALSE(lit(window->ui().imgHelp));
    EXPECT_FALSE(lit(window->ui().imgConvert));
    EXPECT_EQ(window->ui().picButtonBR->look().toImage(), window->ui().picButtonBR->restingLook().toImage());
    EXPECT_FALSE(window->ui().lblFeed->font().bold());
    EXPECT_EQ(litToolbarButtons(), 0);
}

TEST_F(MainWindowChrome, MaskCutsTheCornersAndCoversTheFace)
{
    const QRegion mask = window->mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(699, 499)));
    EXPECT_TRUE(mask.contains(QPoint(350, 250)));
    EXPECT_TRUE(mask.contains(QPoint(20, 2)));
    EXPECT_EQ(window->size(), QSize(700, 500));
    const QImage skin = window->skin().toImage();
    EXPECT_EQ(skin.pixelColor(0, 0), SkinArt::kKey);
    EXPECT_NE(skin.pixelColor(350, 250), SkinArt::kKey);
}

TEST_F(MainWindowChrome, GeometryPassAt120DpiKeepsPixelsAndScalesFonts)
{
    std::map<QWidget*, std::pair<QRect, double>> before;
    for (QWidget* w : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        before[w] = {w->geometry(), w->font().pointSizeF()};
    window->GeometryPass(12, 12);
    EXPECT_EQ(window->size(), QSize(700, 500));
    for (const auto& [w, was] : before) {
        EXPECT_EQ(w->geometry(), was.first) << w->objectName().toStdString();
        EXPECT_NEAR(w->font().pointSizeF(), was.second * 0.8, 0.01) << w->objectName().toStdString();
    }
    EXPECT_NEAR(window->ui().txtPath->font().pointSizeF(), before[window->ui().txtPath].second * 0.8, 0.01)
        << "the folder box is scaled once, like every other control";
}

TEST_F(MainWindowChrome, EachDropDownButtonOpensItsOwnList)
{
    const std::pair<HotArea*, QComboBox*> pairs[] = {{window->ui().picButtonOF, window->ui().cmbOF},
                                                     {window->ui().picButtonBR, window->ui().cmbBR},
                                                     {window->ui().picButtonR, window->ui().cmbR},
                                                     {window->ui().picButtonChannel, window->ui().cmbChannel}};
    for (const auto& [button, list] : pairs) {
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return list->view()->isVisible(); }, 2000))
            << list->objectName().toStdString();
        for (const auto& other : pairs) {
            if (other.second != list) {
                EXPECT_FALSE(other.second->view()->isVisible());
            }
        }
        list->hidePopup();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !list->view()->isVisible(); }, 2000));
    }
}

TEST_F(MainWindowChrome, SelectorsAFormatIgnoresAreGreyedWithTheReasonAndKeepTheirChoice)
{
    const MainUi& ui = window->ui();
    const QString bitrateTip = ui.cmbBR->toolTip();
    ui.cmbBR->setCurrentIndex(11);
    // What each format takes from the bitrate, rate and channel selectors, as the README's table of
    // formats says: OGG, WAV, FLAC, AC3, AAC and AMR take none of them, OPUS all but the rate.
    struct Takes
    {
        const char* format;
        bool bitrate, rate, channels;
    };
    const Takes documented[] = {{"MP3", true, true, true},     {"WMA", true, true, true},
                                {"OGG", false, false, false},  {"WAV", false, false, false},
                                {"FLAC", false, false, false}, {"AC3", false, false, false},
                                {"AAC", false, false, false},  {"AMR", false, false, false},
                                {"OPUS", true, false, true},   {"M4A", true, true, true}};
    ASSERT_EQ(ui.cmbOF->count(), int(std::size(documented)));
    int greyed = 0;
    for (const Takes& t : documented) {
        const QString format = QString::fromLatin1(t.format);
        ASSERT_GE(ui.cmbOF->findText(format), 0) << t.format;
        ui.cmbOF->setCurrentIndex(ui.cmbOF->findText(format));
        const std::tuple<QComboBox*, HotArea*, bool> selectors[] = {{ui.cmbBR, ui.picButtonBR, t.bitrate},
                                                                    {ui.cmbR, ui.picButtonR, t.rate},
                                                                    {ui.cmbChannel, ui.picButtonChannel, t.channels}};
        for (const auto& [list, button, takes] : selectors) {
            EXPECT_EQ(list->isEnabled(), takes) << t.format << " " << list->objectName().toStdString();
            EXPECT_EQ(button->isEnabled(), takes) << t.format << " " << list->objectName().toStdString();
            if (!takes) {
                ++greyed;
                // The reason names the format and says what it does instead.
                EXPECT_TRUE(list->toolTip().contains(format, Qt::CaseInsensitive))
                    << t.format << ": " << list->toolTip().toStdString();
            }
        }
    }
    EXPECT_EQ(greyed, 6 * 3 + 1);
    ui.cmbOF->setCurrentIndex(4); // FLAC
    EXPECT_FALSE(ui.cmbBR->isEnabled());
    window->seams().endProcess = [] {};
    ASSERT_TRUE(trigger(window.get(), "actionExit")); // saves the setup
    ui.cmbOF->setCurrentIndex(0);                     // MP3
    EXPECT_TRUE(ui.cmbBR->isEnabled());
    EXPECT_EQ(ui.cmbBR->currentText(), QStringLiteral("320")) << "the choice stayed while greyed";
    EXPECT_EQ(ui.cmbBR->toolTip(), bitrateTip);
    QFile setup(folder.filePath(QStringLiteral("setup.ini")));
    ASSERT_TRUE(setup.open(QIODevice::ReadOnly));
    EXPECT_TRUE(setup.readAll().startsWith("\"11\"")) << "a greyed choice is saved as it stands";
}

TEST_F(MainWindowChrome, SelectorsStartWithTheirItemsDefaultsAndTips)
{
    EXPECT_EQ(window->ui().cmbOF->currentText(), QStringLiteral("WMA"));
    EXPECT_EQ(window->ui().cmbBR->currentText(), QStringLiteral("192"));
    EXPECT_EQ(window->ui().cmbR->currentText(), QStringLiteral("44100"));
    EXPECT_EQ(window->ui().cmbChannel->currentText(), QStringLiteral("Stereo"));
    EXPECT_EQ(window->ui().cmbOF->count(), 10);
    EXPECT_EQ(window->ui().cmbOF->itemText(8), QStringLiteral("OPUS"));
    EXPECT_EQ(window->ui().cmbOF->itemText(9), QStringLiteral("M4A"));
    EXPECT_EQ(window->ui().cmbBR->count(), 12);
    EXPECT_EQ(window->ui().cmbR->itemText(6), QStringLiteral("12050"));
    EXPECT_EQ(window->ui().picButtonChannel->toolTip(), QStringLiteral("MP3 Audio Channel(Stereo or Mono)"));
    EXPECT_EQ(window->ui().txtPath->text(), folder.path() + QStringLiteral("/output"));
    EXPECT_EQ(window->ui().imgHelp->cursor().hotSpot(), QPoint(6, 0));
    EXPECT_EQ(window->ui().imgToolbar[0]->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(MainWindowChrome, BrowseSetsTheChosenFolderAndCancelResetsToTheDefault)
{
    FolderDialog::setAnswerer([](const QString& title) -> std::optional<QString> {
        EXPECT_EQ(title, QStringLiteral("Please select a folder:"));
        return QStringLiteral("/srv/music out");
    });
    EXPECT_TRUE(trigger(window.get(), "actionBrowse"));
    EXPECT_EQ(window->ui().txtPath->text(), QStringLiteral("/srv/music out"));
    FolderDialog::setAnswerer([](const QString&) { return std::optional<QString>(); });
    EXPECT_TRUE(trigger(window.get(), "actionBrowse"));
    EXPECT_EQ(window->ui().txtPath->text(), folder.path() + QStringLiteral("/output"));
    FolderDialog::setAnswerer({});
}

TEST_F(MainWindowChrome, DraggingTheBackgroundOrTheVersionLabelMovesTheWindow)
{
    // Events with explicit screen positions: the window moves under the pointer while it is dragged.
    const QPoint start = window->pos();
    const QPointF grab(300, 18); // the painted title bar
    const QPointF grabGlobal(500, 500);
    QMouseEvent press(QEvent::MouseButtonPress, grab, grabGlobal, Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(window.get(), &press);
    QMouseEvent drag(QEvent::MouseMove, grab, grabGlobal + QPointF(40, 25), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(window.get(), &drag);
    EXPECT_EQ(window->pos(), start + QPoint(40, 25));
    QMouseEvent release(QEvent::MouseButtonRelease, grab, drag.globalPosition(), Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(window.get(), &release);
    EXPECT_EQ(window->pos(), start + QPoint(40, 25));

    moveTo(window->ui().imgHelp->geometry().center());
    const QPointF label = window->ui().lblVersion->rect().center();
    const QPointF labelGlobal(1000, 1000); // any origin: only the distance moved counts
    QMouseEvent labelPress(QEvent::MouseButtonPress, label, labelGlobal, Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(window->ui().lblVersion, &labelPress);
    QMouseEvent labelDrag(QEvent::MouseMove, label, labelGlobal + QPointF(-10, 5), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(window->ui().lblVersion, &labelDrag);
    EXPECT_EQ(window->pos(), start + QPoint(30, 30));
    EXPECT_TRUE(lit(window->ui().imgHelp)) << "the version label drags without a reset";
}

TEST_F(MainWindowChrome, TheStatusUnderTheBarShowsTheLongMessagesWholeAndEllipsizesWhatCannotFit)
{
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ProgressCaption* caption = window->ui().lblPB;
    // Whether text is painted in the label's first or last column (a centred text too long for it runs
    // over both).
    const auto inkAtTheEdges = [&] {
        const QImage image = caption->grab().toImage();
        for (int x : {0, image.width() - 1}) {
            for (int y = 0; y < image.height(); ++y) {
                if (image.pixel(x, y) != image.pixel(x, 0))
                    return true;
            }
        }
        return false;
    };
    for (const char* text : {"1234 files were already there and were skipped.",
                             "214 other files were not added. 12 folders could not be searched."}) {
        caption->setText(QString::fromLatin1(text));
        EXPECT_LE(QFontMetrics(caption->font()).horizontalAdvance(caption->text()), caption->contentsRect().width())
            << text << " is cut off";
    }
    // Whatever does not fit ends in "..." inside the label instead of running off its edge.
    caption->setText(QString(200, QLatin1Char('W')));
    EXPECT_FALSE(inkAtTheEdges());
    EXPECT_EQ(caption->text(), QString(200, QLatin1Char('W'))) << "the text itself stays whole";
}

} // namespace
