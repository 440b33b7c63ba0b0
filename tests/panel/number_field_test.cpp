// The pages' number fields: what counts as a signed integer, and what draws "Invalid format!".
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "panel/number_field.h"

namespace zorvik::panel {
namespace {

TEST(NumberField, SignedIntegersWithBlanksAroundThem) {
  EXPECT_EQ(ParseNumberField("800"), 800);
  EXPECT_EQ(ParseNumberField("-50"), -50);
  EXPECT_EQ(ParseNumberField("+7"), 7);
  EXPECT_EQ(ParseNumberField("  12 "), 12);
  EXPECT_EQ(ParseNumberField("007"), 7);
  EXPECT_EQ(ParseNumberField("2147483647"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(ParseNumberField("-2147483648"), std::numeric_limits<std::int32_t>::min());
}

TEST(NumberField, EverythingElseIsInvalid) {
  for (const char* text : {"", " ", "-", "+", "12a", "1 2", "a12", "--5", "1.5", "0x10",
                           "2147483648", "-2147483649", "99999999999999999999"}) {
    EXPECT_FALSE(ParseNumberField(text)) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace zorvik::panel
