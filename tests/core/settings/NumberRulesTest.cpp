#include "settings/NumberRules.h"

#include <gtest/gtest.h>

using namespace NumberRules;

namespace {

TEST(NumberRules, LeadingNumberReadsWhatStartsTheText)
{
    EXPECT_EQ(LeadingNumber(QStringLiteral("83.45 bitrate")), 83.45);
    EXPECT_EQ(LeadingNumber(QStringLiteral("  -12abc")), -12);
    EXPECT_EQ(LeadingNumber(QStringLiteral(".5")), 0.5);
    EXPECT_EQ(LeadingNumber(QStringLiteral("1e3x")), 1000);
    EXPECT_EQ(LeadingNumber(QStringLiteral("7e")), 7);
    EXPECT_EQ(LeadingNumber(QStringLiteral("abc")), 0);
    EXPECT_EQ(LeadingNumber(QString()), 0);
    EXPECT_EQ(LeadingNumber(QStringLiteral("-")), 0);
    EXPECT_EQ(LeadingNumber(QStringLiteral("1e999")), 0);
}

TEST(NumberRules, WholeNumberRefusesTrailingText)
{
    EXPECT_EQ(WholeNumber(QStringLiteral(" 25.40 ")), 25.4);
    EXPECT_FALSE(WholeNumber(QStringLiteral("25.40,")));
    EXPECT_FALSE(WholeNumber(QString()));
}

TEST(NumberRules, RoundsHalvesToEvenAndRefusesWhatDoesNotFit)
{
    EXPECT_EQ(RoundHalfEven(2.5, 0, 10), 2);
    EXPECT_EQ(RoundHalfEven(3.5, 0, 10), 4);
    EXPECT_EQ(RoundHalfEven(-2.5, -10, 10), -2);
    EXPECT_EQ(RoundHalfEven(2.51, 0, 10), 3);
    EXPECT_EQ(ToInt16(32767.4), 32767);
    EXPECT_FALSE(ToInt16(40000));
    EXPECT_FALSE(ToInt32(3e9));
    EXPECT_FALSE(ToInt32(std::nan("")));
}

} // namespace
