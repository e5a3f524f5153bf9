#include "runtime/core/queue.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/core/error.h"
#include "runtime/core/locale_tables.h"

namespace cinevo {
namespace {

// The record of the test queues: NAME STRING(8), then NUM LONG.
struct Rec {
  char name[8];
  int32_t num;
};
static_assert(sizeof(Rec) == 12);

const QueueKey kByName{0, 8, TypeCode::kString, false};
const QueueKey kByNum{8, 4, TypeCode::kLong, false};
const QueueKey kByNumDown{8, 4, TypeCode::kLong, true};

class QueueTest : public testing::Test {
 protected:
  void Set(const std::string& name, int32_t num) {
    std::memset(rec.name, ' ', sizeof rec.name);
    std::memcpy(rec.name, name.data(), std::min(name.size(), sizeof rec.name));
    rec.num = num;
  }
  void Add(const std::string& name, int32_t num) {
    Set(name, num);
    QueueAdd(&q);
    ASSERT_EQ(ErrorCode(), 0);
  }
  std::string Name() const {
    std::string n(rec.name, sizeof rec.name);
    return n.erase(n.find_last_not_of(' ') + 1);
  }
  // "name/num" of every entry in order.
  std::vector<std::string> All() {
    std::vector<std::string> out;
    Rec saved = rec;
    for (int32_t i = 1; i <= QueueRecords(&q); ++i) {
      QueueGetAt(&q, i);
      out.push_back(Name() + "/" + std::to_string(rec.num));
    }
    rec = saved;
    return out;
  }

  Rec rec{};
  Queue q{&rec, sizeof(Rec)};
};

TEST_F(QueueTest, UnsortedAddGetPutDeleteByPosition) {
  Add("b", 2);
  Add("a", 1);
  EXPECT_EQ(QueuePointer(&q), 2);
  Set("c", 3);
  QueueAddAt(&q, 1);
  EXPECT_EQ(QueuePointer(&q), 1);
  Set("d", 4);
  QueueAddAt(&q, 0);  // 0 appends
  Set("e", 5);
  QueueAddAt(&q, 99);  // beyond appends
  EXPECT_EQ(QueuePointer(&q), 5);
  EXPECT_EQ(All(), (std::vector<std::string>{"c/3", "b/2", "a/1", "d/4", "e/5"}));

  Set("x", 9);
  QueuePutAt(&q, 2);
  EXPECT_EQ(QueuePointer(&q), 2);
  QueueDeleteAt(&q, 1);
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(All(), (std::vector<std::string>{"x/9", "a/1", "d/4", "e/5"}));
  EXPECT_EQ(QueueRecords(&q), 4);

  // The queue keeps copies: changing the buffer does not change a stored entry.
  Set("zz", 0);
  QueueGetAt(&q, 1);
  EXPECT_EQ(Name(), "x");
}

TEST_F(QueueTest, BadPositionsPostEntryNotFound) {
  Add("a", 1);
  Add("b", 2);
  QueueGetAt(&q, 3);
  EXPECT_EQ(ErrorCode(), 30);
  EXPECT_EQ(QueuePointer(&q), 2);  // beyond the end: pointer unchanged
  QueueGetAt(&q, 0);
  EXPECT_EQ(ErrorCode(), 30);
  EXPECT_EQ(QueuePointer(&q), 0);
  QueueGetAt(&q, -1);
  EXPECT_EQ(ErrorCode(), 30);
  QueuePutAt(&q, 0);
  EXPECT_EQ(ErrorCode(), 30);
  QueuePutAt(&q, 3);
  EXPECT_EQ(ErrorCode(), 30);
  QueueDeleteAt(&q, 3);
  EXPECT_EQ(ErrorCode(), 30);
  EXPECT_EQ(QueueRecords(&q), 2);
  EXPECT_EQ(ErrorCode(), 0);  // every operation clears a pending code first
  Set("a", 1);
  QueueGetByKey(&q);  // unsorted queue
  EXPECT_EQ(ErrorCode(), 30);
}

TEST_F(QueueTest, MissingDescriptorPostsMemoryCorrupted) {
  QueueAdd(nullptr);
  EXPECT_EQ(ErrorCode(), 7);
  EXPECT_EQ(QueueRecords(nullptr), 0);
  EXPECT_EQ(ErrorCode(), 7);
  Queue no_buffer(nullptr, 12);
  QueueAdd(&no_buffer);
  EXPECT_EQ(ErrorCode(), 7);
  EXPECT_FALSE(no_buffer.object);
  // A descriptor whose record size no longer matches its queue object is refused, not over-read.
  QueueAdd(&q);
  q.record_size = 64;
  QueueGetAt(&q, 1);
  EXPECT_EQ(ErrorCode(), 7);
  q.record_size = sizeof(Rec);
  QueueGetAt(&q, 1);
  EXPECT_EQ(ErrorCode(), 0);
}

TEST_F(QueueTest, SortedQueueKeepsEqualKeysInOrderAddedAndFindsTheFirst) {
  QueueSort(&q, {kByName});
  Add("m", 1);
  Add("b", 2);
  Add("m", 3);
  Add("a", 4);
  Add("m", 5);
  EXPECT_EQ(QueuePointer(&q), 5);  // after the last equal entry
  EXPECT_EQ(All(), (std::vector<std::string>{"a/4", "b/2", "m/1", "m/3", "m/5"}));

  Set("m", 0);
  QueueGetByKey(&q);
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(rec.num, 1);
  EXPECT_EQ(QueuePointer(&q), 3);

  Set("c", 0);
  QueueGetByKey(&q);
  EXPECT_EQ(ErrorCode(), 30);
  EXPECT_EQ(QueuePointer(&q), 3);
  EXPECT_EQ(rec.num, 0);  // buffer untouched
  Set("z", 0);
  QueueGetByKey(&q);
  EXPECT_EQ(ErrorCode(), 30);
}

TEST_F(QueueTest, PutMovesASortedEntryToItsNewPlace) {
  QueueSort(&q, {kByName});
  Add("a", 1);
  Add("c", 2);
  Add("e", 3);
  Add("g", 4);
  QueueGetAt(&q, 1);
  Set("f", 1);
  QueuePutAt(&q, 1);
  EXPECT_EQ(QueuePointer(&q), 3);
  EXPECT_EQ(All(), (std::vector<std::string>{"c/2", "e/3", "f/1", "g/4"}));
  Set("b", 4);
  QueuePutAt(&q, 4);
  EXPECT_EQ(QueuePointer(&q), 1);
  EXPECT_EQ(All(), (std::vector<std::string>{"b/4", "c/2", "e/3", "f/1"}));
}

TEST_F(QueueTest, ResortingWithSeveralKeysAndDescendingIsStable) {
  Add("b", 1);
  Add("a", 2);
  Add("b", 2);
  Add("a", 1);
  Add("a", 2);
  QueueSort(&q, {kByName, kByNumDown});
  EXPECT_EQ(All(), (std::vector<std::string>{"a/2", "a/2", "a/1", "b/2", "b/1"}));
  QueueSort(&q, {kByNum});
  EXPECT_EQ(All(), (std::vector<std::string>{"a/1", "b/1", "a/2", "a/2", "b/2"}));
  // A lookup compares every key.
  QueueSort(&q, {kByName, kByNum});
  Set("b", 2);
  QueueGetByKey(&q);
  EXPECT_EQ(QueuePointer(&q), 5);
  // Back to unsorted: adds go to the end again.
  QueueSort(&q, {});
  Add("0", 0);
  EXPECT_EQ(QueuePointer(&q), 6);
}

TEST_F(QueueTest, KeysOutsideTheRecordOrOfUnsupportedTypeAreRefused) {
  Add("b", 1);
  Add("a", 1);
  QueueSort(&q, {QueueKey{8, 8, TypeCode::kReal, false}});
  EXPECT_EQ(ErrorCode(), 7);
  QueueSort(&q, {QueueKey{0, 4, TypeCode::kBlob, false}});
  EXPECT_EQ(ErrorCode(), 7);
  QueueSort(&q, {QueueKey{0xFFFFFFF0u, 0x20, TypeCode::kString, false}});  // offset + size wraps
  EXPECT_EQ(ErrorCode(), 7);
  EXPECT_EQ(All(), (std::vector<std::string>{"b/1", "a/1"}));  // still unsorted
}

TEST_F(QueueTest, ChangeStampMovesOnEveryChangeButNotOnReads) {
  uint32_t s0 = QueueChanges(&q);
  Add("a", 1);
  uint32_t s1 = QueueChanges(&q);
  EXPECT_NE(s1, s0);
  QueueGetAt(&q, 1);
  QueueRecords(&q);
  EXPECT_EQ(QueueChanges(&q), s1);
  QueuePutAt(&q, 1);
  uint32_t s2 = QueueChanges(&q);
  EXPECT_NE(s2, s1);
  QueueDeleteAt(&q, 1);
  EXPECT_NE(QueueChanges(&q), s2);
  QueueDeleteAt(&q, 1);  // failed delete: no change
  EXPECT_EQ(QueueChanges(&q), s2 + 1);
}

TEST_F(QueueTest, FreeDropsEverythingAndTheNextUseStartsEmpty) {
  Add("a", 1);
  Add("b", 2);
  QueueSort(&q, {kByName});
  QueueFree(&q);
  EXPECT_FALSE(q.object);
  EXPECT_EQ(QueueRecords(&q), 0);
  EXPECT_EQ(QueuePointer(&q), 0);
  Add("z", 1);
  Add("a", 1);
  EXPECT_EQ(All(), (std::vector<std::string>{"z/1", "a/1"}));  // keys went with the object
}

TEST_F(QueueTest, LargeRecordsAndRecordsBelowAPointerSurviveReuse) {
  std::vector<uint8_t> big(3 << 20, 'x');  // a record larger than a pool chunk
  Queue qb(big.data(), static_cast<uint32_t>(big.size()));
  QueueAdd(&qb);
  big[0] = 'y';
  QueueAdd(&qb);
  QueueGetAt(&qb, 1);
  EXPECT_EQ(big[0], 'x');
  EXPECT_EQ(big.back(), 'x');
  uint8_t tiny = 1;
  Queue qt(&tiny, 1);
  for (uint8_t i = 1; i <= 5; ++i) {
    tiny = i;
    QueueAdd(&qt);
  }
  QueueDeleteAt(&qt, 2);
  QueueDeleteAt(&qt, 3);
  tiny = 9;
  QueueAdd(&qt);  // reuses a released slot
  std::string seen;
  for (int32_t i = 1; i <= QueueRecords(&qt); ++i) {
    QueueGetAt(&qt, i);
    seen += static_cast<char>('0' + tiny);
  }
  EXPECT_EQ(seen, "1359");
}

TEST_F(QueueTest, AddBeyondTheLimitIsRefusedWithoutLosingEntries) {
  Rec small{};
  Queue big(&small, 1);
  for (uint32_t i = 0; i < kQueueMaxEntries; ++i) QueueAdd(&big);
  EXPECT_EQ(QueueRecords(&big), 1000000);
  QueueAdd(&big);
  EXPECT_EQ(ErrorCode(), 8);
  EXPECT_EQ(QueueRecords(&big), 1000000);
}

// Enough entries that the entry pointers, the key prefixes and the record copies all outgrow
// their small heap blocks. The keys share their first eight bytes, so every search also needs the
// full comparison over a long run of equal prefixes.
TEST(QueueLargeTest, ManyEntriesKeepTheirOrderAndAreFoundAcrossTheLargeArrays) {
  struct Big {
    char name[12];
    int32_t num;
    int32_t check;  // 20 bytes: record slots that do not divide the chunks evenly
  };
  Big rec{};
  Queue q(&rec, sizeof rec);
  QueueSort(&q, {QueueKey{0, 12, TypeCode::kString, false}});
  auto set = [&](int32_t group, int32_t num) {
    std::string digits = std::to_string(10000 + group).substr(1);  // four digits
    std::memcpy(rec.name, "SHAREDPF", 8);
    std::memcpy(rec.name + 8, digits.data(), 4);
    rec.num = num;
    rec.check = ~num;
  };
  constexpr int32_t kCount = 300000, kPerGroup = 100;
  for (int32_t i = 0; i < kCount; ++i) {
    set(i / kPerGroup, i);
    QueueAdd(&q);
    ASSERT_EQ(ErrorCode(), 0) << i;
  }
  ASSERT_EQ(QueueRecords(&q), kCount);
  for (int32_t group : {0, 1, 1234, 2047, 2999}) {
    set(group, -1);
    QueueGetByKey(&q);
    ASSERT_EQ(ErrorCode(), 0) << group;
    EXPECT_EQ(rec.num, group * kPerGroup) << "the first of its equal entries";
    EXPECT_EQ(QueuePointer(&q), group * kPerGroup + 1);
  }
  set(3000, -1);  // past the last key
  QueueGetByKey(&q);
  EXPECT_EQ(ErrorCode(), 30);

  // The first entry, given the key of the middle group, goes after that group's last entry.
  set(1500, -7);
  QueuePutAt(&q, 1);
  EXPECT_EQ(QueuePointer(&q), 1501 * kPerGroup);
  QueueGetAt(&q, 1501 * kPerGroup);
  EXPECT_EQ(rec.num, -7);
  QueueDeleteAt(&q, 1501 * kPerGroup);
  EXPECT_EQ(QueueRecords(&q), kCount - 1);
  for (int32_t pos : {1, 2, 150000, kCount - 1}) {
    QueueGetAt(&q, pos);
    EXPECT_EQ(rec.num, pos) << pos;  // every entry after the first moved up by one
    EXPECT_EQ(rec.check, ~pos) << pos;
  }
}

// Field comparison as used by the keys.
TEST(QueueFieldTest, StringsIgnoreTrailingSpacesAndUseTheCollatingSequence) {
  QueueKey s{0, 4, TypeCode::kString, false};
  auto cmp = [&](const char* a, const char* b) {
    return CompareQueueField(s, reinterpret_cast<const uint8_t*>(a), reinterpret_cast<const uint8_t*>(b));
  };
  EXPECT_EQ(cmp("ab  ", "ab  "), 0);
  EXPECT_LT(cmp("ab  ", "abc "), 0);
  EXPECT_GT(cmp("b   ", "abc "), 0);
  LocaleTables& t = Locale();
  t.collation['b'] = 1;  // 'b' sorts before everything else
  EXPECT_LT(cmp("b   ", "abc "), 0);
  t.ResetToDefaults();

  QueueKey c{0, 4, TypeCode::kCString, false};
  uint8_t x[4] = {'a', 0, 'z', 'z'}, y[4] = {'a', ' ', ' ', 0};
  EXPECT_EQ(CompareQueueField(c, x, y), 0);  // text ends at the NUL; trailing blanks ignored
  QueueKey p{0, 4, TypeCode::kPString, false};
  uint8_t p1[4] = {200, 'a', 'b', 'c'}, p2[4] = {2, 'a', 'b', 'z'};
  EXPECT_GT(CompareQueueField(p, p1, p2), 0);  // an overlong length byte is clamped to the field
}

TEST(QueueFieldTest, NumbersCompareNumerically) {
  auto bytes = [](auto v) {
    std::vector<uint8_t> b(sizeof v);
    std::memcpy(b.data(), &v, sizeof v);
    return b;
  };
  QueueKey l{0, 4, TypeCode::kLong, false};
  EXPECT_LT(CompareQueueField(l, bytes(int32_t{-5}).data(), bytes(int32_t{3}).data()), 0);
  QueueKey ul{0, 4, TypeCode::kULong, false};
  EXPECT_GT(CompareQueueField(ul, bytes(uint32_t{0xFFFFFFFF}).data(), bytes(uint32_t{1}).data()), 0);
  QueueKey sh{0, 2, TypeCode::kShort, false};
  EXPECT_LT(CompareQueueField(sh, bytes(int16_t{-1}).data(), bytes(int16_t{0}).data()), 0);
  QueueKey r{0, 8, TypeCode::kReal, false};
  EXPECT_EQ(CompareQueueField(r, bytes(1.0).data(), bytes(1.0 + 1e-17).data()), 0);
  EXPECT_EQ(CompareQueueField(r, bytes(1.0).data(), bytes(1.0 + 4e-16).data()), 0);  // 2^-51 below
  EXPECT_LT(CompareQueueField(r, bytes(1.0).data(), bytes(1.0 + 2e-15).data()), 0);  // 2^-49 below
  EXPECT_LT(CompareQueueField(r, bytes(1.0).data(), bytes(1.0 + 1e-14).data()), 0);
  EXPECT_GT(CompareQueueField(r, bytes(0.0).data(), bytes(-1e-300).data()), 0);

  // DATE: day, month, year; the year decides before the month.
  uint8_t d1[4] = {31, 12, 0xD0, 0x07}, d2[4] = {1, 1, 0xD1, 0x07};  // 31.12.2000 < 1.1.2001
  QueueKey d{0, 4, TypeCode::kDate, false};
  EXPECT_LT(CompareQueueField(d, d1, d2), 0);
  // TIME: hundredths, seconds, minutes, hours; the hour decides.
  uint8_t t1[4] = {99, 59, 59, 1}, t2[4] = {0, 0, 0, 2};
  QueueKey t{0, 4, TypeCode::kTime, false};
  EXPECT_LT(CompareQueueField(t, t1, t2), 0);
}

TEST(QueueFieldTest, PackedDecimalsCompareBySignAndDigits) {
  QueueKey dec{0, 2, TypeCode::kDecimal, false};   // sign nibble first: 3 digits
  uint8_t pos12[2] = {0x00, 0x12}, neg12[2] = {0xF0, 0x12}, neg5[2] = {0xF0, 0x05},
          negzero[2] = {0xF0, 0x00}, zero[2] = {0x00, 0x00}, big[2] = {0x01, 0x00};
  EXPECT_LT(CompareQueueField(dec, neg12, neg5), 0);
  EXPECT_LT(CompareQueueField(dec, neg5, pos12), 0);
  EXPECT_EQ(CompareQueueField(dec, negzero, zero), 0);
  EXPECT_GT(CompareQueueField(dec, big, pos12), 0);
  QueueKey pdec{0, 2, TypeCode::kPDecimal, false};  // sign nibble last: 0xD negative
  uint8_t p12[2] = {0x01, 0x2F}, m12[2] = {0x01, 0x2D}, p3[2] = {0x00, 0x3C};
  EXPECT_LT(CompareQueueField(pdec, m12, p3), 0);
  EXPECT_GT(CompareQueueField(pdec, p12, p3), 0);
}

// Random adds, puts, deletes and key lookups on sorted queues, checked against a plain model: a
// vector kept in order by insertion after the last equal record. Covers keys whose prefixes decide
// alone, long texts that need the full comparison, descending keys and several keys.
struct ModelCase {
  const char* name;
  std::vector<QueueKey> keys;
};

class QueueModelTest : public testing::TestWithParam<ModelCase> {};

constexpr uint32_t kModelSize = 18;  // NAME STRING(12), SH SHORT, NUM LONG
using ModelRec = std::array<uint8_t, kModelSize>;

void PrintTo(const ModelCase& c, std::ostream* os) { *os << c.name; }

// The field comparison itself is tested above; the model uses it to check the searching, the
// prefixes kept beside the entries and the stable order.
int ModelCompare(const std::vector<QueueKey>& keys, const ModelRec& a, const ModelRec& b) {
  for (const QueueKey& k : keys) {
    int r = CompareQueueField(k, a.data() + k.offset, b.data() + k.offset);
    if (r != 0) return (r < 0 ? -1 : 1) * (k.descending ? -1 : 1);
  }
  return 0;
}

TEST_P(QueueModelTest, MatchesTheModelOverRandomOperations) {
  const std::vector<QueueKey>& keys = GetParam().keys;
  std::mt19937 rng(7);
  auto random_record = [&] {
    // Few distinct byte values, so that equal keys are common and texts often agree in their
    // first eight bytes and differ after them.
    static const uint8_t bytes[] = {0, 1, ' ', 'a', 0xFF};
    ModelRec r;
    for (uint8_t& b : r) b = bytes[rng() % 5];
    for (int i = 0; i < 8; ++i) r[i] = rng() % 4 == 0 ? bytes[rng() % 5] : 'a';
    return r;
  };
  ModelRec buffer{};
  Queue q(buffer.data(), kModelSize);
  QueueSort(&q, keys);
  std::vector<ModelRec> model;
  auto upper = [&](const ModelRec& r) {
    size_t i = 0;
    while (i < model.size() && ModelCompare(keys, model[i], r) <= 0) ++i;
    return i;
  };
  for (int step = 0; step < 3000; ++step) {
    int op = static_cast<int>(rng() % 10);
    if (op < 5 || model.empty()) {
      buffer = random_record();
      // Records with equal keys may differ in their other bytes; the final comparisons check that
      // they kept the order in which they were added.
      size_t at = upper(buffer);
      model.insert(model.begin() + static_cast<long>(at), buffer);
      QueueAdd(&q);
      ASSERT_EQ(QueuePointer(&q), static_cast<int32_t>(at) + 1);
    } else if (op < 7) {
      int32_t pos = static_cast<int32_t>(rng() % model.size()) + 1;
      buffer = random_record();
      model.erase(model.begin() + pos - 1);
      size_t at = upper(buffer);
      model.insert(model.begin() + static_cast<long>(at), buffer);
      QueuePutAt(&q, pos);
      ASSERT_EQ(QueuePointer(&q), static_cast<int32_t>(at) + 1);
    } else if (op < 8) {
      int32_t pos = static_cast<int32_t>(rng() % model.size()) + 1;
      model.erase(model.begin() + pos - 1);
      QueueDeleteAt(&q, pos);
    } else {
      ModelRec probe = random_record();
      buffer = probe;
      QueueGetByKey(&q);
      auto it = std::find_if(model.begin(), model.end(),
                             [&](const ModelRec& r) { return ModelCompare(keys, r, probe) == 0; });
      if (it == model.end()) {
        ASSERT_EQ(ErrorCode(), 30);
      } else {
        ASSERT_EQ(ErrorCode(), 0);
        ASSERT_EQ(QueuePointer(&q), it - model.begin() + 1);
        ASSERT_EQ(buffer, *it);
      }
    }
    ASSERT_EQ(QueueRecords(&q), static_cast<int32_t>(model.size()));
    QueueCheckInvariants(&q);
  }
  for (size_t i = 0; i < model.size(); ++i) {
    QueueGetAt(&q, static_cast<int32_t>(i + 1));
    ASSERT_EQ(buffer, model[i]) << i;
  }
  // Re-sorting by the reverse key order keeps equal records in their present order.
  std::vector<QueueKey> reversed(keys.rbegin(), keys.rend());
  QueueSort(&q, reversed);
  QueueCheckInvariants(&q);
  std::stable_sort(model.begin(), model.end(), [&](const ModelRec& a, const ModelRec& b) {
    return ModelCompare(reversed, a, b) < 0;
  });
  for (size_t i = 0; i < model.size(); ++i) {
    QueueGetAt(&q, static_cast<int32_t>(i + 1));
    ASSERT_EQ(buffer, model[i]) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, QueueModelTest,
    testing::Values(ModelCase{"LongName", {QueueKey{0, 12, TypeCode::kString, false}}},
                    ModelCase{"ShortNameDescending", {QueueKey{0, 6, TypeCode::kString, true}}},
                    ModelCase{"Number", {QueueKey{14, 4, TypeCode::kLong, false}}},
                    ModelCase{"NumberDescendingThenName",
                              {QueueKey{14, 4, TypeCode::kLong, true},
                               QueueKey{0, 12, TypeCode::kString, false}}},
                    ModelCase{"ShortThenNumber",
                              {QueueKey{12, 2, TypeCode::kShort, false},
                               QueueKey{14, 4, TypeCode::kLong, false}}},
                    ModelCase{"CString", {QueueKey{0, 12, TypeCode::kCString, false}}},
                    ModelCase{"PStringDescending", {QueueKey{0, 12, TypeCode::kPString, true}}},
                    ModelCase{"UShortThenDate",
                              {QueueKey{12, 2, TypeCode::kUShort, false},
                               QueueKey{14, 4, TypeCode::kDate, false}}},
                    ModelCase{"Time", {QueueKey{14, 4, TypeCode::kTime, false}}},
                    ModelCase{"Decimal", {QueueKey{12, 6, TypeCode::kDecimal, false}}}),
    [](const testing::TestParamInfo<ModelCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cinevo
