// The atoi rule and decimal text, at their edges.
#include <gtest/gtest.h>

#include <limits>

#include "common/decimal_text.h"

namespace zorvik {
namespace {

TEST(AtoiRule, ReadsLikeCAtoi) {
  EXPECT_EQ(AtoiRule("2abc"), 2);
  EXPECT_EQ(AtoiRule(""), 0);
  EXPECT_EQ(AtoiRule("abc"), 0);
  EXPECT_EQ(AtoiRule(" \t\n-15x"), -15);
  EXPECT_EQ(AtoiRule("+42"), 42);
  EXPECT_EQ(AtoiRule("- 5"), 0);
  EXPECT_EQ(AtoiRule("--5"), 0);
  EXPECT_EQ(AtoiRule("0007"), 7);
  EXPECT_EQ(AtoiRule("12 34"), 12);
}

TEST(AtoiRule, SaturatesInsteadOfOverflowing) {
  EXPECT_EQ(AtoiRule("2147483647"), 2147483647);
  EXPECT_EQ(AtoiRule("-2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(AtoiRule("2147483648"), 2147483647);
  EXPECT_EQ(AtoiRule("-2147483649"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(AtoiRule(std::string(5000, '9')), 2147483647);
}

TEST(AtoiRule, StopsAtTheEndOfTheGivenText) {
  const char digits[] = {'1', '2', '3', '4'};
  EXPECT_EQ(AtoiRule(std::string_view(digits, 2)), 12);
}

TEST(DecimalText, SignedRadixTen) {
  EXPECT_EQ(DecimalText(0), "0");
  EXPECT_EQ(DecimalText(-5), "-5");
  EXPECT_EQ(DecimalText(65536), "65536");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int32_t>::min()), "-2147483648");
}

}  // namespace
}  // namespace zorvik
