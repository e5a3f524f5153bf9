#include "runtime/data/isam/table_sequence.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "runtime/data/file_declaration.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/isam_file.h"
#include "runtime/data/isam/key_encoding.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {

namespace fs = std::filesystem;

// ---- The current record.

TEST(TableSequenceCurrent, KeepsTheCopyOfTheCurrentRecordOnlyUntilForgotten) {
  TableSequence s;
  s.Reset(7);
  EXPECT_EQ(s.current(), 0u);
  EXPECT_EQ(s.Kept(0), nullptr);  // nothing current, nothing kept

  s.Become(12, "twelve");
  EXPECT_EQ(s.current(), 12u);
  ASSERT_NE(s.Kept(12), nullptr);
  EXPECT_EQ(*s.Kept(12), "twelve");
  EXPECT_EQ(s.Kept(13), nullptr);  // another record is read from the file

  s.Forget();  // another user may have changed the file: the copy is not trusted, the record stays current
  EXPECT_EQ(s.current(), 12u);
  EXPECT_EQ(s.Kept(12), nullptr);
  EXPECT_EQ(s.KnownEntryOf(12).key, -1);

  // A record made current from the kept copy itself keeps its bytes.
  s.Become(12, "again");
  s.Become(12, *s.Kept(12));
  EXPECT_EQ(*s.Kept(12), "again");

  // A PUT hands its new bytes over and gets the old buffer back to reuse.
  std::string fresh = "changed";
  s.BecomeSwapping(12, fresh);
  EXPECT_EQ(*s.Kept(12), "changed");
  EXPECT_EQ(fresh, "again");

  s.Clear();  // after a DELETE
  EXPECT_EQ(s.current(), 0u);
  EXPECT_EQ(s.Kept(12), nullptr);
}

TEST(TableSequenceCurrent, TheEntryAReadCameThroughBelongsToThatReadAlone) {
  TableSequence s;
  s.Reset(7);
  s.Become(5, "five");
  s.KeepEntry(1, "entry-of-5");
  KnownEntry known = s.KnownEntryOf(5);
  EXPECT_EQ(known.key, 1);
  EXPECT_EQ(known.entry, "entry-of-5");
  EXPECT_EQ(s.KnownEntryOf(6).key, -1);  // not the current record

  s.ForgetEntry();  // a BUILD makes the entries anew
  EXPECT_EQ(s.KnownEntryOf(5).key, -1);

  // Making a record current again, even the same one, drops the entry of the earlier read.
  s.KeepEntry(1, "entry-of-5");
  s.Become(5, "five");
  EXPECT_EQ(s.KnownEntryOf(5).key, -1);
  s.KeepEntry(0, "other");
  s.Clear();
  s.Become(5, "five");
  EXPECT_EQ(s.KnownEntryOf(5).key, -1);
}

// ---- Where steps start.

TEST(TableSequenceStart, AWholeSequenceStartsNextAtTheFirstAndPreviousAtTheLast) {
  TableSequence s;
  s.Reset(0x01020304);
  EXPECT_EQ(s.order(), TableSequence::Order::kNone);
  s.StartWhole(-1);
  s.CheckInvariants();
  EXPECT_EQ(s.order(), TableSequence::Order::kFile);
  EXPECT_EQ(s.key(), -1);
  bool fresh = false;
  EXPECT_EQ(s.From(true, fresh), s.OrderStart(-1));
  EXPECT_TRUE(fresh);
  EXPECT_EQ(s.From(false, fresh), s.OrderEnd(-1));
  EXPECT_FALSE(fresh);  // strictly before the end of the order
  EXPECT_EQ(s.OrderStart(-1), std::string("\x01\x02\x03\x04\xF3", 5));
  EXPECT_EQ(s.OrderEnd(-1), std::string("\x01\x02\x03\x04\xF4", 5));

  s.StartWhole(2);
  s.CheckInvariants();
  EXPECT_EQ(s.order(), TableSequence::Order::kKey);
  EXPECT_EQ(s.key(), 2);
  EXPECT_EQ(s.From(true, fresh), std::string("\x01\x02\x03\x04\x02", 5));
  EXPECT_EQ(s.From(false, fresh), std::string("\x01\x02\x03\x04\x03", 5));
}

TEST(TableSequenceStart, OnlyTheFirstStepAfterAStartIsFresh) {
  TableSequence s;
  s.Reset(9);
  const std::string value = KeyEntryKey(9, 1, "M", false, 0);
  const std::string after_equal = value + std::string(5, '\xFF');
  s.StartAt(1, value, after_equal);
  s.CheckInvariants();
  bool fresh = false;
  EXPECT_EQ(s.From(true, fresh), value);
  EXPECT_TRUE(fresh);
  EXPECT_EQ(s.From(false, fresh), after_equal);  // a fresh PREVIOUS starts after the equal values
  EXPECT_TRUE(fresh);

  std::string found = KeyEntryKey(9, 1, "N", false, 0);
  s.MovedSwapping(found);
  s.CheckInvariants();
  EXPECT_EQ(found, value);  // the old point, handed back as a buffer
  EXPECT_EQ(s.From(true, fresh), KeyEntryKey(9, 1, "N", false, 0));
  EXPECT_FALSE(fresh);
  EXPECT_EQ(s.From(false, fresh), KeyEntryKey(9, 1, "N", false, 0));  // the back point is done with
  EXPECT_FALSE(fresh);

  // A whole sequence, once stepped, goes on from where the step ended.
  s.StartWhole(1);
  s.MovedTo(KeyEntryKey(9, 1, "A", false, 0));
  s.CheckInvariants();
  EXPECT_EQ(s.From(false, fresh), KeyEntryKey(9, 1, "A", false, 0));
  EXPECT_FALSE(fresh);

  s.End();
  EXPECT_EQ(s.order(), TableSequence::Order::kNone);
}

// ---- Stepping through a tree: two tables in one file, each with data records, key entries of
// two keys and counters; the neighbours of a sequence stay within its own table and order.
class TableSequenceTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("table_sequence_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    FileDeclaration d;
    d.label = "S";
    d.fields = {MakeField("S:NAME", TypeCode::kString, 0, 4)};
    d.keys = {MakeKey("S:K0", kKeyDup, {1}), MakeKey("S:K1", 0, {1})};
    TableDeclaration decl = FromFileDeclaration(d);
    PageStoreOptions o;
    o.sync = false;
    ASSERT_TRUE(IsamFile::Create((dir_ / "S.TVX").string(), o, file_).ok());
    ASSERT_TRUE(file_->AddTable("A", decl, a_).ok());
    ASSERT_TRUE(file_->AddTable("B", decl, b_).ok());
    // Records 30, 10, 20 of A (names "c", "a", "b"), record 15 of B; the DUP key 0 and the unique
    // key 1 of A hold an entry per record.
    for (uint32_t table : {a_, b_}) {
      std::vector<std::pair<uint32_t, std::string>> rows =
          table == a_ ? std::vector<std::pair<uint32_t, std::string>>{{30, "c   "}, {10, "a   "}, {20, "b   "}}
                      : std::vector<std::pair<uint32_t, std::string>>{{15, "z   "}};
      for (const auto& [recno, name] : rows) {
        Insert(DataKey(table, recno), name);
        std::string number;
        AppendBe32(number, recno);
        Insert(KeyEntryKey(table, 0, name, true, recno), number);
        Insert(KeyEntryKey(table, 1, name, false, 0), number);
      }
    }
    ASSERT_TRUE(file_->store().Commit().ok());
  }
  void TearDown() override {
    file_.reset();
    fs::remove_all(dir_);
  }
  void Insert(const std::string& key, std::string_view payload) {
    bool existed = false;
    ASSERT_TRUE(file_->tree().Insert(MakeRecord(key, payload), existed).ok());
    ASSERT_FALSE(existed);
  }
  // The record numbers (and in file order the stored records) met by stepping `s` until the
  // order ends, the way the driver's NEXT and PREVIOUS do.
  std::vector<uint32_t> Walk(TableSequence& s, bool forward, std::string* data = nullptr) {
    std::vector<uint32_t> out;
    Record scratch;
    std::string found_key;
    for (int guard = 0; guard < 20; ++guard) {
      bool fresh = false;
      const std::string& point = s.From(forward, fresh);
      uint32_t recno = 0;
      bool found = false;
      std::string one;
      EXPECT_TRUE(s.Neighbour(file_->tree(), forward, fresh, point, scratch, found_key, recno, found, data ? &one : nullptr).ok());
      if (!found) return out;
      s.MovedSwapping(found_key);
      s.CheckInvariants();
      out.push_back(recno);
      if (data) *data += one;
    }
    ADD_FAILURE() << "the walk did not end";
    return out;
  }

  fs::path dir_;
  std::unique_ptr<IsamFile> file_;
  uint32_t a_ = 0, b_ = 0;
};

TEST_F(TableSequenceTreeTest, FileOrderVisitsTheTablesOwnDataRecordsByRecordNumber) {
  TableSequence s;
  s.Reset(a_);
  s.StartWhole(-1);
  std::string data;
  EXPECT_EQ(Walk(s, true, &data), (std::vector<uint32_t>{10, 20, 30}));
  EXPECT_EQ(data, "a   b   c   ");  // the stored records come with the step
  s.StartWhole(-1);
  EXPECT_EQ(Walk(s, false), (std::vector<uint32_t>{30, 20, 10}));  // not into the counters after them

  TableSequence other;
  other.Reset(b_);
  other.StartWhole(-1);
  EXPECT_EQ(Walk(other, true), (std::vector<uint32_t>{15}));
  other.StartWhole(-1);
  EXPECT_EQ(Walk(other, false), (std::vector<uint32_t>{15}));  // not back into table A
}

TEST_F(TableSequenceTreeTest, KeyOrderStaysWithinItsKey) {
  TableSequence s;
  s.Reset(a_);
  s.StartWhole(0);
  EXPECT_EQ(Walk(s, true), (std::vector<uint32_t>{10, 20, 30}));  // not on into key 1
  s.StartWhole(1);
  EXPECT_EQ(Walk(s, false), (std::vector<uint32_t>{30, 20, 10}));  // not back into key 0
}

TEST_F(TableSequenceTreeTest, AFreshStartMayReturnTheRecordAtThePointItself) {
  TableSequence s;
  s.Reset(a_);
  s.StartAt(-1, DataKey(a_, 20));
  EXPECT_EQ(Walk(s, true), (std::vector<uint32_t>{20, 30}));
  s.StartAt(-1, DataKey(a_, 20));
  EXPECT_EQ(Walk(s, false), (std::vector<uint32_t>{20, 10}));
  // Between records: the neighbours on either side.
  s.StartAt(-1, DataKey(a_, 25));
  EXPECT_EQ(Walk(s, true), (std::vector<uint32_t>{30}));
  s.StartAt(-1, DataKey(a_, 25));
  EXPECT_EQ(Walk(s, false), (std::vector<uint32_t>{20, 10}));
  // Past the last: nothing forwards, everything backwards.
  s.StartAt(-1, s.OrderEnd(-1));
  EXPECT_EQ(Walk(s, true), (std::vector<uint32_t>{}));
  s.StartAt(-1, s.OrderEnd(-1));
  EXPECT_EQ(Walk(s, false), (std::vector<uint32_t>{30, 20, 10}));
  // A key value with its back point after the equal entries (the SET by key value).
  const std::string b = KeyEntryKey(a_, 0, "b   ", false, 0);
  s.StartAt(0, b, b + std::string(5, '\xFF'));
  EXPECT_EQ(Walk(s, true), (std::vector<uint32_t>{20, 30}));
  s.StartAt(0, b, b + std::string(5, '\xFF'));
  EXPECT_EQ(Walk(s, false), (std::vector<uint32_t>{20, 10}));
}

TEST_F(TableSequenceTreeTest, ADamagedEntryIsReportedNotStepped) {
  Insert(KeyEntryKey(a_, 1, "d   ", false, 0), "");  // a key entry without its record number
  Record bad = MakeRecord(std::string(TablePrefix(a_)) + std::string("\xF3\x00\x00", 3), "x");
  Insert(bad.bytes.substr(0, bad.key_length), "x");  // a data key of the wrong length
  TableSequence s;
  s.Reset(a_);
  Record scratch;
  std::string found_key;
  uint32_t recno = 0;
  bool found = false;
  s.StartAt(1, KeyEntryKey(a_, 1, "c   ", false, 0));
  Status st = s.Neighbour(file_->tree(), true, false, s.point(), scratch, found_key, recno, found);
  EXPECT_EQ(st.file_error, kCheckRecordFields);
  s.StartWhole(-1);
  bool fresh = false;
  st = s.Neighbour(file_->tree(), true, true, s.From(true, fresh), scratch, found_key, recno, found);
  EXPECT_EQ(st.file_error, kCheckRecordFields);
}

}  // namespace
}  // namespace cinevo::isam
