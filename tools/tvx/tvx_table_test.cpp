// Field values as text and back: every type round-trips, numbers print in their shortest
// exact form, and texts that do not fit their field are refused with a reason.
#include "tools/tvx/tvx_table.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tools/tvx/tvx_json.h"

namespace cinevo::tvx {
namespace {

isam::StreamField Field(uint8_t type, uint16_t length, uint8_t digits = 0, uint8_t places = 0) {
  isam::StreamField f;
  f.type = type;
  f.offset = 1;  // not at the start, so offsets are honoured
  f.length = length;
  f.digits = digits;
  f.places = places;
  return f;
}

std::string RoundTrip(const isam::StreamField& f, const std::string& text) {
  std::vector<uint8_t> rec(f.offset + f.length + 1, 0xEE);
  std::string error;
  if (!ParseField(f, text, rec.data(), rec.size(), error)) return "error: " + error;
  EXPECT_EQ(rec.front(), 0xEE);
  EXPECT_EQ(rec.back(), 0xEE);  // nothing written outside the field
  return FieldText(f, rec.data(), rec.size());
}

TEST(TvxValues, EveryTypeRoundTrips) {
  EXPECT_EQ(RoundTrip(Field(1, 1), "255"), "255");
  EXPECT_EQ(RoundTrip(Field(2, 2), "-32768"), "-32768");
  EXPECT_EQ(RoundTrip(Field(3, 2), "65535"), "65535");
  EXPECT_EQ(RoundTrip(Field(6, 4), "-2147483648"), "-2147483648");
  EXPECT_EQ(RoundTrip(Field(7, 4), "4294967295"), "4294967295");
  EXPECT_EQ(RoundTrip(Field(4, 4), "2006-12-18"), "2006-12-18");
  EXPECT_EQ(RoundTrip(Field(4, 4), ""), "");
  EXPECT_EQ(RoundTrip(Field(5, 4), "10:22:09.21"), "10:22:09.21");
  EXPECT_EQ(RoundTrip(Field(8, 4), "-11989.984375"), "-11989.984375");
  EXPECT_EQ(RoundTrip(Field(8, 4), "0.1"), "0.10000000149011612");  // the float's exact value
  EXPECT_EQ(RoundTrip(Field(9, 8), "704.507"), "704.507");
  EXPECT_EQ(RoundTrip(Field(10, 5, 9, 2), "-8210641.79"), "-8210641.79");
  EXPECT_EQ(RoundTrip(Field(10, 5, 9, 2), "2.5"), "2.50");
  EXPECT_EQ(RoundTrip(Field(10, 5, 9, 2), "-0"), "0.00");
  EXPECT_EQ(RoundTrip(Field(11, 3, 5, 1), "-12.3"), "-12.3");
  EXPECT_EQ(RoundTrip(Field(18, 6), "ab"), "ab");
  EXPECT_EQ(RoundTrip(Field(19, 6), "abcde"), "abcde");
  EXPECT_EQ(RoundTrip(Field(20, 6), "xy"), "xy");
  EXPECT_EQ(RoundTrip(Field(22, 2), "0aff"), "0aff");
}

TEST(TvxValues, TextsThatDoNotFitAreRefused) {
  EXPECT_EQ(RoundTrip(Field(1, 1), "256").substr(0, 6), "error:");
  EXPECT_EQ(RoundTrip(Field(6, 4), "12x").substr(0, 6), "error:");
  EXPECT_EQ(RoundTrip(Field(4, 4), "2006-13-01").substr(0, 6), "error:");
  EXPECT_EQ(RoundTrip(Field(5, 4), "24:00:00").substr(0, 6), "error:");
  EXPECT_EQ(RoundTrip(Field(10, 2, 3, 0), "1234").substr(0, 6), "error:");
  EXPECT_EQ(RoundTrip(Field(10, 2, 3, 0), "1.2.3").substr(0, 6), "error:");
  EXPECT_EQ(RoundTrip(Field(18, 3), "abcd").substr(0, 6), "error:");
  EXPECT_EQ(RoundTrip(Field(19, 3), "abc").substr(0, 6), "error:");  // no room for the zero byte
  EXPECT_EQ(RoundTrip(Field(22, 2), "0g00").substr(0, 6), "error:");
  std::vector<uint8_t> small(3);
  std::string error;
  EXPECT_FALSE(ParseField(Field(6, 4), "1", small.data(), small.size(), error));
  EXPECT_EQ(FieldText(Field(6, 4), small.data(), small.size()), "");
}

TEST(TvxValues, ShortestDoubleText) {
  EXPECT_EQ(ShortestDouble(1.0), "1.0");
  EXPECT_EQ(ShortestDouble(-0.0), "-0.0");
  EXPECT_EQ(ShortestDouble(0.0001), "0.0001");
  EXPECT_EQ(ShortestDouble(0.00001), "1e-05");
  EXPECT_EQ(ShortestDouble(1e16), "1e+16");
  EXPECT_EQ(ShortestDouble(123456789012345.0), "123456789012345.0");
  EXPECT_EQ(ShortestDouble(1.5e-300), "1.5e-300");
  EXPECT_EQ(ShortestDouble(INFINITY), "Infinity");
  EXPECT_EQ(ShortestDouble(NAN), "NaN");
}

TEST(TvxValues, JsonTextsAndParsing) {
  EXPECT_EQ(JsonString(std::string("a\"\\\n\x01\xC8", 6)), "\"a\\\"\\\\\\n\\u0001\\u00c8\"");
  JsonValue v;
  std::string error;
  ASSERT_TRUE(ParseJson("{\"a\": [1, \"x\\u00c8\", null, true], \"b\": {}}", v, error)) << error;
  ASSERT_EQ(v.items.size(), 2u);
  EXPECT_EQ(v.items[1].key, "b");
  EXPECT_EQ(ScalarText(v.items[0].items[1]), "x\xC8");
  EXPECT_EQ(ScalarText(v.items[0].items[2]), "");
  std::string printed;
  PrintJson(v, printed);
  EXPECT_EQ(printed, "{\n \"a\": [\n  1,\n  \"x\\u00c8\",\n  null,\n  true\n ],\n \"b\": {}\n}");
  for (const char* bad : {"", "[1,", "{\"a\" 1}", "[1 2]", "\"open", "{\"a\": 1}}", "@"}) {
    EXPECT_FALSE(ParseJson(bad, v, error)) << bad;
  }
  std::string deep(100, '[');
  EXPECT_FALSE(ParseJson(deep, v, error));
}

}  // namespace
}  // namespace cinevo::tvx
