#include "runtime/data/isam/run_length.h"

#include <gtest/gtest.h>

#include <random>

namespace cinevo::isam {
namespace {

std::string Hex(std::string_view s) {
  static const char* d = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out += d[c >> 4];
    out += d[c & 15];
  }
  return out;
}

TEST(RunLengthCounts, OneByteBelow128AndSevenBitGroupsAbove) {
  std::string out;
  AppendCount(out, 127);
  EXPECT_EQ(Hex(out), "7f");
  out.clear();
  AppendCount(out, 128);
  EXPECT_EQ(Hex(out), "8001");
  out.clear();
  AppendCount(out, 0x3AF5);  // 15093 = 0x75 + 0x75 << 7
  EXPECT_EQ(Hex(out), "f575");
  size_t pos = 0;
  EXPECT_EQ(ReadCount(out, pos, 0xFFFF), 0x3AF5u);
  EXPECT_EQ(pos, 2u);
  pos = 0;
  EXPECT_FALSE(ReadCount(out, pos, 100)) << "a count above the remaining output is refused";
  pos = 0;
  EXPECT_FALSE(ReadCount(std::string("\x80\x80", 2), pos, 0xFFFF)) << "a count cut short";
}

TEST(RunLengthEncode, ExactlyFourEqualBytesBecomeLiteralPlusRepeatThree) {
  auto packed = RunLengthEncode("abXXXXcd");
  ASSERT_TRUE(packed);
  // literal 3 "abX", repeat 3, final literal 2 "cd"
  EXPECT_EQ(Hex(*packed), "03" + Hex("abX") + "03" + "02" + Hex("cd"));
}

TEST(RunLengthEncode, RunsShorterThanFourLeaveDataUncompressed) {
  EXPECT_FALSE(RunLengthEncode("aaabbbcccaaa"));
  EXPECT_FALSE(RunLengthEncode(""));
}

TEST(RunLengthEncode, TrailingRunEndsWithLiteralCountZero) {
  auto packed = RunLengthEncode(std::string("ab") + std::string(200, ' '));
  ASSERT_TRUE(packed);
  // literal 3 "ab ", repeat 199 (c7 01), final literal 0
  EXPECT_EQ(Hex(*packed), "03" + Hex("ab ") + "c701" + "00");
}

TEST(RunLengthEncode, RunsAreMaximalAndAdjacentRunsNeedEmptyLiterals) {
  auto packed = RunLengthEncode(std::string(5, 'a') + std::string(6, 'b'));
  ASSERT_TRUE(packed);
  EXPECT_EQ(Hex(*packed), "01" + Hex("a") + "04" + "01" + Hex("b") + "05" + "00");
}

TEST(RunLengthRoundTrip, RandomDataWithRunsDecodesToTheOriginal) {
  std::mt19937 rng(7);
  for (int iter = 0; iter < 300; ++iter) {
    std::string data;
    int parts = static_cast<int>(rng() % 20);
    for (int p = 0; p < parts; ++p) {
      char c = static_cast<char>(rng() % 4);
      data.append(rng() % 3 == 0 ? rng() % 300 : rng() % 4 + 1, c);
    }
    auto packed = RunLengthEncode(data);
    if (!packed) continue;
    auto back = RunLengthDecode(*packed, data.size());
    ASSERT_TRUE(back) << iter;
    EXPECT_EQ(*back, data);
  }
}

TEST(RunLengthDecode, MalformedStreamsAreRefused) {
  std::string good = *RunLengthEncode("abXXXXcd");
  EXPECT_TRUE(RunLengthDecode(good, 8));
  EXPECT_FALSE(RunLengthDecode(good.substr(0, good.size() - 1), 8)) << "cut short";
  EXPECT_FALSE(RunLengthDecode(good + "x", 8)) << "bytes left over";
  EXPECT_FALSE(RunLengthDecode(good, 7)) << "overshoots the unpacked size";
  EXPECT_FALSE(RunLengthDecode(good, 9)) << "falls short of the unpacked size";
  EXPECT_FALSE(RunLengthDecode(std::string("\x00\x05", 2), 5)) << "repeat before any byte";
  EXPECT_FALSE(RunLengthDecode(std::string("\x01x\x00\x00\x00", 5), 3)) << "no progress";
}

}  // namespace
}  // namespace cinevo::isam
