#include "runtime/data/isam/page_codec.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace cinevo::isam
