#include "convert/CommandLineSplit.h"

#include <gtest/gtest.h>

using CommandLineSplit::quote;
using CommandLineSplit::split;

namespace {
using Args = QList<QByteArray>;

struct SplitCase
{
    const char* line;
    Args expected;
};

void PrintTo(const SplitCase& c, std::ostream* os)
{
    *os << c.line;
}

class SplitRules : public ::testing::TestWithParam<SplitCase>
{};

TEST_P(SplitRules, SplitsLikeAWindowsProgramReadsItsCommandLine)
{
    EXPECT_EQ(split(GetParam().line), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitRules,
    ::testing::Values(SplitCase{"", {}}, SplitCase{"   \t ", {}}, SplitCase{"a b\tc", {"a", "b", "c"}},
                      SplitCase{"  lead  trail  ", {"lead", "trail"}},
                      SplitCase{R"(/app/data/conv.exe -i "/music/live.set.wav" -y)",
                                {"/app/data/conv.exe", "-i", "/music/live.set.wav", "-y"}},
                      SplitCase{R"("a b"c d)", {"a bc", "d"}}, SplitCase{R"(a"b c"d)", {"ab cd"}},
                      SplitCase{R"("" x)", {"", "x"}}, SplitCase{R"(a\b\\c)", {R"(a\b\\c)"}},
                      SplitCase{R"(a\"b)", {R"(a"b)"}}, SplitCase{R"(a\\"b c")", {R"(a\b c)"}},
                      SplitCase{R"(a\\\"b)", {R"(a\"b)"}}, SplitCase{R"("unterminated quote)", {"unterminated quote"}},
                      SplitCase{R"x(x "$(rm -rf ~)" `id` ;|&)x", {"x", "$(rm -rf ~)", "`id`", ";|&"}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return "Case" + std::to_string(info.index); });

TEST(QuoteArgument, SplitGivesEveryQuotedArgumentBackExactly)
{
    const Args awkward = {"",
                          "plain",
                          "with space",
                          R"(say "hi")",
                          R"(C:\dir\)",
                          R"(trailing\\)",
                          R"(\"already\")",
                          "-leading-dash",
                          "$(id) `id` ; & | > <",
                          QByteArray("caf\xe9 \xff\xfe bytes"),
                          "tab\there"};
    QByteArray line = "prog";
    for (const QByteArray& a : awkward)
        line += ' ' + quote(a);
    Args expected = {"prog"};
    expected += awkward;
    EXPECT_EQ(split(line), expected);
}

TEST(QuoteArgument, OrdinaryPathsAreOnlyWrappedInQuotes)
{
    EXPECT_EQ(quote("/music/live.set.wav"), "\"/music/live.set.wav\"");
    EXPECT_EQ(CommandLineSplit::quoteIfNeeded("/app/data/conv.exe"), "/app/data/conv.exe");
    EXPECT_EQ(CommandLineSplit::quoteIfNeeded("/home/ann/My Apps/data/conv.exe"),
              "\"/home/ann/My Apps/data/conv.exe\"");
}
} // namespace
