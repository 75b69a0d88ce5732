#include "TestSupport.h"
#include "settings/OptionRows.h"
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
    static QByteArray readAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
    EXPECT_EQ(d->size(), QSize(330, 374));
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
    EXPECT_EQ(f.readAll(), QByteArray("0\r\n1\r\n90\r\n120\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n\"\"\r\n"));

    auto again = open();
    EXPECT_EQ(boxes(*again), (QList<QString>{"0", "1", "30", "0", "2", "0"}));
    EXPECT_TRUE(again->ui().txtToS->isEnabled());
}

// Every list: the stored setting shows, OK stores the choice on the setting's own line of options.ini and
// the next opening shows it, Back keeps what was stored.
TEST_F(OptionsDialog, EveryListShowsItsLineOfTheFileAndStoresTheChoiceBackOnIt)
{
    const struct
    {
        const char* list;
        int line; // of options.ini
        int items;
        const char* first;
        const char* last;
    } expected[] = {{"cmbSR", 0, 2, "ON", "OFF"},
                    {"cmbFiles", 4, 9, "Auto (", "8"},
                    {"cmbOutputFiles", 5, 3, "Keep the folders", "Beside each original"},
                    {"cmbIfExists", 6, 2, "Keep both", "Skip the file"},
                    {"cmbLoudness", 7, 4, "Off", "Even out, by album"},
                    {"cmbKeepDate", 9, 2, "No", "Yes"},
                    {"cmbOutputNames", 8, 4, "Keep the file's name", "My pattern below"}};
    ASSERT_EQ(OptionRows::All().size(), std::size(expected));
    for (const auto& e : expected) {
        SCOPED_TRACE(e.list);
        QFile::remove(OptionsIni::FilePath(dir.path()));
        options = OptionSettings{};
        auto d = open();
        QComboBox* list = d->findChild<QComboBox*>(QString::fromLatin1(e.list));
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->count(), e.items);
        EXPECT_TRUE(list->itemText(0).startsWith(QLatin1String(e.first)));
        EXPECT_EQ(list->itemText(e.items - 1), QLatin1String(e.last));
        EXPECT_EQ(list->currentIndex(), 0) << "the first item when nothing was stored";
        // Inside the window, above its buttons, with its drop button at its right end.
        EXPECT_LT(list->geometry().bottom(), d->ui().imgOK->geometry().top());
        const HotArea* drop = d->ui().drops.value(d->ui().lists.indexOf(list));
        ASSERT_NE(drop, nullptr);
        EXPECT_EQ(drop->geometry().right(), list->geometry().right());

        // Window to file: only this setting's line changes.
        list->setCurrentIndex(e.items - 1);
        d->ui().txtPattern->setText(QStringLiteral("{title}"));
        d->imgOK_Click();
        QList<QByteArray> lines = readAll(OptionsIni::FilePath(dir.path())).split('\n');
        ASSERT_GT(lines.size(), e.line);
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(lines[i], i == e.line ? QByteArray::number(e.items - 1) + '\r' : QByteArray("0\r")) << i;
        EXPECT_EQ(lines[10], QByteArray("\"{title}\"\r"));

        // File to window: a fresh start reads the line back into the list.
        OptionSettings loaded;
        OptionsIni::LoadOptions(dir.path(), loaded);
        options = loaded;
        auto again = open();
        QComboBox* shown = again->findChild<QComboBox*>(QString::fromLatin1(e.list));
        EXPECT_EQ(shown->currentIndex(), e.items - 1);
        shown->setCurrentIndex(0);
        again->imgBack_Click();
        EXPECT_EQ(OptionRows::Find(QString::fromLatin1(e.list))->get(options), e.items - 1)
            << "Back keeps what was stored";
    }
}

TEST_F(OptionsDialog, ThePatternBoxIsUsedOnlyForOwnNamesAndAPatternThatCannotNameIsRefused)
{
    options.NamePattern = QStringLiteral("{artist} - {title}");
    auto d = open();
    QComboBox* names = d->findChild<QComboBox*>(QStringLiteral("cmbOutputNames"));
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(d->ui().txtPattern->text(), QStringLiteral("{artist} - {title}")) << "kept whichever names are chosen";
    EXPECT_FALSE(d->ui().txtPattern->isEnabled());
    names->setCurrentIndex(3);
    EXPECT_TRUE(d->ui().txtPattern->isEnabled());
    for (const char* bad : {"", "{artist}/{nothing}", "/{title}", "{album}//{title}", "plain"}) {
        SCOPED_TRACE(bad);
        shown.clear();
        d->ui().txtPattern->setText(QString::fromLatin1(bad));
        d->imgOK_Click();
        ASSERT_EQ(shown.shown().size(), 1);
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(d->focusWidget(), d->ui().txtPattern);
        EXPECT_FALSE(QFile::exists(OptionsIni::FilePath(dir.path())));
    }
    d->ui().txtPattern->setText(QStringLiteral("{albumartist}/{year} {album}/{disc}-{track} {title}"));
    d->imgOK_Click();
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(options.OutputNames, 3);
    EXPECT_EQ(options.NamePattern, QStringLiteral("{albumartist}/{year} {album}/{disc}-{track} {title}"));
    // A preset leaves the box's text as it was.
    auto again = open();
    again->findChild<QComboBox*>(QStringLiteral("cmbOutputNames"))->setCurrentIndex(1);
    again->ui().txtPattern->setText(QStringLiteral("{nothing}"));
    again->imgOK_Click();
    EXPECT_FALSE(again->isVisible()) << "a pattern not in use is not checked";
    EXPECT_EQ(options.OutputNames, 1);
}

TEST_F(OptionsDialog, ASoundReminderValueOutOfItsListShowsAsSilent)
{
    options.SoundReminder = 7; // anything but 0 is silent
    auto d = open();
    EXPECT_EQ(d->findChild<QComboBox*>(QStringLiteral("cmbSR"))->currentText(), QStringLiteral("OFF"));
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
    d->findChild<QComboBox*>(QStringLiteral("cmbSR"))->setCurrentIndex(1);
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
        d->findChild<QComboBox*>(QStringLiteral("cmbSR"))->setCurrentIndex(1);
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
    QTest::mouseClick(d->ui().drops.first(), Qt::LeftButton);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return d->findChild<QComboBox*>(QStringLiteral("cmbSR"))->view()->isVisible(); }, 2000));
    d->findChild<QComboBox*>(QStringLiteral("cmbSR"))->hidePopup();
    EXPECT_FALSE(d->mask().contains(QPoint(0, 0)));
}

} // namespace
