#include "Vellix/OptionFields.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Ostrel::Vellix;

TEST(OptionFields, IntegerTextAcceptsBlanksAndSignOnly) {
    EXPECT_EQ(ParseInteger(" 12\t"), 12);
    EXPECT_EQ(ParseInteger("+5"), 5);
    EXPECT_EQ(ParseInteger("-3"), -3);
    for (const char* text : {"", "  ", "1.5", "12a", "a12", "1 2", "+", "-", "++1", "+-1", "0x10",
                             "99999999999999999999"}) {
        EXPECT_EQ(ParseInteger(text), std::nullopt) << text;
    }
}

TEST(OptionFields, NumberTextUsesThePointAndOnlyFiniteValues) {
    EXPECT_EQ(ParseNumber("0.5"), 0.5);
    EXPECT_EQ(ParseNumber(" .25 "), 0.25);
    EXPECT_EQ(ParseNumber("+1e3"), 1000.0);
    EXPECT_EQ(ParseNumber("5000.0004"), 5000.0004);
    for (const char* text : {"", "1,5", "x", "nan", "inf", "-infinity", "1e999", "1.5.2"}) {
        EXPECT_EQ(ParseNumber(text), std::nullopt) << text;
    }
}

TEST(OptionFields, NumbersShowInTheShortestFormWithFifteenDigits) {
    EXPECT_EQ(FormatNumber(1.0), "1");
    EXPECT_EQ(FormatNumber(0.5), "0.5");
    EXPECT_EQ(FormatNumber(0.1), "0.1");
    EXPECT_EQ(FormatNumber(2500 / 1000.0), "2.5");
    EXPECT_EQ(FormatNumber(0.251), "0.251");
    EXPECT_EQ(FormatNumber(4294967295 / 1000.0), "4294967.295");
    EXPECT_EQ(FormatNumber(1.0 / 3.0), "0.333333333333333");
}

TEST(OptionFields, MessagesCarryTheBounds) {
    EXPECT_EQ(OutOfRangeMessage(kLevelRange), "Please enter an integer between 1 and 12.");
    EXPECT_EQ(OutOfRangeMessage(kAlphaBitsRange), "Please enter an integer between 0 and 8.");
    EXPECT_EQ(OutOfRangeMessage(kAnyInteger),
              "Please enter an integer between -2147483648 and 2147483647.");
    EXPECT_EQ(OutOfRangeMessage(kSrbSizeRange),
              "Please enter a number greater than 0 and at most 5000.");
    EXPECT_EQ(OutOfRangeMessage(kSrbFractionRange), "Please enter a number between 0 and 1.");
}

TEST(OptionFields, RangesAreInclusiveAndRejectNotANumber) {
    EXPECT_TRUE(kColourCountRange.Contains(256));
    EXPECT_FALSE(kColourCountRange.Contains(257));
    EXPECT_FALSE(kColourCountRange.Contains(0));
    EXPECT_FALSE(kAnyInteger.Contains(std::int64_t{1} << 31));
    EXPECT_TRUE(kSrbFractionRange.Contains(0.0));
    EXPECT_FALSE(kSrbUsedRange.Contains(0.0)); // a zero size would divide by zero
    EXPECT_TRUE(kSrbUsedRange.Contains(1.0));
    EXPECT_FALSE(kSrbFractionRange.Contains(std::nan("")));
}
