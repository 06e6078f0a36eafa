// Numbers as text across the library's boundary.
#include "text_conventions.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace tandrel {
namespace {

std::string Decimal(std::int32_t value) {
  char out[16];
  std::memset(out, 'x', sizeof out);
  WriteDecimal(out, value);
  EXPECT_LE(std::strlen(out), 11u);
  return out;
}

TEST(WriteDecimal, SignedPlainDigits) {
  EXPECT_EQ(Decimal(0), "0");
  EXPECT_EQ(Decimal(-1), "-1");
  EXPECT_EQ(Decimal(1024), "1024");
  EXPECT_EQ(Decimal(INT32_MAX), "2147483647");
  EXPECT_EQ(Decimal(INT32_MIN), "-2147483648");
  // An unsigned quantity of 2 GB or more reads as negative.
  EXPECT_EQ(Decimal(static_cast<std::int32_t>(3221225472u)), "-1073741824");
}

TEST(ReadLong, ReadsAsAtolDoes) {
  EXPECT_EQ(ReadLong("12abc"), 12);
  EXPECT_EQ(ReadLong("abc"), 0);
  EXPECT_EQ(ReadLong(""), 0);
  EXPECT_EQ(ReadLong("  \t\n-42"), -42);
  EXPECT_EQ(ReadLong("+7"), 7);
  EXPECT_EQ(ReadLong("- 7"), 0);
  EXPECT_EQ(ReadLong("0x10"), 0);
  EXPECT_EQ(ReadLong("2147483647"), INT32_MAX);
  EXPECT_EQ(ReadLong("-2147483648"), INT32_MIN);
  EXPECT_EQ(ReadLong("99999999999999999999"), INT32_MAX);
  EXPECT_EQ(ReadLong("-99999999999999999999"), INT32_MIN);
}

}  // namespace
}  // namespace tandrel
