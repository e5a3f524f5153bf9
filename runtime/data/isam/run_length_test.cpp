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

// Short literals and runs are written in whole 16-byte pieces that reach past their end: every
// length around that size, at the end of the data or before more, decodes exactly, also into a
// buffer that held other bytes before.
TEST(RunLengthRoundTrip, LiteralsAndRunsAroundThePieceSizeDecodeIntoAUsedBuffer) {
  std::string buffer(4000, 'Z');
  for (size_t literal = 1; literal <= 40; ++literal) {
    for (size_t run = 4; run <= 40; ++run) {
      for (bool tail : {false, true}) {
        std::string data;
        for (size_t i = 0; i < literal; ++i) data.push_back(static_cast<char>('a' + i % 3));
        data.append(run, '#');
        if (tail) data += "xyz";
        auto packed = RunLengthEncode(data);
        ASSERT_TRUE(packed) << literal << " " << run;
        ASSERT_TRUE(RunLengthDecode(*packed, data.size(), buffer)) << literal << " " << run;
        ASSERT_EQ(buffer, data) << literal << " " << run << " " << tail;
      }
    }
  }
}

// The stored bytes are part of the file format: the word-at-a-time encoder must give exactly
// what a byte-at-a-time walk over the maximal runs gives, for runs of every length at every
// alignment and near the end of the data.
TEST(RunLengthEncode, SameBytesAsAPlainWalkOverMaximalRuns) {
  auto plain = [](std::string_view data) -> std::optional<std::string> {
    std::string out;
    bool any = false;
    size_t literal_start = 0, i = 0;
    while (i < data.size()) {
      size_t j = i + 1;
      while (j < data.size() && data[j] == data[i]) ++j;
      if (j - i >= 4) {
        any = true;
        AppendCount(out, static_cast<uint32_t>(i + 1 - literal_start));
        out.append(data.substr(literal_start, i + 1 - literal_start));
        AppendCount(out, static_cast<uint32_t>(j - i - 1));
        literal_start = j;
      }
      i = j;
    }
    if (!any) return std::nullopt;
    AppendCount(out, static_cast<uint32_t>(data.size() - literal_start));
    out.append(data.substr(literal_start));
    return out;
  };
  std::mt19937 rng(11);
  for (int iter = 0; iter < 20000; ++iter) {
    std::string data;
    size_t parts = rng() % 12;
    for (size_t part = 0; part < parts; ++part) {
      char c = static_cast<char>(rng() % 3 == 0 ? ' ' : rng() % 256);
      size_t len = rng() % 4 == 0 ? rng() % 40 : rng() % 6;
      data.append(len, c);
    }
    ASSERT_EQ(RunLengthEncode(data), plain(data)) << Hex(data);
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
