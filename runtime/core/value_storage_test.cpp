#include "runtime/core/value_storage.h"

#include <cmath>
#include <string>

#include <gtest/gtest.h>

namespace cinevo {
namespace {

std::string Bytes(const void* p, size_t n) { return std::string(static_cast<const char*>(p), n); }

TEST(ValueStorageTest, IntegersAndRealsAreLittleEndian) {
  uint8_t b[8];
  StoreU32(b, 0x12345678u);
  EXPECT_EQ(b[0], 0x78);
  EXPECT_EQ(b[3], 0x12);
  EXPECT_EQ(LoadI32(b), 0x12345678);
  StoreU16(b, 0xFFFE);
  EXPECT_EQ(LoadI16(b), -2);
  EXPECT_EQ(LoadU16(b), 0xFFFE);
  StoreReal(b, 1.0);  // 0x3FF0000000000000
  EXPECT_EQ(b[7], 0x3F);
  EXPECT_EQ(b[6], 0xF0);
  EXPECT_EQ(LoadReal(b), 1.0);
  StoreSReal(b, -2.5f);
  EXPECT_EQ(LoadSReal(b), -2.5f);
}

TEST(ValueStorageTest, NonIeeeFloatsRoundTripAndKeepTheirLayout) {
  uint8_t b4[4], b8[8];
  StoreBFloat4(b4, 1.0);  // 0.1 (binary) x 2^1: exponent byte 129, mantissa bits all zero
  EXPECT_EQ(b4[3], 129);
  EXPECT_EQ(b4[2], 0x00);
  StoreBFloat4(b4, -1.0);
  EXPECT_EQ(b4[2], 0x80);
  EXPECT_EQ(LoadBFloat4(b4), -1.0);
  for (double v : {0.0, 0.5, 3.25, -1234.5, 1e-30, 6.02e23}) {
    StoreBFloat8(b8, v);
    EXPECT_DOUBLE_EQ(LoadBFloat8(b8), v);
    StoreBFloat4(b4, v);
    EXPECT_NEAR(LoadBFloat4(b4), v, std::fabs(v) * 1e-7);
  }
  StoreBFloat4(b4, 1e300);  // beyond the exponent range: the largest magnitude
  EXPECT_EQ(b4[3], 255);
  EXPECT_GT(LoadBFloat4(b4), 1e38);
  StoreBFloat4(b4, 1e-300);  // too small: zero
  EXPECT_EQ(LoadBFloat4(b4), 0.0);
  StoreBFloat8(b8, std::nan(""));
  EXPECT_EQ(LoadBFloat8(b8), 0.0);
}

TEST(ValueStorageTest, StringsPadCutAndTerminate) {
  char s[5];
  StoreString(s, 5, "ab");
  EXPECT_EQ(Bytes(s, 5), "ab   ");
  StoreString(s, 5, "abcdefg");
  EXPECT_EQ(Bytes(s, 5), "abcde");
  char c[4] = {'x', 'x', 'x', 'x'};
  StoreCString(c, 4, "abcdef");
  EXPECT_STREQ(c, "abc");
  EXPECT_EQ(CStringValue(c, 4), "abc");
  const char unterminated[3] = {'a', 'b', 'c'};
  EXPECT_EQ(CStringValue(unterminated, 3), "abc");  // never reads past the capacity
  uint8_t p[4];
  StorePString(p, 4, "hello");
  EXPECT_EQ(p[0], 3);
  EXPECT_EQ(PStringValue(p, 4), "hel");
  p[0] = 200;  // a corrupt length is clamped to the capacity
  EXPECT_EQ(PStringValue(p, 4).size(), 3u);
}

TEST(ValueStorageTest, ClearingToBlankLowestAndHighest) {
  char s[5];
  ClearString(s, 5, 1);
  EXPECT_EQ(Bytes(s, 5), std::string(5, '\xFF'));
  ClearString(s, 5, -1);
  EXPECT_EQ(Bytes(s, 5), std::string(5, '\0'));
  ClearString(s, 5, 0);
  EXPECT_EQ(Bytes(s, 5), "     ");

  char c[4];
  ClearCString(c, 4, 1);
  EXPECT_EQ(Bytes(c, 4), std::string("\xFF\xFF\xFF\0", 4));
  ClearCString(c, 4, -1);
  EXPECT_EQ(c[0], '\0');

  uint8_t d[3];
  ClearDecimal(d, 3, 1);
  EXPECT_EQ(Bytes(d, 3), "\x09\x99\x99");
  EXPECT_FALSE(DecimalIsNegative(d));
  ClearDecimal(d, 3, -1);
  EXPECT_EQ(Bytes(d, 3), "\x89\x99\x99");
  EXPECT_TRUE(DecimalIsNegative(d));
  ClearDecimal(d, 3, 0);
  EXPECT_EQ(Bytes(d, 3), std::string(3, '\0'));

  ClearPDecimal(d, 3, -1);
  EXPECT_EQ(Bytes(d, 3), "\x99\x99\x9D");
  EXPECT_TRUE(PDecimalIsNegative(d, 3));
  ClearPDecimal(d, 3, 1);
  EXPECT_EQ(Bytes(d, 3), "\x99\x99\x9F");
  ClearPDecimal(d, 3, 0);
  EXPECT_EQ(Bytes(d, 3), std::string("\0\0\x0F", 3));

  uint8_t p[4];
  ClearPString(p, 4, 1);
  EXPECT_EQ(PStringValue(p, 4), "\xFF\xFF\xFF");
  ClearPString(p, 4, 0);
  EXPECT_EQ(PStringValue(p, 4), "");
}

}  // namespace
}  // namespace cinevo
