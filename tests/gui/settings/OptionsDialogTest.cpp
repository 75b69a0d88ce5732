#include "TestSupport.h"
#include "settings/OptionsIni.h"
#include "settings/frmOptions.h"
#include "ui/HotArea.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

class OptionsDialog : public ::testing::Test
{
protected:
    std::unique_ptr<frmOptions> open()
    {
        auto d = std::make_unique<frmOptions>(options, dir.path());
        d->show();
        return d;
    }
    QList<QString> boxes(frmOptions& d)
    {
        return {d.ui().txtFromH->text(), d.ui().txtFromM->text(), d.ui().txtFromS->text(),
                d.ui().txtToH->text(),   d.ui().txtToM->text(),   d.ui().txtToS->text()};
    }
    bool fileWritten() const { return QFile::exists(OptionsIni::FilePath(dir.path())); }

    QTemporaryDir dir;
    OptionSettings options;
    MsgBoxRecorder shown;
};

TEST_F(OptionsDialog, OneAndAHalfMinutesAndTwoMinutesStoreAsSecondsAndComeBack)
{
    auto d = open();
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Options"));
    EXPECT_EQ(d->size(), QSize(330, 262));
    EXPECT_FALSE(d->ui().txtFromM->isEnabled()) << "boxes are off while the cutter is";
    QTest::mouseClick(d->ui().chkMC, Qt::LeftButton, {}, d->ui().chkMC->rect().center());
    EXPECT_TRUE(d->ui().chkMC->isChecked());
    EXPECT_TRUE(d->ui().txtFromM->isEnabled());
    d->ui().txtFromM->setText(QStringLiteral("1"));
    d->ui().txtFromS->setText(QStringLiteral("30"));
    d->ui().txtToM->setText(QStringLiteral("2"));
    d->imgOK_Click();
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(options.MusicCutter, 1);
    EXPECT_EQ(options.CutFrom, 90);
    EXPECT_EQ(options.CutDuration, 120);
    QFile f(OptionsIni::FilePath(dir.path()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("0\r\n1\r\n90\r\n120\r\n0\r\n0\r\n0\r\n"));

    auto again = open();
    EXPECT_EQ(boxes(*again), (QList<QString>{"0", "1", "30", "0", "2", "0"}));
    EXPECT_TRUE(again->ui().txtToS->isEnabled());
}

TEST_F(OptionsDialog, FilesAtOnceOffersAutoAndOneToEightAndIsStoredAsTheFifthLine)
{
    auto d = open();
    ASSERT_EQ(d->ui().cmbFiles->count(), 9);
    EXPECT_TRUE(d->ui().cmbFiles->itemText(0).startsWith(QStringLiteral("Auto")));
    EXPECT_EQ(d->ui().cmbFiles->itemText(8), QStringLiteral("8"));
    EXPECT_EQ(d->ui().cmbFiles->currentIndex(), 0) << "Auto by default";
    // Its drop-down button opens it, as the sound reminder's does.
    EXPECT_EQ(d->ui().picButtonFiles->geometry().right(), d->ui().cmbFiles->geometry().right());
    d->ui().cmbFiles->setCurrentIndex(3);
    d->imgOK_Click();
    EXPECT_EQ(options.FilesAtOnce, 3);
    QFile f(OptionsIni::FilePath(dir.path()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("0\r\n0\r\n0\r\n0\r\n3\r\n0\r\n0\r\n"));
    auto again = open();
    EXPECT_EQ(again->ui().cmbFiles->currentIndex(), 3);
    again->ui().cmbFiles->setCurrentIndex(0);
    again->imgBack_Click();
    EXPECT_EQ(options.FilesAtOnce, 3) << "Back keeps what was stored";
}

TEST_F(OptionsDialog, OutputFilesAndIfAFileIsAlreadyThereAreStoredAsTheLastTwoLines)
{
    auto d = open();
    ASSERT_EQ(d->ui().cmbOutputFiles->count(), 3);
    EXPECT_EQ(d->ui().cmbOutputFiles->itemText(0), QStringLiteral("Keep the folders"));
    EXPECT_EQ(d->ui().cmbOutputFiles->itemText(2), QStringLiteral("Beside each original"));
    ASSERT_EQ(d->ui().cmbIfExists->count(), 2);
    EXPECT_EQ(d->ui().cmbIfExists->itemText(1), QStringLiteral("Skip the file"));
    EXPECT_EQ(d->ui().cmbOutputFiles->currentIndex(), 0);
    EXPECT_EQ(d->ui().cmbIfExists->currentIndex(), 0);
    // Both rows lie inside the window, above its buttons.
    for (QWidget* w : {static_cast<QWidget*>(d->ui().cmbOutputFiles), static_cast<QWidget*>(d->ui().cmbIfExists)})
        EXPECT_LT(w->geometry().bottom(), d->ui().imgOK->geometry().top());
    d->ui().cmbOutputFiles->setCurrentIndex(2);
    d->ui().cmbIfExists->setCurrentIndex(1);
    d->imgOK_Click();
    EXPECT_EQ(options.OutputFiles, 2);
    EXPECT_EQ(options.IfExists, 1);
    QFile f(OptionsIni::FilePath(dir.path()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("0\r\n0\r\n0\r\n0\r\n0\r\n2\r\n1\r\n"));
    auto again = open();
    EXPECT_EQ(again->ui().cmbOutputFiles->currentIndex(), 2);
    EXPECT_EQ(again->ui().cmbIfExists->currentIndex(), 1);
    again->ui().cmbIfExists->setCurrentIndex(0);
    again->imgBack_Click();
    EXPECT_EQ(options.IfExists, 1) << "Back keeps what was stored";
}

TEST_F(OptionsDialog, SixtyOrFiftyNineAndAHalfIsRefusedWithFocusOnTheBox)
{
    const struct
    {
        QLineEdit* OptionsUi::*box;
        const char* text;
        const char* message;
    } cases[] = {{&OptionsUi::txtFromM, "60", "Minutes must less than 60"},
                 {&OptionsUi::txtToM, "59.5", "Minutes must less than 60"},
                 {&OptionsUi::txtFromS, "75", "Seconds must less than 60"},
                 {&OptionsUi::txtToS, "60", "Seconds must less than 60"}};
    for (const auto& c : cases) {
        auto d = open();
        d->ui().chkMC->setChecked(true);
        d->chkMC_Click();
        QLineEdit* box = d->ui().*c.box;
        box->setText(QString::fromLatin1(c.text));
        d->imgOK_Click();
        ASSERT_FALSE(shown.shown().isEmpty());
        EXPECT_EQ(shown.shown().last().text, QString::fromLatin1(c.message));
        EXPECT_EQ(shown.shown().last().title, QStringLiteral("Min"));
        EXPECT_EQ(shown.shown().last().icon, MsgBox::Icon::Warning);
        EXPECT_EQ(d->focusWidget(), box);
        EXPECT_TRUE(d->isVisible());
    }
    EXPECT_FALSE(fileWritten());
    auto d = open();
    d->ui().txtFromM->setText(QStringLiteral("59"));
    d->ui().txtFromH->setText(QStringLiteral("-2"));
    d->imgOK_Click();
    EXPECT_EQ(shown.shown().size(), 4u) << "59 and negative numbers pass";
}

TEST_F(OptionsDialog, CutterWithAllTimesZeroIsStoredOffAndOffSilencesTheSound)
{
    auto d = open();
    d->ui().chkMC->setChecked(true);
    d->chkMC_Click();
    d->ui().cmbSR->setCurrentIndex(1);
    d->imgOK_Click();
    EXPECT_EQ(options.MusicCutter, 0);
    EXPECT_EQ(options.SoundReminder, 1);
    QFile f(OptionsIni::FilePath(dir.path()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("1\r\n0\r\n"));
}

TEST_F(OptionsDialog, BackAndCloseWriteNothingAndDiscardChanges)
{
    for (int way = 0; way < 2; ++way) {
        auto d = open();
        d->ui().cmbSR->setCurrentIndex(1);
        d->ui().chkMC->setChecked(true);
        d->ui().txtFromS->setText(QStringLiteral("9"));
        QTest::mouseClick(way == 0 ? d->ui().imgBack : d->ui().imgExit, Qt::LeftButton);
        EXPECT_FALSE(d->isVisible());
    }
    EXPECT_FALSE(fileWritten());
    EXPECT_EQ(options.SoundReminder, 0);
    EXPECT_EQ(options.MusicCutter, 0);
}

TEST_F(OptionsDialog, StoredRangeIsHiddenWhileTheCutterIsOff)
{
    options = OptionSettings{0, 0, 90, 120};
    auto d = open();
    EXPECT_EQ(boxes(*d), (QList<QString>{"0", "0", "0", "0", "0", "0"}));
    EXPECT_FALSE(d->ui().txtFromH->isEnabled());
}

TEST_F(OptionsDialog, HoverLightsTheButtonsAndTheDropButtonOpensTheList)
{
    auto d = open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(d.get()));
    QTest::mouseMove(d->windowHandle(), d->ui().imgOK->geometry().center());
    EXPECT_EQ(d->ui().imgOK->look().toImage(), d->ui().imgOK->litLook().toImage());
    QTest::mouseMove(d->windowHandle(), QPoint(60, 160));
    EXPECT_TRUE(d->ui().imgOK->look().isNull());
    QTest::mouseClick(d->ui().picButtonBR, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return d->ui().cmbSR->view()->isVisible(); }, 2000));
    d->ui().cmbSR->hidePopup();
    EXPECT_FALSE(d->mask().contains(QPoint(0, 0)));
}

} // namespace
