#include "runtime/data/isam/page_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "runtime/data/isam/byte_order.h"

namespace cinevo::isam {
namespace {

Record R(std::string bytes, uint16_t key_len) { return Record{std::move(bytes), key_len}; }

Page Leaf(uint32_t address, std::vector<Record> records) {
  Page p;
  p.address = address;
  p.records = std::move(records);
  return p;
}

TEST(PrefixSharing, FirstRecordCarriesBothLengthsAndSharesNothing) {
  std::string out = SerializeRecords({R("abcdef", 3)});
  EXPECT_EQ(out, std::string("\xC0\x06\x00\x03\x00", 5) + "abcdef");
}

TEST(PrefixSharing, EqualLengthsAreNotRepeated) {
  std::string out = SerializeRecords({R("abcdef", 3), R("abcxyz", 3)});
  // second record: flag = 3 shared bytes, no length fields, then "xyz"
  EXPECT_EQ(out.substr(11), std::string("\x03", 1) + "xyz");
}

TEST(PrefixSharing, ChangedLengthsAreWrittenAlone) {
  std::string out = SerializeRecords({R("abcdef", 3), R("abcdefg", 3), R("abcdefh", 4)});
  // record 2: record length only (0x80 | shared 6); record 3: key length only (0x40 | 6)
  EXPECT_EQ(out.substr(11, 4), std::string("\x86\x07\x00g", 4));
  EXPECT_EQ(out.substr(15), std::string("\x46\x04\x00h", 4));
}

TEST(PrefixSharing, SharedCountIsCappedAt63) {
  std::string a(80, 'k'), b(80, 'k');
  a[70] = 'a';
  b[70] = 'b';
  std::string out = SerializeRecords({R(a, 75), R(b, 75)});
  size_t second = 5 + 80;
  EXPECT_EQ(static_cast<uint8_t>(out[second]), 63);
  EXPECT_EQ(out.size(), second + 1 + (80 - 63));
}

TEST(PageEncoding, RecordsWithoutLongRunsStayUncompressed) {
  Page p = Leaf(7, {R("k1-abcabcabc", 3), R("k2-xyzxyzxyz", 3)});
  std::string bytes;
  ASSERT_TRUE(EncodePage(p, bytes).ok());
  ASSERT_EQ(bytes.size(), 256u);
  const auto* b = Bytes(bytes);
  EXPECT_EQ(GetLe32(b), 7u);
  EXPECT_EQ(GetLe16(b + 4), GetLe16(b + 6)) << "stored size equals unpacked size";
  EXPECT_EQ(GetLe16(b + 10), 2u);
  EXPECT_EQ(b[12], 0);
  EXPECT_EQ(GetLe16(b + 8), 13u + 2 * (12 + 5));
  EXPECT_EQ(b[255], 0xB0) << "filler";
  EXPECT_EQ(b[GetLe16(b + 4)], 0xB0);
}

TEST(PageEncoding, CompressesOnlyWhenAUnitIsSaved) {
  // 300 blank bytes shrink from two units to one: compressed.
  Page big = Leaf(0, {R("key" + std::string(300, ' '), 3)});
  std::string bytes;
  ASSERT_TRUE(EncodePage(big, bytes).ok());
  EXPECT_EQ(bytes.size(), 256u);
  EXPECT_LT(GetLe16(Bytes(bytes) + 4), GetLe16(Bytes(bytes) + 6));
  // 100 blanks fit one unit either way: left uncompressed.
  Page small = Leaf(0, {R("key" + std::string(100, ' '), 3)});
  ASSERT_TRUE(EncodePage(small, bytes).ok());
  EXPECT_EQ(GetLe16(Bytes(bytes) + 4), GetLe16(Bytes(bytes) + 6));
}

TEST(PageEncoding, RoundTripsLeafAndIndexPages) {
  Page leaf = Leaf(12, {R("aaaa" + std::string(400, 'z'), 4), R("aaab" + std::string(10, 'q'), 4), R("b", 1)});
  std::string bytes;
  ASSERT_TRUE(EncodePage(leaf, bytes).ok());
  Page back;
  ASSERT_TRUE(DecodePage(bytes, 12, back).ok());
  EXPECT_EQ(back.records, leaf.records);
  EXPECT_EQ(back.level, 0);

  Page index = leaf;
  index.level = 2;
  index.children = {100, 200, 300};
  ASSERT_TRUE(EncodePage(index, bytes).ok());
  EXPECT_EQ(GetLe32(Bytes(bytes) + 13 + 4), 200u) << "child addresses follow the header";
  ASSERT_TRUE(DecodePage(bytes, 12, back).ok());
  EXPECT_EQ(back.children, index.children);
  EXPECT_EQ(back.records, index.records);
  EXPECT_EQ(CapacityFigure(index), 13u + (404 + 5) + (14 + 5) + (1 + 5) + 3 * 4);
}

TEST(PageDecoding, DamagedPagesGiveTheirCheckNumbers) {
  Page leaf = Leaf(3, {R("abc", 3), R("abd", 3)});
  std::string bytes;
  ASSERT_TRUE(EncodePage(leaf, bytes).ok());
  Page out;
  EXPECT_EQ(DecodePage(bytes, 4, out).file_error, kCheckPageAddress);
  EXPECT_EQ(DecodePage(bytes + std::string(256, '\xB0'), 3, out).file_error, kCheckPageClass);

  std::string wrong_end = bytes;
  PutLe16(reinterpret_cast<uint8_t*>(wrong_end.data()) + 4, GetLe16(Bytes(bytes) + 4) + 1);
  PutLe16(reinterpret_cast<uint8_t*>(wrong_end.data()) + 6, GetLe16(Bytes(bytes) + 6) + 1);
  EXPECT_EQ(DecodePage(wrong_end, 3, out).file_error, kCheckParsedLength);

  std::string bad_share = bytes;
  bad_share[13 + 5 + 3] = 9;  // second record claims 9 shared bytes of a 3-byte predecessor
  EXPECT_EQ(DecodePage(bad_share, 3, out).file_error, kCheckRecordFields);

  std::string unordered = SerializeRecords({R("b", 1), R("a", 1)});
  std::string page(256, '\xB0');
  auto* p = reinterpret_cast<uint8_t*>(page.data());
  PutLe32(p, 3);
  PutLe16(p + 4, static_cast<uint16_t>(13 + unordered.size()));
  PutLe16(p + 6, static_cast<uint16_t>(13 + unordered.size()));
  PutLe16(p + 10, 2);
  p[12] = 0;
  page.replace(13, unordered.size(), unordered);
  EXPECT_EQ(DecodePage(page, 3, out).file_error, kCheckRecordOrder);
  PutLe16(p + 10, 0);
  EXPECT_EQ(DecodePage(page, 3, out).file_error, kCheckEmptyPage);
  PutLe16(p + 10, 60000);  // a count whose child addresses would not fit
  p[12] = 1;
  EXPECT_EQ(DecodePage(page, 3, out).file_error, kCheckPageHeader);
}

TEST(PageEncoding, TooLongRecordsAndPagesAreInternalErrors) {
  std::string bytes;
  EXPECT_EQ(EncodePage(Leaf(0, {R(std::string(0x3AF6, 'x'), 4)}), bytes).file_error, kCheckRecordTooLong);
  std::vector<Record> many;
  for (int i = 0; i < 40; ++i) many.push_back(R(std::to_string(1000 + i) + std::string(400, static_cast<char>('a' + i % 26)) + "x", 4));
  // 40 varied 405-byte records with short runs: about 16 KB, beyond the largest page.
  for (auto& r : many) for (size_t j = 4; j < r.bytes.size(); j += 3) r.bytes[j] = static_cast<char>(j);
  EXPECT_EQ(EncodePage(Leaf(0, many), bytes).file_error, kCheckPageTooLarge);
}

TEST(SplitRule, FiresAtTheHardCapacityOrAbove0x1000WithMoreThan20Records) {
  Page p;
  for (int i = 0; i < 21; ++i) p.records.push_back(R(std::to_string(100 + i) + std::string(190, 'x'), 3));
  EXPECT_GT(CapacityFigure(p), 0x1000u);
  EXPECT_TRUE(NeedsSplit(p)) << "21 records above 0x1000";
  p.records.pop_back();
  EXPECT_FALSE(NeedsSplit(p)) << "20 records, far from the maximum";
  Page two = Leaf(0, {R("a" + std::string(7600, 'x'), 1), R("b" + std::string(7600, 'x'), 1)});
  EXPECT_TRUE(NeedsSplit(two));
}

TEST(KeyComparison, UnsignedBytewiseThenShorterFirst) {
  EXPECT_LT(CompareKeys("a", "ab"), 0);
  EXPECT_GT(CompareKeys("\xF3", "\x01"), 0);
  EXPECT_EQ(CompareKeys("abc", "abc"), 0);
  Page p = Leaf(0, {R("b", 1), R("d", 1)});
  EXPECT_EQ(p.FindFloor("a"), -1);
  EXPECT_EQ(p.FindFloor("b"), 0);
  EXPECT_EQ(p.FindFloor("c"), 0);
  EXPECT_EQ(p.FindFloor("z"), 1);
}

// The search of a page that is searched often uses per-record probes of the bytes after the
// shared key prefix; every answer must equal a plain search, also for keys that are prefixes
// of each other, hold zero bytes, or lie outside the shared prefix, and after the page changed.
TEST(PageSearch, FloorMatchesAPlainSearchForEveryKindOfKey) {
  std::mt19937 rng(7);
  auto random_key = [&](const std::string& stem) {
    std::string k = stem.substr(0, rng() % (stem.size() + 1));
    size_t extra = rng() % 12;
    for (size_t i = 0; i < extra; ++i) k.push_back(static_cast<char>("\0\1AaBz\xFF"[rng() % 7]));
    return k.empty() ? std::string("A") : k;
  };
  auto reference = [](const Page& p, std::string_view key) {
    int floor = -1;
    for (size_t i = 0; i < p.records.size(); ++i) {
      if (CompareKeys(p.records[i].key(), key) <= 0) floor = static_cast<int>(i);
    }
    return floor;
  };
  for (int round = 0; round < 200; ++round) {
    std::string stem = std::string(rng() % 20, 'T') + "GROUP " + std::to_string(rng() % 7);
    std::set<std::string> keys;
    size_t n = 1 + rng() % 40;
    while (keys.size() < n) keys.insert(random_key(stem));
    Page page;
    for (const std::string& k : keys) page.records.push_back(R(k + "payload", static_cast<uint16_t>(k.size())));
    for (int probe = 0; probe < 60; ++probe) {
      std::string key = probe % 3 == 0 ? *std::next(keys.begin(), static_cast<long>(rng() % keys.size())) : random_key(stem);
      ASSERT_EQ(page.FindFloor(key), reference(page, key)) << "round " << round << " key size " << key.size();
      if (probe == 30) {
        // Change a key in place (as a parent's copy of a child's first record changes).
        size_t i = rng() % page.records.size();
        std::string lower = i == 0 ? std::string() : std::string(page.records[i - 1].key());
        std::string k = lower + std::string(1, '\0');
        if (i + 1 < page.records.size() && CompareKeys(k, page.records[i + 1].key()) >= 0) continue;
        page.records[i] = R(k + "p", static_cast<uint16_t>(k.size()));
        page.InvalidateSearch();
      }
      if (probe == 45 && page.records.size() > 1) page.records.erase(page.records.begin());
    }
  }
}

}  // namespace
}  // namespace cinevo::isam
