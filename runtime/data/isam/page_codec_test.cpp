#include "runtime/data/isam/page_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <set>

#include "runtime/data/isam/byte_order.h"

namespace cinevo::isam {
namespace {

Record R(std::string bytes, uint16_t key_len) { return Record{std::move(bytes), key_len}; }

Page Leaf(uint32_t address, std::vector<Record> records) {
  Page p;
  p.address = address;
  for (const Record& r : records) p.Append(r);
  return p;
}

TEST(PrefixSharing, FirstRecordCarriesBothLengthsAndSharesNothing) {
  std::string out = SerializeRecords(Leaf(0, {R("abcdef", 3)}));
  EXPECT_EQ(out, std::string("\xC0\x06\x00\x03\x00", 5) + "abcdef");
}

TEST(PrefixSharing, EqualLengthsAreNotRepeated) {
  std::string out = SerializeRecords(Leaf(0, {R("abcdef", 3), R("abcxyz", 3)}));
  // second record: flag = 3 shared bytes, no length fields, then "xyz"
  EXPECT_EQ(out.substr(11), std::string("\x03", 1) + "xyz");
}

TEST(PrefixSharing, ChangedLengthsAreWrittenAlone) {
  std::string out = SerializeRecords(Leaf(0, {R("abcdef", 3), R("abcdefg", 3), R("abcdefh", 4)}));
  // record 2: record length only (0x80 | shared 6); record 3: key length only (0x40 | 6)
  EXPECT_EQ(out.substr(11, 4), std::string("\x86\x07\x00g", 4));
  EXPECT_EQ(out.substr(15), std::string("\x46\x04\x00h", 4));
}

TEST(PrefixSharing, SharedCountIsCappedAt63) {
  std::string a(80, 'k'), b(80, 'k');
  a[70] = 'a';
  b[70] = 'b';
  std::string out = SerializeRecords(Leaf(0, {R(a, 75), R(b, 75)}));
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
  EXPECT_EQ(RecordsOf(back), RecordsOf(leaf));
  EXPECT_EQ(back.level, 0);

  Page index = leaf;
  index.level = 2;
  index.children = {100, 200, 300};
  ASSERT_TRUE(EncodePage(index, bytes).ok());
  EXPECT_EQ(GetLe32(Bytes(bytes) + 13 + 4), 200u) << "child addresses follow the header";
  ASSERT_TRUE(DecodePage(bytes, 12, back).ok());
  EXPECT_EQ(back.children, index.children);
  EXPECT_EQ(RecordsOf(back), RecordsOf(index));
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

  std::string unordered = SerializeRecords(Leaf(0, {R("b", 1), R("a", 1)}));
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
  for (int i = 0; i < 21; ++i) p.Append(R(std::to_string(100 + i) + std::string(190, 'x'), 3));
  EXPECT_GT(CapacityFigure(p), 0x1000u);
  EXPECT_TRUE(NeedsSplit(p)) << "21 records above 0x1000";
  p.Erase(p.size() - 1);
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
    for (size_t i = 0; i < p.size(); ++i) {
      if (CompareKeys(p.key(i), key) <= 0) floor = static_cast<int>(i);
    }
    return floor;
  };
  for (int round = 0; round < 200; ++round) {
    std::string stem = std::string(rng() % 20, 'T') + "GROUP " + std::to_string(rng() % 7);
    std::set<std::string> keys;
    // Small pages are searched by counting, large ones by halving: both sizes come up.
    size_t n = 1 + rng() % 100;
    while (keys.size() < n) keys.insert(random_key(stem));
    Page page;
    for (const std::string& k : keys) page.Append(R(k + "payload", static_cast<uint16_t>(k.size())));
    for (int probe = 0; probe < 60; ++probe) {
      std::string key = probe % 3 == 0 ? *std::next(keys.begin(), static_cast<long>(rng() % keys.size())) : random_key(stem);
      ASSERT_EQ(page.FindFloor(key), reference(page, key)) << "round " << round << " key size " << key.size();
      if (probe == 30) {
        // Change a key in place (as a parent's copy of a child's first record changes).
        size_t i = rng() % page.size();
        std::string lower = i == 0 ? std::string() : std::string(page.key(i - 1));
        std::string k = lower + std::string(1, '\0');
        if (i + 1 < page.size() && CompareKeys(k, page.key(i + 1)) >= 0) continue;
        page.Replace(i, R(k + "p", static_cast<uint16_t>(k.size())));
      }
      if (probe == 45 && page.size() > 1) page.Erase(0);
    }
  }
}

// The page keeps its records in one buffer with slots; a model (a plain sorted vector) is
// changed alongside by random inserts, replacements (longer, shorter, new keys at either end),
// removals, splits and inserts of a record taken from the page itself. After every step the
// records, their byte count, every search and the encoded form must agree with the model.
TEST(PageBuffer, ChangesAgreeWithAPlainVectorOfRecords) {
  std::mt19937 rng(11);
  auto key_between = [&](const std::string& low, const std::string& high) -> std::optional<std::string> {
    for (int attempt = 0; attempt < 8; ++attempt) {
      std::string k = low.empty() ? std::string("K") : low;
      size_t extra = 1 + rng() % 10;
      for (size_t i = 0; i < extra; ++i) k.push_back(static_cast<char>("\0\x01AMz\xFF"[rng() % 6]));
      if (CompareKeys(k, low) > 0 && (high.empty() || CompareKeys(k, high) < 0)) return k;
    }
    return std::nullopt;
  };
  auto reference = [](const std::vector<Record>& model, std::string_view key) {
    int floor = -1;
    for (size_t i = 0; i < model.size(); ++i) {
      if (CompareKeys(model[i].key(), key) <= 0) floor = static_cast<int>(i);
    }
    return floor;
  };
  for (int round = 0; round < 60; ++round) {
    Page page;
    std::vector<Record> model;
    for (int step = 0; step < 300; ++step) {
      int action = static_cast<int>(rng() % 10);
      size_t n = model.size();
      if (n == 0 || action < 4) {
        size_t at = n == 0 ? 0 : rng() % (n + 1);
        std::string low = at == 0 ? std::string() : std::string(model[at - 1].key());
        std::string high = at == n ? std::string() : std::string(model[at].key());
        if (at == 0 && n > 0) low = std::string(model[0].key()).substr(0, rng() % model[0].key_length);
        auto k = key_between(low, high);
        if (!k || (at == 0 && n > 0 && CompareKeys(*k, model[0].key()) >= 0)) continue;
        Record r = R(*k + std::string(rng() % 60, static_cast<char>('a' + rng() % 3)), static_cast<uint16_t>(k->size()));
        page.Insert(at, r);
        model.insert(model.begin() + static_cast<long>(at), r);
      } else if (action < 6) {
        // The same key with a longer or shorter payload.
        size_t i = rng() % n;
        Record r = model[i];
        r.bytes.resize(r.key_length + rng() % 120, 'p');
        page.Replace(i, r);
        model[i] = r;
      } else if (action < 7) {
        // A new first key (as a parent's copy of a changed first record).
        std::string high = n > 1 ? std::string(model[1].key()) : std::string();
        auto k = key_between(std::string(model[0].key()).substr(0, 1), high);
        if (!k) continue;
        Record r = R(*k + "x", static_cast<uint16_t>(k->size()));
        page.Replace(0, r);
        model[0] = r;
      } else if (action < 9) {
        size_t i = rng() % n;
        page.Erase(i);
        model.erase(model.begin() + static_cast<long>(i));
      } else if (n >= 2 && action == 9) {
        // A record of the page itself, one position on (possible only as a longer copy).
        size_t i = rng() % (n - 1);
        page.Replace(i + 1, RecordView(page.bytes(i + 1), page.key_length(i + 1)));
        Page right;
        page.MoveTail(n / 2, right);
        std::vector<Record> tail(model.begin() + static_cast<long>(n / 2), model.end());
        model.resize(n / 2);
        ASSERT_EQ(RecordsOf(right), tail);
        right.CheckInvariants();
        ASSERT_EQ(right.record_bytes(), [&] { size_t t = 0; for (auto& r : tail) t += r.bytes.size(); return t; }());
      }
      page.CheckInvariants();
      ASSERT_EQ(page.size(), model.size());
      size_t total = 0;
      for (const Record& r : model) total += r.bytes.size();
      ASSERT_EQ(page.record_bytes(), total) << "round " << round << " step " << step;
      ASSERT_EQ(RecordsOf(page), model) << "round " << round << " step " << step;
      for (int probe = 0; probe < 6 && !model.empty(); ++probe) {
        std::string key = std::string(model[rng() % model.size()].key());
        if (probe % 2) key.resize(rng() % (key.size() + 1));
        if (probe == 5) key.push_back('\0');
        ASSERT_EQ(page.FindFloor(key), reference(model, key)) << "round " << round << " step " << step;
      }
    }
    if (model.empty()) continue;
    std::string bytes;
    page.address = 5;
    if (!EncodePage(page, bytes).ok()) continue;  // grown beyond one page: fine for this model
    Page back;
    ASSERT_TRUE(DecodePage(bytes, 5, back).ok());
    back.CheckInvariants();
    EXPECT_EQ(RecordsOf(back), model);
  }
}

TEST(PageBuffer, ARecordTakenFromThePageItselfIsCopiedBeforeTheBufferMoves) {
  Page p;
  for (int i = 0; i < 40; ++i) p.Append(R("b" + std::to_string(10 + i) + std::string(300, 'v'), 3));
  for (int i = 0; i < 39; ++i) p.Erase(0);  // most of the buffer is unused: the next store compacts
  std::string whole = "b49" + std::string(300, 'v');
  p.Insert(1, RecordView(p.bytes(0), 4));   // key "b49v"
  p.Insert(2, RecordView(p.bytes(1), 5));   // key "b49vv"
  p.Replace(0, RecordView(p.bytes(2), 3));  // the same record again, from a later slot
  ASSERT_EQ(p.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(p.bytes(i), whole) << i;
    EXPECT_EQ(p.key_length(i), 3 + i);
  }
  EXPECT_EQ(p.record_bytes(), 3 * whole.size());
  EXPECT_EQ(p.FindFloor("b4"), -1);
  EXPECT_EQ(p.FindFloor("b49"), 0);
  EXPECT_EQ(p.FindFloor("b49v"), 1);
  EXPECT_EQ(p.FindFloor("b49vz"), 2);
}

// A page read back into an object used before (as the cache hands out an evicted page) holds
// exactly the new page's records; one whose bytes do not decode is left empty.
TEST(PageBuffer, DecodingIntoAUsedPageLeavesNothingOfItsPastRecords) {
  Page big = Leaf(4, {});
  for (int i = 0; i < 30; ++i) big.Append(R("key" + std::to_string(100 + i) + std::string(90, 'z'), 6));
  Page small = Leaf(9, {R("abc" + std::string(10, 'q'), 3), R("abd", 3)});
  small.level = 1;
  small.children = {70, 80};
  std::string big_bytes, small_bytes, scratch;
  ASSERT_TRUE(EncodePage(big, big_bytes).ok());
  ASSERT_TRUE(EncodePage(small, small_bytes).ok());
  Page reused;
  ASSERT_TRUE(DecodePage(big_bytes, 4, reused, scratch).ok());
  ASSERT_TRUE(DecodePage(small_bytes, 9, reused, scratch).ok());
  EXPECT_EQ(RecordsOf(reused), RecordsOf(small));
  EXPECT_EQ(reused.children, small.children);
  EXPECT_EQ(reused.level, 1);
  EXPECT_EQ(reused.record_bytes(), 13u + 3u);
  EXPECT_EQ(reused.FindFloor("abc"), 0);
  EXPECT_EQ(reused.FindFloor("key105"), 1);
  ASSERT_TRUE(DecodePage(big_bytes, 4, reused, scratch).ok());
  EXPECT_EQ(RecordsOf(reused), RecordsOf(big));
  EXPECT_EQ(reused.FindFloor("key115"), 15);

  std::string broken = big_bytes;
  auto* b = reinterpret_cast<uint8_t*>(broken.data());
  PutLe16(b + 10, static_cast<uint16_t>(GetLe16(b + 10) + 1));  // one record more than the bytes hold
  EXPECT_EQ(DecodePage(broken, 4, reused, scratch).file_error, kCheckParsedLength);
  EXPECT_TRUE(reused.empty());
  EXPECT_TRUE(reused.children.empty());
  EXPECT_EQ(reused.FindFloor("key1"), -1);
}

}  // namespace
}  // namespace cinevo::isam
