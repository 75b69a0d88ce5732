// The end message of a batch with many failures: short enough for any screen, with every file behind it.
#include "convert/BatchOutcome.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

TEST(FailureList, TwoHundredFailuresNameFifteenAndTheDetailsListEveryFileWithItsReason)
{
    BatchOutcome outcome;
    for (int i = 0; i < 200; ++i)
        outcome.fail(QStringLiteral("/music/track%1.wav").arg(i, 3, 10, QLatin1Char('0')),
                     QStringLiteral("Invalid data found when processing input %1").arg(i));
    const QString message = outcome.failureMessage();
    EXPECT_TRUE(message.startsWith(QStringLiteral("200 of 200 files could not be converted")));
    EXPECT_TRUE(message.contains(QStringLiteral("\ntrack014.wav: Invalid data found when processing input 14\n")));
    EXPECT_FALSE(message.contains(QStringLiteral("track015.wav")));
    EXPECT_TRUE(message.contains(QStringLiteral("185 more"))) << message.toStdString();
    EXPECT_LE(message.count(QLatin1Char('\n')), BatchOutcome::kNamedInMessage + 6);

    const QStringList details = outcome.failureDetails().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(details.size(), 400);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(details[2 * i], QStringLiteral("/music/track%1.wav").arg(i, 3, 10, QLatin1Char('0')));
        EXPECT_EQ(details[2 * i + 1], QStringLiteral("    Invalid data found when processing input %1").arg(i));
    }
}

TEST(FailureList, LongAndMultiLineNamesTakeOneShortLineInTheMessageAndStayWholeInTheDetails)
{
    BatchOutcome outcome;
    const QString longName = QStringLiteral("/m/") + QString(500, QLatin1Char('x')) + QStringLiteral(" end.wav");
    outcome.fail(longName, QString(400, QLatin1Char('r')));
    outcome.fail(QStringLiteral("/m/two\nlines.wav"), QStringLiteral("No such file or directory"));
    const QString message = outcome.failureMessage();
    for (const QString& line : message.split(QLatin1Char('\n')))
        EXPECT_LE(line.size(), 110) << line.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("end.wav"))) << "the end of a name tells the files apart";
    EXPECT_TRUE(message.contains(QStringLiteral("\ntwo\uFFFDlines.wav: No such file or directory")));
    EXPECT_FALSE(message.contains(QStringLiteral("more")));

    const QString details = outcome.failureDetails();
    EXPECT_TRUE(details.contains(longName));
    EXPECT_EQ(details.count(QLatin1Char('\n')), 4);
    EXPECT_EQ(BatchOutcome().failureMessage(), QString());
}

TEST(FailureList, LongNamesThatDifferOnlyInTheMiddleStayApartInTheMessage)
{
    BatchOutcome outcome;
    const QString common = QStringLiteral("The Very Long Name Of A Band - Their Even Longer Album Title - ");
    for (const char* track : {"07", "08"})
        outcome.fail(QStringLiteral("/m/") + common + QLatin1String(track) +
                         QStringLiteral(" - An Interlude Played Live In The Rain.flac"),
                     QStringLiteral("Invalid data found when processing input"));
    outcome.fail(QStringLiteral("/m/") + common + QStringLiteral("09 - An Interlude Played Live In The Rain (2).flac"),
                 QStringLiteral("x"));
    const QStringList lines = outcome.failureMessage().split(QLatin1Char('\n'));
    QStringList shown;
    for (const QString& line : lines) {
        if (line.contains(QStringLiteral(": ")))
            shown.append(line.left(line.indexOf(QStringLiteral(": "))));
    }
    ASSERT_EQ(shown.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_LE(shown[i].size(), 40);
        EXPECT_TRUE(shown[i].startsWith(QStringLiteral("The Very"))) << shown[i].toStdString();
        EXPECT_TRUE(shown[i].contains(QString::number(7 + i).rightJustified(2, QLatin1Char('0'))))
            << shown[i].toStdString();
    }
    EXPECT_TRUE(shown[2].endsWith(QStringLiteral("(2).flac")));
    EXPECT_EQ(QSet<QString>(shown.cbegin(), shown.cend()).size(), 3);
}

} // namespace
