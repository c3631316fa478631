#include <gtest/gtest.h>

#include "TestFiles.h"
#include "base/RunError.h"
#include "base/NumberStream.h"

using namespace korvel;
using korvel::testing::RunErrorOf;

TEST(ParseReal, AcceptsWhatAUserWrites) {
    EXPECT_EQ(ParseReal("1"), 1.0);
    EXPECT_EQ(ParseReal("1.5"), 1.5);
    EXPECT_EQ(ParseReal("-2e-5"), -2e-5);
    EXPECT_EQ(ParseReal("1.5E+003"), 1500.0);
    EXPECT_EQ(ParseReal(".5"), 0.5);
    EXPECT_EQ(ParseReal("+3"), 3.0);
    EXPECT_EQ(ParseReal("1e-400"), 0.0);  // below the smallest double
}

TEST(ParseReal, RefusesEverythingElseIncludingNanAndInfinity) {
    for (const char* token : {"", "abc", "1,5", "nan", "NaN", "inf", "-inf", "Infinity", "1e400",
                              "+-1", "--1", "1.5d3", "0x10", "1e", "1.2.3", "+", "-"})
        EXPECT_FALSE(ParseReal(token).has_value()) << token;
}

TEST(ParseInteger, AcceptsOnlyWholeDecimalIntegers) {
    EXPECT_EQ(ParseInteger("42"), 42);
    EXPECT_EQ(ParseInteger("+7"), 7);
    EXPECT_EQ(ParseInteger("-3"), -3);
    for (const char* token : {"2.0", "1e3", "abc", "", "99999999999999999999"})
        EXPECT_FALSE(ParseInteger(token).has_value()) << token;
}

TEST(ParseTrimmed, DropsBlanksAndTabsAtBothEnds) {
    EXPECT_EQ(ParseRealTrimmed(" 1.000000E-0005 "), 1e-5);
    EXPECT_EQ(ParseIntegerTrimmed("\t65000 "), 65000);
    EXPECT_FALSE(ParseRealTrimmed("  ").has_value());
}

TEST(NumberStream, AnyControlCharacterSeparates) {
    NumberStream in("1\t2\r\n3\f4  5\v6\x01 7", "f");
    for (int expected = 1; expected <= 7; ++expected) EXPECT_EQ(in.ReadReal(), expected);
    EXPECT_TRUE(in.AtEnd());
}

TEST(NumberStream, CtrlZEndsTheFile) {
    NumberStream in("1 2\x1a 3 abc", "f");
    EXPECT_EQ(in.ReadReal(), 1.0);
    EXPECT_EQ(in.ReadReal(), 2.0);
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(in.ReadReal(), 0.0);
    NumberStream glued("5\x1a", "f");
    EXPECT_EQ(glued.ReadReal(), 5.0);
    EXPECT_TRUE(glued.AtEnd());
}

TEST(NumberStream, ReadsZeroAtTheEndOfTheFile) {
    NumberStream in("7\r\n", "f");
    EXPECT_EQ(in.ReadInteger(), 7);
    EXPECT_EQ(in.ReadInteger(), 0);
    EXPECT_EQ(in.ReadReal(), 0.0);
    EXPECT_TRUE(in.AtEnd());
}

TEST(NumberStream, NamesFileLineAndTokenOfAnInvalidNumber) {
    NumberStream in("1.54 0\r\n1 0 0 0\r\n10 abc 0 3", "model.mdl");
    for (int i = 0; i < 7; ++i) in.ReadReal();
    EXPECT_EQ(RunErrorOf([&] { in.ReadReal(); }),
              "Invalid numeric input | model.mdl, line 3: 'abc'");
}

TEST(NumberStream, CountsLinesForEveryKindOfLineEnd) {
    NumberStream in("1\n2\r\n3\r4", "f");
    for (int line = 1; line <= 4; ++line) {
        in.ReadReal();
        EXPECT_EQ(in.Line(), line);
    }
}

TEST(NumberStream, RefusesARealWhereACountIsExpected) {
    NumberStream in("2.0", "f");
    EXPECT_THROW(in.ReadInteger(), RunError);
}

TEST(NumberStream, SkipsAByteOrderMarkAndShortensLongTokens) {
    NumberStream bom(
        "\xEF\xBB\xBF"
        "1.54 2",
        "f");
    EXPECT_EQ(bom.ReadReal(), 1.54);
    NumberStream garbage(std::string(100, 'x'), "f");
    const std::string failure = RunErrorOf([&] { garbage.ReadReal(); });
    EXPECT_TRUE(failure.ends_with(" | f, line 1: '" + std::string(40, 'x') + "...'")) << failure;
}
