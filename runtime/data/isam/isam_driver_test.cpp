// The native driver through the file statements: records and keys, sequences, positions,
// holds and watches between opens, two processes changing one file, builds, memos, and the
// files written by another implementation.
#include "runtime/data/isam/isam_driver.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>

#include "platform/testing/test_data_dir.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/dispatch.h"
#include "runtime/data/file_properties.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/format_check.h"
#include "runtime/data/isam/isam_test_support.h"
#include "runtime/data/isam/key_check.h"
#include "runtime/data/isam/key_encoding.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {

namespace fs = std::filesystem;

// MOV: ID LONG @0, NAME STRING(20) @4, SCORE SREAL @24, NOTE STRING(8) @28.
// Keys: 0 ID unique; 1 NAME NOCASE DUP; 2 SCORE unique; 3 NOTE OPT unique; 4 -ID (descending).
FileDeclaration MovieDeclaration(const std::string& path) {
  FileDeclaration d;
  d.label = "MOV";
  d.name = path;
  d.driver = std::string(kDriverName);
  d.fields = {MakeField("MOV:ID", TypeCode::kLong, 0, 4), MakeField("MOV:NAME", TypeCode::kString, 4, 20),
              MakeField("MOV:SCORE", TypeCode::kSReal, 24, 4), MakeField("MOV:NOTE", TypeCode::kString, 28, 8)};
  d.keys = {MakeKey("MOV:KID", kKeyPrimary, {1}), MakeKey("MOV:KNAME", kKeyDup | kKeyNoCase, {2}),
            MakeKey("MOV:KSCORE", 0, {3}), MakeKey("MOV:KNOTE", kKeyOpt, {4}), MakeKey("MOV:KDESC", kKeyDup, {-1})};
  d.memos = {MemoDeclaration{"MOV:TEXT", "", 0, 100}, MemoDeclaration{"MOV:PIC", "", kMemoBlob | kMemoBinary, 0}};
  return d;
}

class IsamDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::PrepareDriverTest("isam_driver");
    path_ = (dir_ / "MOVIES.TVX").string();
    decl_ = MovieDeclaration(path_);
    f_ = std::make_unique<FileControlBlock>(decl_);
    ASSERT_EQ(Create(*f_), 0);
    ASSERT_EQ(Open(*f_), 0);
  }
  void TearDown() override {
    f_.reset();
    fs::remove_all(dir_);
  }

  static void Fill(FileControlBlock& f, int32_t id, const std::string& name, float score, const std::string& note = "") {
    std::fill(f.record.begin(), f.record.end(), 0);
    StoreU32(f.record.data(), static_cast<uint32_t>(id));
    StoreString(reinterpret_cast<char*>(f.record.data() + 4), 20, name);
    StoreSReal(f.record.data() + 24, score);
    StoreString(reinterpret_cast<char*>(f.record.data() + 28), 8, note);
  }
  static int32_t Id(const FileControlBlock& f) { return test_support::LeadingId(f); }
  int AddMovie(int32_t id, const std::string& name, float score, const std::string& note = "") {
    Fill(*f_, id, name, score, note);
    return Add(*f_);
  }
  std::vector<int32_t> ReadAll(FileControlBlock& f, int key, bool forward = true) {
    return test_support::ReadIds(f, key, forward);
  }
  void ExpectClean() { test_support::ExpectFileClean(path_); }
  // The fixture's open and `other` both share the file (deny none), as two programs do.
  void ShareWith(FileControlBlock& other) {
    ASSERT_EQ(Close(*f_), 0);
    ASSERT_EQ(Share(*f_), 0);
    ASSERT_EQ(Share(other), 0);
  }
  // Opens the closed file directly, below the driver, with its one table's number and layout,
  // to plant entries as another writer (or a damaged file) would have left them.
  void OpenBelowTheDriver(std::unique_ptr<IsamFile>& file, uint32_t& table, TableDeclaration& decl) {
    ASSERT_TRUE(IsamFile::Open(path_, {}, file).ok());
    bool found = false;
    ASSERT_TRUE(file->FindTable(kUnnamedTable, table, found).ok());
    ASSERT_TRUE(found);
    ASSERT_TRUE(file->ReadDeclaration(table, decl).ok());
  }
  // Adds a key entry for record `recno` straight to the tree and commits it.
  static void PlantEntry(IsamFile& file, const std::string& key, int64_t recno) {
    std::string payload;
    AppendBe32(payload, static_cast<uint32_t>(recno));
    bool existed = false;
    ASSERT_TRUE(file.tree().Insert(MakeRecord(key, payload), existed).ok());
    ASSERT_TRUE(file.store().Commit().ok());
  }

  fs::path dir_;
  std::string path_;
  FileDeclaration decl_;
  std::unique_ptr<FileControlBlock> f_;
};

TEST_F(IsamDriverTest, KeysOrderNumbersTextAndDuplicates) {
  ASSERT_EQ(AddMovie(1, "beta", 3.0f, "x"), 0);
  ASSERT_EQ(AddMovie(-1, "Alpha", -2.5f), 0);
  ASSERT_EQ(AddMovie(0, "BETA", -1.0f), 0);
  ASSERT_EQ(AddMovie(7, "alpha", 0.0f), 0);
  EXPECT_EQ(ReadAll(*f_, 0), (std::vector<int32_t>{-1, 0, 1, 7}));
  EXPECT_EQ(ReadAll(*f_, 0, false), (std::vector<int32_t>{7, 1, 0, -1}));
  EXPECT_EQ(ReadAll(*f_, 4), (std::vector<int32_t>{7, 1, 0, -1}));        // descending
  EXPECT_EQ(ReadAll(*f_, 1), (std::vector<int32_t>{-1, 7, 1, 0}));        // NOCASE, DUP in order added
  EXPECT_EQ(ReadAll(*f_, 2), (std::vector<int32_t>{-1, 0, 7, 1}));        // -2.5 -1 0 3
  EXPECT_EQ(ReadAll(*f_, -1), (std::vector<int32_t>{1, -1, 0, 7}));       // file order
  EXPECT_EQ(ReadAll(*f_, 3), (std::vector<int32_t>{1}));                  // OPT: blanks left out
  EXPECT_EQ(Records(*f_), 4);
  EXPECT_EQ(RecordsKey(*f_, 3), 1);
  EXPECT_EQ(RecordsKey(*f_, 1), 4);
  // GET by key finds any case through the NOCASE key, the first added of equal values.
  Fill(*f_, 0, "ALPHA", 0);
  ASSERT_EQ(Get(*f_, 1), 0);
  EXPECT_EQ(Id(*f_), -1);
  Fill(*f_, 99, "", 0);
  EXPECT_EQ(Get(*f_, 0), 35);
  ExpectClean();
}

TEST_F(IsamDriverTest, DuplicateKeyWritesNothing) {
  ASSERT_EQ(AddMovie(1, "a", 1.0f, "n1"), 0);
  uint64_t size = fs::file_size(path_);
  // Unique on ID fails after NAME (DUP) would have been fine; nothing may remain of it.
  EXPECT_EQ(AddMovie(1, "b", 2.0f, "n2"), 40);
  EXPECT_EQ(AddMovie(2, "c", 1.0f, "n3"), 40);  // SCORE
  EXPECT_EQ(AddMovie(3, "d", 4.0f, "n1"), 40);  // NOTE
  EXPECT_EQ(Records(*f_), 1);
  EXPECT_EQ(RecordsKey(*f_, 1), 1);
  EXPECT_EQ(ReadAll(*f_, 1), (std::vector<int32_t>{1}));
  EXPECT_EQ(fs::file_size(path_), size);
  ASSERT_EQ(AddMovie(5, "e", 5.0f), 0);
  // DUPLICATE tells without writing (the current record does not count against itself).
  Fill(*f_, 1, "zz", 9.0f);
  EXPECT_TRUE(Duplicate(*f_));
  EXPECT_TRUE(DuplicateKey(*f_, 0));
  EXPECT_FALSE(DuplicateKey(*f_, 2));
  ExpectClean();
}

TEST_F(IsamDriverTest, NegativeZeroIsTheSameKeyAsZero) {
  ASSERT_EQ(AddMovie(1, "a", 0.0f), 0);
  EXPECT_EQ(AddMovie(2, "b", -0.0f), 40);
  Fill(*f_, 0, "", -0.0f);
  ASSERT_EQ(Get(*f_, 2), 0);
  EXPECT_EQ(Id(*f_), 1);
}

TEST_F(IsamDriverTest, AddWithoutCountersRecordFailsBeforeWriting) {
  ASSERT_EQ(Close(*f_), 0);
  {
    std::unique_ptr<IsamFile> file;
    ASSERT_TRUE(IsamFile::Open(path_, {}, file).ok());
    bool found = false;
    ASSERT_TRUE(file->tree().Erase(CountersKey(1, kTagData), found).ok());
    ASSERT_TRUE(found);
    ASSERT_TRUE(file->store().Commit().ok());
  }
  uint64_t size = fs::file_size(path_);
  ASSERT_EQ(Open(*f_), 0);
  EXPECT_EQ(AddMovie(1, "a", 1.0f), 5);
  EXPECT_EQ(Set(*f_), 0);
  EXPECT_EQ(Next(*f_), 33);
  EXPECT_EQ(SetKey(*f_, 0), 0);
  EXPECT_EQ(Next(*f_), 33);
  EXPECT_EQ(fs::file_size(path_), size);
}

TEST_F(IsamDriverTest, PutDeleteAndSequenceAfterDelete) {
  for (int i = 1; i <= 5; ++i) ASSERT_EQ(AddMovie(i * 10, "m" + std::to_string(i), static_cast<float>(i)), 0);
  ASSERT_EQ(SetKey(*f_, 0), 0);
  ASSERT_EQ(Next(*f_), 0);
  ASSERT_EQ(Next(*f_), 0);
  EXPECT_EQ(Id(*f_), 20);
  ASSERT_EQ(Delete(*f_), 0);
  EXPECT_EQ(Put(*f_), 33);  // no current record after DELETE
  ASSERT_EQ(Next(*f_), 0);  // goes on with the neighbour of the deleted record
  EXPECT_EQ(Id(*f_), 30);
  ASSERT_EQ(Previous(*f_), 0);
  EXPECT_EQ(Id(*f_), 10);
  // PUT moves the record in its keys.
  StoreU32(f_->record.data(), 99);
  ASSERT_EQ(Put(*f_), 0);
  EXPECT_EQ(ReadAll(*f_, 0), (std::vector<int32_t>{30, 40, 50, 99}));
  // A PUT that would duplicate changes nothing.
  ASSERT_EQ(Next(*f_), 33);
  Fill(*f_, 30, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  StoreU32(f_->record.data(), 40);
  EXPECT_EQ(Put(*f_), 40);
  EXPECT_EQ(ReadAll(*f_, 0), (std::vector<int32_t>{30, 40, 50, 99}));
  EXPECT_EQ(Records(*f_), 4);
  EXPECT_EQ(RecordsKey(*f_, 4), 4);
  ExpectClean();
}

// PUT and DELETE start from the copy of the current record kept by the read that made it
// current. Whatever may have changed the record since (another open, a ROLLBACK, a refused or
// repeated change) must be seen: a stale copy would take the wrong key entries out.
TEST_F(IsamDriverTest, ChangesStartFromTheRecordAsItIsNow) {
  ASSERT_EQ(AddMovie(1, "alpha", 1.0f), 0);
  ASSERT_EQ(AddMovie(2, "beta", 2.0f), 0);
  ASSERT_EQ(AddMovie(3, "gamma", 3.0f), 0);
  FileControlBlock g(decl_);
  ShareWith(g);
  // Another open renames record 1 between this open's GET and PUT.
  Fill(*f_, 1, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  Fill(g, 1, "", 0);
  ASSERT_EQ(Get(g, 0), 0);
  StoreString(reinterpret_cast<char*>(g.record.data() + 4), 20, "by g");
  ASSERT_EQ(Put(g), 0);
  StoreU32(f_->record.data(), 10);
  ASSERT_EQ(Put(*f_), 0);
  EXPECT_EQ(ReadAll(*f_, 1), (std::vector<int32_t>{10, 2, 3}));  // "alpha" again, "by g" gone
  // The other open deletes record 2 under this open's current record: PUT and DELETE fail.
  Fill(*f_, 2, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  Fill(g, 2, "", 0);
  ASSERT_EQ(Get(g, 0), 0);
  ASSERT_EQ(Delete(g), 0);
  EXPECT_EQ(Put(*f_), 33);
  EXPECT_EQ(Delete(*f_), 33);
  ASSERT_EQ(Close(g), 0);
  // A refused PUT changes nothing; the next one starts from the record as stored.
  ASSERT_EQ(Close(*f_), 0);
  ASSERT_EQ(Open(*f_, 0x12), 0);
  Fill(*f_, 3, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  StoreU32(f_->record.data(), 10);
  EXPECT_EQ(Put(*f_), 40);
  StoreU32(f_->record.data(), 30);
  StoreString(reinterpret_cast<char*>(f_->record.data() + 4), 20, "delta");
  ASSERT_EQ(Put(*f_), 0);
  StoreString(reinterpret_cast<char*>(f_->record.data() + 4), 20, "epsilon");  // twice in a row
  ASSERT_EQ(Put(*f_), 0);
  EXPECT_EQ(ReadAll(*f_, 1), (std::vector<int32_t>{10, 30}));
  EXPECT_EQ(ReadAll(*f_, 0), (std::vector<int32_t>{10, 30}));
  // A change rolled back: the record is as before the LOGOUT, and so is the next PUT's start.
  Fill(*f_, 30, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  FileControlBlock* files[] = {f_.get()};
  ASSERT_EQ(Logout(0, files), 0);
  StoreString(reinterpret_cast<char*>(f_->record.data() + 4), 20, "zeta");
  ASSERT_EQ(Put(*f_), 0);
  ASSERT_EQ(Rollback(files), 0);
  Fill(*f_, 30, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(f_->record.data() + 4), 7), "epsilon");
  StoreString(reinterpret_cast<char*>(f_->record.data() + 4), 20, "aaa");
  ASSERT_EQ(Put(*f_), 0);
  EXPECT_EQ(ReadAll(*f_, 1), (std::vector<int32_t>{30, 10}));
  Fill(*f_, 30, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  ASSERT_EQ(Delete(*f_), 0);
  EXPECT_EQ(ReadAll(*f_, 1), (std::vector<int32_t>{10}));
  EXPECT_EQ(RecordsKey(*f_, 1), 1);
  ASSERT_EQ(Close(*f_), 0);
  ExpectClean();
}

// A record reached by a step in a key's order is changed or deleted through the entry the step
// found; the other keys' entries come from the record's bytes. Every key stays in step.
TEST_F(IsamDriverTest, ChangesOfRecordsReachedInKeyOrder) {
  ASSERT_EQ(Close(*f_), 0);
  ASSERT_EQ(Open(*f_, 0x12), 0);  // exclusive: what was read stays true from one statement to the next
  for (int i = 1; i <= 30; ++i) ASSERT_EQ(AddMovie(i, "n" + std::to_string(i % 4), static_cast<float>(i)), 0);
  // In NAME order (DUP NOCASE): each record gets another ID (keys 0, 4) and another NAME.
  ASSERT_EQ(SetKey(*f_, 1), 0);
  int seen = 0;
  while (Next(*f_) == 0 && seen < 100) {
    ++seen;
    int32_t id = Id(*f_);
    if (id > 1000) continue;  // moved ahead of the scan by its new name
    StoreU32(f_->record.data(), static_cast<uint32_t>(id + 1000));
    StoreString(reinterpret_cast<char*>(f_->record.data() + 4), 20, "Z" + std::to_string(id % 3));
    ASSERT_EQ(Put(*f_), 0);
  }
  EXPECT_EQ(RecordsKey(*f_, 1), 30);
  ExpectClean();
  // In descending ID order: every other record is deleted, the others renamed.
  ASSERT_EQ(SetKey(*f_, 4), 0);
  bool remove = true;
  while (Next(*f_) == 0) {
    if (remove) {
      ASSERT_EQ(Delete(*f_), 0);
    } else {
      StoreString(reinterpret_cast<char*>(f_->record.data() + 4), 20, "kept");
      ASSERT_EQ(Put(*f_), 0);
    }
    remove = !remove;
  }
  EXPECT_EQ(Records(*f_), 15);
  EXPECT_EQ(RecordsKey(*f_, 0), 15);
  EXPECT_EQ(RecordsKey(*f_, 1), 15);
  std::vector<int32_t> ids = ReadAll(*f_, 1);
  ASSERT_EQ(ids.size(), 15u);
  EXPECT_EQ(ids.front(), 1001);  // all named "kept": in the order they were added
  // A record read by its pointer after another was found by a key: nothing of the first one's
  // entry is used for the second.
  Fill(*f_, 0, "kept", 0);
  ASSERT_EQ(Get(*f_, 1), 0);
  int64_t first = Pointer(*f_);
  ASSERT_EQ(GetByPointer(*f_, first + 2), 0);
  StoreString(reinterpret_cast<char*>(f_->record.data() + 4), 20, "other");
  ASSERT_EQ(Put(*f_), 0);
  EXPECT_EQ(RecordsKey(*f_, 1), 15);
  ExpectClean();
}

// Counters read by one open are read again once another open may have changed them, each key's
// on its own, and a change stores exactly the counters it moved.
TEST_F(IsamDriverTest, CountersFollowTheOtherOpensChanges) {
  ASSERT_EQ(AddMovie(1, "a", 1.0f, "x"), 0);
  FileControlBlock g(decl_);
  ShareWith(g);
  EXPECT_EQ(RecordsKey(*f_, 3), 1);
  EXPECT_EQ(RecordsKey(*f_, 1), 1);
  Fill(g, 2, "b", 2.0f, "y");
  ASSERT_EQ(Add(g), 0);
  Fill(g, 3, "c", 3.0f);  // no NOTE: key 3 (OPT) keeps no entry
  ASSERT_EQ(Add(g), 0);
  EXPECT_EQ(RecordsKey(*f_, 3), 2);
  EXPECT_EQ(RecordsKey(*f_, 1), 3);
  ASSERT_EQ(Stream(*f_), 0);
  ASSERT_EQ(AddMovie(4, "d", 4.0f, "z"), 0);
  EXPECT_EQ(RecordsKey(*f_, 3), 3);
  ASSERT_EQ(Flush(*f_), 0);
  EXPECT_EQ(Records(g), 4);
  EXPECT_EQ(RecordsKey(g, 3), 3);
  EXPECT_EQ(RecordsKey(g, 4), 4);
  ASSERT_EQ(Close(g), 0);
  ASSERT_EQ(Close(*f_), 0);
  ExpectClean();
}

// A damaged file may already hold the entry a change would make. The change is refused with 40
// and, also inside a stream (where nothing is undone), the record keeps its bytes and its
// entries.
TEST_F(IsamDriverTest, ARefusedKeyEntryLeavesTheRecordAsItWas) {
  ASSERT_EQ(AddMovie(1, "first", 1.0f), 0);
  ASSERT_EQ(AddMovie(2, "second", 2.0f), 0);
  int64_t recno = Pointer(*f_);
  ASSERT_EQ(Close(*f_), 0);
  {
    std::unique_ptr<IsamFile> file;
    uint32_t table = 0;
    TableDeclaration decl;
    OpenBelowTheDriver(file, table, decl);
    if (HasFatalFailure()) return;
    std::vector<uint8_t> image(decl.record_length, 0);
    StoreString(reinterpret_cast<char*>(image.data() + 4), 20, "stray");
    std::string value = EncodeKeyValue(decl, decl.keys[1], image, {});
    PlantEntry(*file, KeyEntryKey(table, 1, value, true, static_cast<uint32_t>(recno)), recno);
    if (HasFatalFailure()) return;
  }
  ASSERT_EQ(Open(*f_, 0x12), 0);
  ASSERT_EQ(Stream(*f_), 0);
  Fill(*f_, 2, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  StoreString(reinterpret_cast<char*>(f_->record.data() + 4), 20, "STRAY");
  EXPECT_EQ(Put(*f_), 40);
  ASSERT_EQ(Flush(*f_), 0);
  Fill(*f_, 2, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(f_->record.data() + 4), 6), "second");
  Fill(*f_, 0, "SECOND", 0);
  ASSERT_EQ(Get(*f_, 1), 0);
  EXPECT_EQ(Id(*f_), 2);
  EXPECT_EQ(RecordsKey(*f_, 1), 2);
  // Once the stray entry is gone with a BUILD, the same change goes through.
  ASSERT_EQ(BuildKey(*f_, 1), 0);
  StoreString(reinterpret_cast<char*>(f_->record.data() + 4), 20, "STRAY");
  ASSERT_EQ(Put(*f_), 0);
  EXPECT_EQ(ReadAll(*f_, 1), (std::vector<int32_t>{1, 2}));
  ASSERT_EQ(Close(*f_), 0);
  ExpectClean();
}

// Another writer kept negative zero apart from zero in its key entries. A step in key order
// may land on such an entry; once a BUILD has made the key's entries anew, a change of that
// record must take out the entry as BUILD made it, not the one the step passed.
TEST_F(IsamDriverTest, ChangeAfterBuildTakesOutTheRebuiltEntry) {
  ASSERT_EQ(AddMovie(1, "a", -0.0f, "n1"), 0);
  ASSERT_EQ(AddMovie(2, "b", 7.0f, "n2"), 0);
  Fill(*f_, 1, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  int64_t recno = Pointer(*f_);
  ASSERT_EQ(Close(*f_), 0);
  {
    // Rewrite record 1's SCORE entry in the other writer's form.
    std::unique_ptr<IsamFile> file;
    uint32_t table = 0;
    TableDeclaration decl;
    OpenBelowTheDriver(file, table, decl);
    if (HasFatalFailure()) return;
    std::vector<uint8_t> image(decl.record_length, 0);
    StoreSReal(image.data() + 24, -0.0f);
    KeyCodec legacy;
    legacy.distinct_negative_zero = true;
    std::string ours = KeyEntryKey(table, 2, EncodeKeyValue(decl, decl.keys[2], image, {}), false, 0);
    std::string theirs = KeyEntryKey(table, 2, EncodeKeyValue(decl, decl.keys[2], image, legacy), false, 0);
    ASSERT_NE(ours, theirs);
    bool erased = false;
    ASSERT_TRUE(file->tree().Erase(ours, erased).ok());
    ASSERT_TRUE(erased);
    PlantEntry(*file, theirs, recno);
    if (HasFatalFailure()) return;
  }
  ASSERT_EQ(Open(*f_, 0x12), 0);
  ASSERT_EQ(SetKey(*f_, 2), 0);
  ASSERT_EQ(Next(*f_), 0);  // the other writer's entry of record 1 (it sorts first)
  ASSERT_EQ(Id(*f_), 1);
  ASSERT_EQ(BuildKey(*f_, 2), 0);
  StoreSReal(f_->record.data() + 24, 5.0f);
  ASSERT_EQ(Put(*f_), 0);
  EXPECT_EQ(RecordsKey(*f_, 2), 2);
  EXPECT_EQ(ReadAll(*f_, 2), (std::vector<int32_t>{1, 2}));
  ASSERT_EQ(Close(*f_), 0);
  ExpectClean();
}

// Inside a stream the copy is used from GET to PUT to DELETE; each record's own bytes, never
// those of the record handled before it, decide which entries change.
TEST_F(IsamDriverTest, StreamedChangesOfManyRecordsKeepEveryKeyInStep) {
  for (int i = 1; i <= 60; ++i) {
    ASSERT_EQ(AddMovie(i, "name " + std::to_string(i % 7), static_cast<float>(i), i % 3 ? "n" + std::to_string(i) : ""), 0);
  }
  ASSERT_EQ(Stream(*f_), 0);
  for (int i = 60; i >= 1; i -= 2) {
    Fill(*f_, i, "", 0);
    ASSERT_EQ(Get(*f_, 0), 0);
    StoreU32(f_->record.data(), static_cast<uint32_t>(100 + i));
    StoreString(reinterpret_cast<char*>(f_->record.data() + 4), 20, "renamed " + std::to_string(i % 5));
    ASSERT_EQ(Put(*f_), 0);
    if (i % 4 == 0) {
      ASSERT_EQ(Delete(*f_), 0);
    }
  }
  ASSERT_EQ(Flush(*f_), 0);
  EXPECT_EQ(Records(*f_), 45);
  EXPECT_EQ(RecordsKey(*f_, 1), 45);
  EXPECT_EQ(RecordsKey(*f_, 3), 30);
  std::vector<int32_t> ids = ReadAll(*f_, 0);
  ASSERT_EQ(ids.size(), 45u);
  EXPECT_EQ(ids.front(), 1);
  EXPECT_EQ(ids.back(), 158);
  ExpectClean();
}

// A long scan in key order over a file larger than the page cache reads the records ahead in
// batches. It still gives each record as it is at its own step, in the key's order: changes the
// scan makes as it goes and changes another open makes to records ahead of it are both seen.
TEST_F(IsamDriverTest, LongKeyOrderScansSeeEachRecordAsItIsAtItsStep) {
  ASSERT_EQ(Close(*f_), 0);
  PageStoreOptions o;
  o.sync = false;
  o.cache_limit = 8;
  o.cache_low = 4;
  o.index_cache_limit = 0;
  SetIsamStoreDefaults(o);
  ASSERT_EQ(Share(*f_), 0);
  constexpr int kCount = 1500;
  std::mt19937 rng(11);
  std::vector<std::pair<std::string, int32_t>> order;  // name, id: the NAME key's order
  ASSERT_EQ(Stream(*f_), 0);
  for (int32_t id = 1; id <= kCount; ++id) {
    std::string name;
    for (int i = 0; i < 6; ++i) name.push_back(static_cast<char>('A' + rng() % 4));  // many equal names
    ASSERT_EQ(AddMovie(id, name, static_cast<float>(id)), 0);
    order.emplace_back(name, id);
  }
  ASSERT_EQ(Flush(*f_), 0);
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  auto note = [](const FileControlBlock& f) { return std::string(reinterpret_cast<const char*>(f.record.data() + 28), 8); };
  auto padded = [](std::string s) { return s.append(8 - s.size(), ' '); };

  // The scan changes each record's note as it reaches it.
  ASSERT_EQ(SetKey(*f_, 1), 0);
  size_t i = 0;
  while (Next(*f_) == 0) {
    ASSERT_LT(i, order.size());
    ASSERT_EQ(Id(*f_), order[i].second) << "step " << i;
    ASSERT_EQ(note(*f_), padded("")) << "step " << i;
    StoreString(reinterpret_cast<char*>(f_->record.data() + 28), 8, "s" + std::to_string(Id(*f_)));
    ASSERT_EQ(Put(*f_), 0);
    ++i;
  }
  EXPECT_EQ(i, order.size());

  // Another open changes records the scan has not reached yet.
  FileControlBlock g(decl_);
  ASSERT_EQ(Share(g), 0);
  ASSERT_EQ(SetKey(*f_, 1), 0);
  for (i = 0; Next(*f_) == 0; ++i) {
    ASSERT_LT(i, order.size());
    int32_t id = Id(*f_);
    ASSERT_EQ(id, order[i].second) << "step " << i;
    bool changed_by_g = i >= 700 && i < 800;
    ASSERT_EQ(note(*f_), padded((changed_by_g ? "g" : "s") + std::to_string(id))) << "step " << i;
    if (i == 600) {
      for (size_t j = 700; j < 800; ++j) {
        Fill(g, order[j].second, "", 0);
        ASSERT_EQ(Get(g, 0), 0);
        StoreString(reinterpret_cast<char*>(g.record.data() + 28), 8, "g" + std::to_string(order[j].second));
        ASSERT_EQ(Put(g), 0);
      }
    }
  }
  EXPECT_EQ(i, order.size());
  ASSERT_EQ(Close(g), 0);
  ASSERT_EQ(Close(*f_), 0);
  ExpectClean();
}

TEST_F(IsamDriverTest, SetVariantsPositionsResetAndSkip) {
  for (int i = 1; i <= 6; ++i) ASSERT_EQ(AddMovie(i, i % 2 ? "odd" : "even", static_cast<float>(i)), 0);
  // SET(key, key): from a value on; PREVIOUS from it takes the last of equal values.
  Fill(*f_, 0, "ODD", 0);
  ASSERT_EQ(SetKeyFromKey(*f_, 1, 1), 0);
  ASSERT_EQ(Next(*f_), 0);
  EXPECT_EQ(Id(*f_), 1);
  Fill(*f_, 0, "odd", 0);
  ASSERT_EQ(SetKeyFromKey(*f_, 1, 1), 0);
  ASSERT_EQ(Previous(*f_), 0);
  EXPECT_EQ(Id(*f_), 5);
  // POSITION(key) is four bytes longer than the key value and RESET resumes there.
  Fill(*f_, 0, "even", 0);
  ASSERT_EQ(SetKeyFromKey(*f_, 1, 1), 0);
  ASSERT_EQ(Next(*f_), 0);
  ASSERT_EQ(Next(*f_), 0);
  EXPECT_EQ(Id(*f_), 4);
  std::string pos = PositionKey(*f_, 1);
  EXPECT_EQ(pos.size(), 24u);
  ASSERT_EQ(Next(*f_), 0);
  ASSERT_EQ(ResetKey(*f_, 1, pos), 0);
  ASSERT_EQ(Next(*f_), 0);
  EXPECT_EQ(Id(*f_), 4);
  std::string fpos = Position(*f_);
  EXPECT_EQ(fpos.size(), 4u);
  ASSERT_EQ(Reget(*f_, fpos), 0);
  EXPECT_EQ(Id(*f_), 4);
  // SKIP steps over records; SET(key, pointer) starts at a record; BOF/EOF look ahead.
  ASSERT_EQ(SetKey(*f_, 0), 0);
  ASSERT_EQ(Skip(*f_, 2), 0);
  ASSERT_EQ(Next(*f_), 0);
  EXPECT_EQ(Id(*f_), 3);
  int64_t ptr = Pointer(*f_);
  ASSERT_EQ(SetKeyFromPointer(*f_, 0, ptr), 0);
  ASSERT_EQ(Next(*f_), 0);
  EXPECT_EQ(Id(*f_), 3);
  ASSERT_EQ(SetFromPointer(*f_, ptr), 0);
  ASSERT_EQ(Next(*f_), 0);
  EXPECT_EQ(Id(*f_), 3);
  ASSERT_EQ(SetKey(*f_, 0), 0);
  EXPECT_FALSE(Eof(*f_));
  EXPECT_TRUE(Bof(*f_) == false);
  Fill(*f_, 6, "", 0);
  ASSERT_EQ(SetKeyFromKey(*f_, 0, 0), 0);
  ASSERT_EQ(Next(*f_), 0);
  EXPECT_TRUE(Eof(*f_));
  EXPECT_EQ(Skip(*f_, 1), 33);
}

TEST_F(IsamDriverTest, AppendLeavesKeysForBuild) {
  ASSERT_EQ(AddMovie(2, "b", 2.0f), 0);
  Fill(*f_, 1, "a", 1.0f);
  ASSERT_EQ(Append(*f_), 0);
  Fill(*f_, 3, "c", 3.0f);
  ASSERT_EQ(Add(*f_), 0);  // after an APPEND the keys wait for their BUILD
  EXPECT_EQ(ReadAll(*f_, 0), (std::vector<int32_t>{2}));
  EXPECT_EQ(Records(*f_), 3);
  ASSERT_EQ(Close(*f_), 0);
  ASSERT_EQ(Open(*f_, 0x12), 0);  // BUILD needs exclusive access
  ASSERT_EQ(Build(*f_), 0);
  EXPECT_EQ(ReadAll(*f_, 0), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(RecordsKey(*f_, 0), 3);
  ExpectClean();
}

TEST_F(IsamDriverTest, MemosAndBlobsRoundTrip) {
  std::string big(700, 'q');
  Fill(*f_, 1, "m", 1.0f);
  ASSERT_EQ(SetProperty(*f_, 0x7CBF, "a note   ", -1), 0);
  std::vector<uint8_t> blob(600);
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<uint8_t>(i * 7);
  ASSERT_EQ(BlobWrite(*f_, 2, blob, 0), 0);
  ASSERT_EQ(Add(*f_), 0);
  ASSERT_EQ(AddMovie(2, "n", 2.0f), 0);  // the buffers still hold the memos: record 2 has them too
  ASSERT_EQ(SetProperty(*f_, 0x7CBF, "", -1), 0);
  Fill(*f_, 1, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  EXPECT_EQ(GetProperty(*f_, 0x7CBF, -1), "a note");
  EXPECT_EQ(BlobSize(*f_, 2), 600);
  std::vector<uint8_t> back(600);
  EXPECT_EQ(BlobRead(*f_, 2, back, 0), 600);
  EXPECT_EQ(back, blob);
  ASSERT_EQ(NoMemo(*f_), 0);
  Fill(*f_, 2, "", 0);
  ASSERT_EQ(SetProperty(*f_, 0x7CBF, "kept", -1), 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  EXPECT_EQ(GetProperty(*f_, 0x7CBF, -1), "kept");  // NOMEMO: this read left the buffers alone
  ASSERT_EQ(Delete(*f_), 0);
  ExpectClean();
}

TEST_F(IsamDriverTest, HoldsAndWatchesBetweenTwoOpens) {
  ASSERT_EQ(AddMovie(1, "a", 1.0f), 0);
  ASSERT_EQ(AddMovie(2, "b", 2.0f), 0);
  FileControlBlock g(decl_);
  ShareWith(g);
  ASSERT_EQ(Hold(*f_), 0);
  Fill(*f_, 1, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  EXPECT_EQ(GetProperty(*f_, 0x7305), "1");
  // The other open cannot hold or change the held record.
  ASSERT_EQ(Hold(g), 0);
  Fill(g, 1, "", 0);
  EXPECT_EQ(Get(g, 0), 43);
  Fill(g, 2, "", 0);
  ASSERT_EQ(Get(g, 0), 0);  // the pending HOLD takes another record
  Fill(g, 1, "", 0);
  ASSERT_EQ(Get(g, 0), 0);
  StoreString(reinterpret_cast<char*>(g.record.data() + 4), 20, "changed");
  EXPECT_EQ(Put(g), 5);
  ASSERT_EQ(Release(*f_), 0);
  ASSERT_EQ(Put(g), 0);
  // WATCH: a change by the other open since the read makes PUT fail with 89.
  ASSERT_EQ(Watch(*f_), 0);
  Fill(*f_, 2, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  Fill(g, 2, "", 0);
  ASSERT_EQ(Get(g, 0), 0);
  StoreString(reinterpret_cast<char*>(g.record.data() + 4), 20, "by g");
  ASSERT_EQ(Put(g), 0);
  StoreString(reinterpret_cast<char*>(f_->record.data() + 4), 20, "by f");
  EXPECT_EQ(Put(*f_), 89);
  Fill(*f_, 1, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(f_->record.data() + 4), 7), "changed");
  // LOCK excludes the other open; after UNLOCK it may lock.
  EXPECT_EQ(Lock(g, 1), 32);
  ASSERT_EQ(Close(*f_), 0);
  EXPECT_EQ(Lock(g, 1), 0);
  EXPECT_EQ(Open(*f_, 0x42), 5);
  ASSERT_EQ(Unlock(g), 0);
  EXPECT_EQ(Open(*f_, 0x42), 0);
}

// A transaction keeps the update lock from LOGOUT to COMMIT, and no other open can hold a record
// meanwhile: a record held before the LOGOUT still refuses its change, however many records
// around it were changed first, and a hold given back before the LOGOUT no longer counts.
TEST_F(IsamDriverTest, HoldsTakenBeforeATransactionStillRefuseItsChanges) {
  for (int32_t id = 1; id <= 6; ++id) ASSERT_EQ(AddMovie(id, "m" + std::to_string(id), static_cast<float>(id)), 0);
  FileControlBlock g(decl_);
  ShareWith(g);
  auto hold = [&](int32_t id) {
    ASSERT_EQ(Hold(g), 0);
    Fill(g, id, "", 0);
    ASSERT_EQ(Get(g, 0), 0);
  };
  auto remove = [&](int32_t id) {
    Fill(*f_, id, "", 0);
    EXPECT_EQ(Get(*f_, 0), 0) << id;
    return Delete(*f_);
  };
  FileControlBlock* files[] = {f_.get()};
  // Nothing held: every delete goes through.
  ASSERT_EQ(Logout(0, files), 0);
  EXPECT_EQ(remove(1), 0);
  EXPECT_EQ(remove(2), 0);
  ASSERT_EQ(Commit(files), 0);
  // Record 5 held by the other open, then the transaction.
  hold(5);
  ASSERT_EQ(Logout(0, files), 0);
  EXPECT_EQ(remove(3), 0);
  EXPECT_EQ(remove(5), 5);
  EXPECT_EQ(remove(4), 0);
  ASSERT_EQ(Commit(files), 0);
  // Given back: the next transaction may delete it.
  ASSERT_EQ(Release(g), 0);
  ASSERT_EQ(Logout(0, files), 0);
  EXPECT_EQ(remove(5), 0);
  ASSERT_EQ(Commit(files), 0);
  EXPECT_EQ(ReadAll(*f_, 1), (std::vector<int32_t>{6}));
}

// REGET with the caller's copy of the record: the copy is delivered, and its record made
// current, while the file's change stamp is the one the copy was read at; after any change (by
// this open or, seen at the operation's start, by another) and under WATCH the record is read
// from the file.
TEST_F(IsamDriverTest, RegetTakesTheCallersCopyOnlyAtItsChangeStamp) {
  ASSERT_EQ(AddMovie(1, "a", 1.0f), 0);
  ASSERT_EQ(AddMovie(2, "b", 2.0f), 0);
  FileControlBlock g(decl_);
  ShareWith(g);
  auto stamp_of = [](FileControlBlock& f) { return std::stoull(GetProperty(f, kPropChangeStamp)); };
  Fill(*f_, 1, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  const std::string position = Position(*f_);
  const uint64_t first = stamp_of(*f_);
  EXPECT_NE(first, 0u);
  std::vector<uint8_t> copy = f_->record;
  copy[30] = 'K';  // shows which bytes were delivered
  auto reget = [&](uint64_t stamp) {
    DriverArgs a;
    a.text = position;
    a.data = copy;
    a.count = static_cast<int64_t>(stamp);
    return Dispatch(DriverOp::kRegetFile, *f_, a);
  };
  Fill(*f_, 2, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  ASSERT_EQ(reget(first), 0);
  EXPECT_EQ(f_->record[30], 'K');
  EXPECT_EQ(Id(*f_), 1);
  EXPECT_EQ(Position(*f_), position);
  EXPECT_EQ(stamp_of(*f_), first);  // reading moves nothing
  // A change through this open: its own copy is read again, and the change is the record's.
  Fill(*f_, 1, "", 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  StoreString(reinterpret_cast<char*>(f_->record.data() + 4), 20, "mine");
  ASSERT_EQ(Put(*f_), 0);
  const uint64_t second = stamp_of(*f_);
  EXPECT_NE(second, first);
  ASSERT_EQ(reget(first), 0);
  EXPECT_NE(f_->record[30], 'K');
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(f_->record.data() + 4), 4), "mine");
  // Another open's commit.
  Fill(g, 1, "", 0);
  ASSERT_EQ(Get(g, 0), 0);
  StoreString(reinterpret_cast<char*>(g.record.data() + 4), 20, "theirs");
  ASSERT_EQ(Put(g), 0);
  copy = f_->record;
  copy[30] = 'K';
  ASSERT_EQ(reget(second), 0);
  EXPECT_NE(f_->record[30], 'K');
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(f_->record.data() + 4), 6), "theirs");
  // WATCH keeps the stored bytes of what it read: the copy is not taken.
  const uint64_t third = stamp_of(*f_);
  copy = f_->record;
  copy[30] = 'K';
  ASSERT_EQ(Watch(*f_), 0);
  ASSERT_EQ(reget(third), 0);
  EXPECT_NE(f_->record[30], 'K');
  ASSERT_EQ(reget(third), 0);
  EXPECT_EQ(f_->record[30], 'K');
  ASSERT_EQ(Close(g), 0);
}

TEST_F(IsamDriverTest, TwoProcessesAddAndChangeOneFile) {
  ASSERT_EQ(Close(*f_), 0);
  constexpr int kEach = 150;
  pid_t pids[2];
  for (int p = 0; p < 2; ++p) {
    pids[p] = ::fork();
    if (pids[p] == 0) {
      FileControlBlock f(decl_);
      int bad = Share(f) != 0;
      for (int i = 0; i < kEach && !bad; ++i) {
        int id = p * 1000 + i;
        Fill(f, id, "p" + std::to_string(p), static_cast<float>(id));
        bad |= Add(f) != 0;
        // Change it: a new NOTE, unique across both processes.
        StoreString(reinterpret_cast<char*>(f.record.data() + 28), 8, std::to_string(id));
        bad |= Put(f) != 0;
        if (i % 10 == 0) bad |= Delete(f) != 0;
      }
      ::_exit(bad ? 1 : 0);
    }
  }
  for (pid_t pid : pids) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ASSERT_EQ(Open(*f_), 0);
  const int expected = 2 * (kEach - kEach / 10);
  EXPECT_EQ(Records(*f_), expected);
  std::vector<int32_t> ids = ReadAll(*f_, 0);
  EXPECT_EQ(static_cast<int>(ids.size()), expected);
  EXPECT_EQ(static_cast<int>(ReadAll(*f_, 3).size()), expected);
  EXPECT_EQ(std::set<int32_t>(ids.begin(), ids.end()).size(), ids.size());
  ExpectClean();
}

TEST_F(IsamDriverTest, SendOptionsAndFileOperations) {
  EXPECT_EQ(Send(*f_, "FULLBUILD"), "OFF");
  EXPECT_EQ(Send(*f_, "FULLBUILD=ON"), "ON");
  EXPECT_EQ(Send(*f_, "FLAGS=12"), "12");
  EXPECT_EQ(Send(*f_, "FLAGS"), "12");
  ASSERT_EQ(AddMovie(1, "a", 1.0f), 0);
  ASSERT_EQ(Close(*f_), 0);
  std::string copy = (dir_ / "COPY").string();
  ASSERT_EQ(Copy(*f_, copy), 0);
  EXPECT_TRUE(fs::exists(copy + ".TVX"));
  ASSERT_EQ(Open(*f_, 0x12), 0);
  ASSERT_EQ(Empty(*f_), 0);
  EXPECT_EQ(Records(*f_), 0);
  ASSERT_EQ(Close(*f_), 0);
  {
    FileControlBlock g(decl_);  // another open keeps the file from going
    ASSERT_EQ(Open(g, 0x42), 0);
    EXPECT_EQ(Remove(*f_), 5);
    EXPECT_EQ(Rename(*f_, (dir_ / "OTHER").string()), 5);
  }
  ASSERT_EQ(Remove(*f_), 0);
  EXPECT_FALSE(fs::exists(path_));
  EXPECT_EQ(Open(*f_), 2);
}

TEST_F(IsamDriverTest, StreamDefersWritingUntilFlush) {
  ASSERT_EQ(Stream(*f_), 0);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(AddMovie(i, "s", static_cast<float>(i)), 0);
  EXPECT_EQ(Records(*f_), 300);
  ASSERT_EQ(Flush(*f_), 0);
  ASSERT_EQ(Close(*f_), 0);
  ASSERT_EQ(Open(*f_), 0);
  EXPECT_EQ(static_cast<int>(ReadAll(*f_, 0).size()), 300);
  ExpectClean();
}

TEST_F(IsamDriverTest, EmptyFileEndsAndPreviousAfterDelete) {
  ASSERT_EQ(SetKey(*f_, 0), 0);
  EXPECT_TRUE(Eof(*f_));
  EXPECT_TRUE(Bof(*f_));
  EXPECT_EQ(Next(*f_), 33);
  EXPECT_EQ(Delete(*f_), 33);  // after a failed NEXT there is no record
  for (int i = 1; i <= 4; ++i) ASSERT_EQ(AddMovie(i, "x", static_cast<float>(i)), 0);
  ASSERT_EQ(SetKey(*f_, 0), 0);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Next(*f_), 0);
  ASSERT_EQ(Delete(*f_), 0);  // ID 3
  ASSERT_EQ(Previous(*f_), 0);
  EXPECT_EQ(Id(*f_), 2);
  // File order from the end, and GET by a pointer that does not exist.
  ASSERT_EQ(Set(*f_), 0);
  ASSERT_EQ(Previous(*f_), 0);
  EXPECT_EQ(Id(*f_), 4);
  EXPECT_EQ(GetByPointer(*f_, 12345), 35);
  EXPECT_EQ(GetByPointer(*f_, 0), 35);
  EXPECT_EQ(Reget(*f_, std::string("\0\0\x30\x39", 4)), 35);
}

TEST_F(IsamDriverTest, BlobsAcrossChunkBoundaries) {
  for (size_t size : {1u, 255u, 256u, 257u, 260u, 261u, 512u, 517u, 5000u}) {
    std::vector<uint8_t> blob(size);
    for (size_t i = 0; i < size; ++i) blob[i] = static_cast<uint8_t>(i * 13 + size);
    Fill(*f_, static_cast<int32_t>(size), "b", static_cast<float>(size));
    ASSERT_EQ(BlobWrite(*f_, 2, blob, 0), 0);
    ASSERT_EQ(Add(*f_), 0) << size;
    std::vector<uint8_t> empty;
    ASSERT_EQ(SetProperty(*f_, 0x7CBF, "", -1), 0);
    Fill(*f_, static_cast<int32_t>(size), "", 0);
    ASSERT_EQ(Get(*f_, 0), 0);
    EXPECT_EQ(BlobSize(*f_, 2), static_cast<int64_t>(size));
    std::vector<uint8_t> back(size + 10, 0);
    EXPECT_EQ(BlobRead(*f_, 2, back, 0), static_cast<int64_t>(size));
    back.resize(size);
    EXPECT_EQ(back, blob) << size;
    std::vector<uint8_t> tail(4);
    EXPECT_EQ(BlobRead(*f_, 2, tail, static_cast<int64_t>(size) - 1), 1);  // reads stop at the end
    // The next record starts with an empty BLOB.
    std::vector<uint8_t> none;
    Fill(*f_, 0, "", 0);
    ASSERT_EQ(BlobWrite(*f_, 2, none, 0), 0);
  }
  EXPECT_EQ(BlobSize(*f_, 3), 0);  // no such BLOB: nothing, no crash
  ExpectClean();
}

TEST_F(IsamDriverTest, IndexesAreBuiltOnDemandAndDeferredBuildsRun) {
  FileDeclaration d = decl_;
  d.keys.push_back(MakeKey("MOV:INAME", kKeyIndex | kKeyDup, {2}));
  ASSERT_EQ(Close(*f_), 0);
  f_.reset();
  fs::remove(path_);
  FileControlBlock f(d);
  ASSERT_EQ(Create(f), 0);
  ASSERT_EQ(Open(f, 0x12), 0);
  for (int i = 1; i <= 3; ++i) {
    Fill(f, i, std::string(1, static_cast<char>('d' - i)), static_cast<float>(i));
    ASSERT_EQ(Add(f), 0);
  }
  EXPECT_EQ(SetKey(f, 5), 46);  // the index is not built yet
  BuildByEvents(f, true);
  ASSERT_EQ(BuildIndex(f, 5, "+MOV:NAME"), 0);  // without a window to answer, the build runs at once
  ASSERT_EQ(SetKey(f, 5), 0);
  std::vector<int32_t> ids;
  while (Next(f) == 0) ids.push_back(Id(f));
  EXPECT_EQ(ids, (std::vector<int32_t>{3, 2, 1}));
  // Adds do not keep an index up to date: the next read through it needs a new build.
  Fill(f, 9, "a", 9.0f);
  ASSERT_EQ(Add(f), 0);
  ASSERT_EQ(BuildKey(f, 5), 0);
  EXPECT_EQ(RecordsKey(f, 5), 4);
}

TEST_F(IsamDriverTest, OemFilesKeepTextInTheOemCodePage) {
  FileDeclaration d = decl_;
  d.driver_string = "/OEM";
  ASSERT_EQ(Close(*f_), 0);
  f_.reset();
  fs::remove(path_);
  FileControlBlock f(d);
  ASSERT_EQ(Create(f), 0);
  ASSERT_EQ(Open(f), 0);
  Fill(f, 1, "caf\xE9", 1.0f);  // e acute in the ANSI code page
  ASSERT_EQ(Add(f), 0);
  Fill(f, 0, "", 0);
  ASSERT_EQ(GetByPointer(f, 2), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(f.record.data() + 4), 4), "caf\xE9");  // back in ANSI
  Fill(f, 0, "CAF\xE9", 0);  // found through the NOCASE key
  ASSERT_EQ(Get(f, 1), 0);
  EXPECT_EQ(Id(f), 1);
  ASSERT_EQ(Close(f), 0);
  std::unique_ptr<IsamFile> file;
  ASSERT_TRUE(IsamFile::Open(path_, {}, file).ok());
  Record r;
  bool found = false;
  ASSERT_TRUE(file->tree().Find(DataKey(1, 2), r, found).ok());
  ASSERT_TRUE(found);
  EXPECT_EQ(static_cast<uint8_t>(r.bytes[r.key_length + 7]), 0x82);  // stored in the OEM page
}

// Changes of an OEM file: the record kept from the read is in the OEM code page and its key
// entries are weighed as such; PUT and DELETE take out exactly those.
TEST_F(IsamDriverTest, OemFilesChangeAndDeleteThroughTheKeptRecord) {
  FileDeclaration d = decl_;
  d.driver_string = "/OEM";
  ASSERT_EQ(Close(*f_), 0);
  f_.reset();
  fs::remove(path_);
  FileControlBlock f(d);
  ASSERT_EQ(Create(f), 0);
  ASSERT_EQ(Open(f, 0x12), 0);
  Fill(f, 1, "caf\xE9", 1.0f, "n\xE9");
  ASSERT_EQ(Add(f), 0);
  Fill(f, 2, "\xE9t\xE9", 2.0f);
  ASSERT_EQ(Add(f), 0);
  Fill(f, 0, "CAF\xE9", 0);  // through the NOCASE key
  ASSERT_EQ(Get(f, 1), 0);
  EXPECT_EQ(Id(f), 1);
  StoreString(reinterpret_cast<char*>(f.record.data() + 4), 20, "th\xE9");
  ASSERT_EQ(Put(f), 0);
  Fill(f, 0, "TH\xE9", 0);
  ASSERT_EQ(Get(f, 1), 0);
  EXPECT_EQ(Id(f), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(f.record.data() + 28), 2), "n\xE9");
  Fill(f, 0, "caf\xE9", 0);
  EXPECT_EQ(Get(f, 1), 35);
  Fill(f, 2, "", 0);
  ASSERT_EQ(Get(f, 0), 0);
  ASSERT_EQ(Delete(f), 0);
  EXPECT_EQ(RecordsKey(f, 1), 1);
  ASSERT_EQ(Close(f), 0);
  ExpectClean();
}

// A NEXT in file order with a caller's screen steps over the records the screen skips and counts
// them; it ends at the end of the table, never skipping into another's records. Where the
// driver could not rank a record as the caller does (in key order, with a HOLD pending, in an
// OEM file) it delivers every record.
TEST_F(IsamDriverTest, ANextInFileOrderStepsOverTheRecordsTheScreenSkips) {
  std::array<uint8_t, 256> weights;
  for (int i = 0; i < 256; ++i) weights[static_cast<size_t>(i)] = static_cast<uint8_t>(255 - i);  // Z before A
  auto rank = [&](std::string_view name) {
    uint64_t r = 0;
    for (size_t k = 0; k < 8; ++k) r = (r << 8) | weights[k < name.size() ? static_cast<uint8_t>(name[k]) : uint8_t{' '}];
    return r;
  };
  auto run = [&](FileControlBlock& f, RowScreen& screen, bool by_key, const std::vector<std::string>& names) {
    std::vector<int32_t> got;
    screen.skipped = 0;
    if (by_key) {
      EXPECT_EQ(SetKey(f, 0), 0);
    } else {
      EXPECT_EQ(Set(f), 0);
    }
    for (;;) {
      screen.on = true;
      DriverArgs a;
      a.screen = &screen;
      const int e = Dispatch(DriverOp::kNext, f, a);
      if (e != 0) {
        EXPECT_EQ(e, 33);
        break;
      }
      got.push_back(Id(f));
      EXPECT_EQ(std::string(reinterpret_cast<char*>(f.record.data() + 4), names[static_cast<size_t>(Id(f) - 1)].size()),
                names[static_cast<size_t>(Id(f) - 1)]);
    }
    return got;
  };
  // Another table of the same file, after this one, whose records the screen would skip.
  FileDeclaration second = decl_;
  second.name = path_ + "\\!SECOND";
  FileControlBlock g(second);
  ASSERT_EQ(Create(g), 0);
  ASSERT_EQ(Open(g), 0);
  Fill(g, 1, "ZZZ", 1.0f);
  ASSERT_EQ(Add(g), 0);

  std::mt19937 rng(3);
  std::vector<std::string> names;
  for (int32_t id = 1; id <= 400; ++id) {
    // Ties with the bound are never skipped (the first record is one); the second is one to skip.
    std::string name = id == 2 ? "A" : id % 7 == 0 || id == 1 ? "MMMMMMMM" : "";
    for (int k = 0; k < 10; ++k) name += static_cast<char>('A' + rng() % 26);
    names.push_back(name);
    ASSERT_EQ(AddMovie(id, name, static_cast<float>(id)), 0);
  }
  RowScreen screen;
  screen.offset = 4;
  screen.size = 20;
  screen.weights = weights.data();
  screen.bound = rank("MMMMMMMM");
  for (bool below : {false, true}) {
    SCOPED_TRACE(below);
    screen.skip_below = below;
    std::vector<int32_t> want;
    for (int32_t id = 1; id <= 400; ++id) {
      const uint64_t r = rank(names[static_cast<size_t>(id - 1)]);
      if (below ? r >= screen.bound : r <= screen.bound) want.push_back(id);
    }
    ASSERT_GT(want.size(), 100u);
    ASSERT_LT(want.size(), 300u);
    EXPECT_EQ(run(*f_, screen, false, names), want);
    EXPECT_EQ(screen.skipped, 400 - want.size());
    // In key order every record comes.
    EXPECT_EQ(run(*f_, screen, true, names).size(), 400u);
    EXPECT_EQ(screen.skipped, 0u);
  }
  // With a HOLD pending each record read is held: none is stepped over.
  screen.skip_below = false;
  ASSERT_EQ(Set(*f_), 0);
  ASSERT_EQ(Next(*f_), 0);
  screen.on = true;
  screen.skipped = 0;
  ASSERT_EQ(Hold(*f_), 0);
  DriverArgs a;
  a.screen = &screen;
  ASSERT_EQ(Dispatch(DriverOp::kNext, *f_, a), 0);
  EXPECT_EQ(Id(*f_), 2);
  EXPECT_EQ(screen.skipped, 0u);
  ASSERT_EQ(Release(*f_), 0);
  ASSERT_EQ(Close(g), 0);

  // An OEM file's records are converted on reading: every record comes.
  FileDeclaration d = decl_;
  d.driver_string = "/OEM";
  d.name = (dir_ / "OEM.TVX").string();
  FileControlBlock oem(d);
  ASSERT_EQ(Create(oem), 0);
  ASSERT_EQ(Open(oem), 0);
  for (int32_t id = 1; id <= 40; ++id) {
    Fill(oem, id, names[static_cast<size_t>(id - 1)], static_cast<float>(id));
    ASSERT_EQ(Add(oem), 0);
  }
  EXPECT_EQ(run(oem, screen, false, names).size(), 40u);
  EXPECT_EQ(screen.skipped, 0u);
  ASSERT_EQ(Close(oem), 0);
}

TEST_F(IsamDriverTest, TablesOfOneFileAreRemovedOneByOne) {
  FileDeclaration other = decl_;
  other.name = path_ + "\\!SECOND";
  FileControlBlock g(other);
  ASSERT_EQ(Create(g), 0);
  ASSERT_EQ(AddMovie(1, "a", 1.0f), 0);
  ASSERT_EQ(Close(*f_), 0);
  ASSERT_EQ(Remove(g), 0);  // only the table SECOND goes
  EXPECT_TRUE(fs::exists(path_));
  EXPECT_EQ(Open(g), 2);
  ASSERT_EQ(Open(*f_), 0);
  EXPECT_EQ(Records(*f_), 1);
}

// A copy of a file from another implementation, whose entries keep negative zero apart from
// zero: changing and deleting its records leaves no stale entry behind.
TEST(IsamDriverForeignFiles, ChangesOfNegativeZeroRecordsLeaveNoStaleEntry) {
  fs::path src = ::cinevo::TestDataDir() / "tvx" / "types.tvx";
  if (!fs::exists(src)) GTEST_SKIP() << "test data not present: " << src;
  RegisterIsamDriver();
  fs::path dir = fs::temp_directory_path() / ("isam_driver_types_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string path = (dir / "TYPES.TVX").string();
  fs::copy_file(src, path, fs::copy_options::overwrite_existing);
  std::unique_ptr<IsamFile> file;
  ASSERT_TRUE(IsamFile::Open(path, {}, file).ok());
  TableDeclaration decl;
  ASSERT_TRUE(file->ReadDeclaration(1, decl).ok());
  file.reset();
  FileDeclaration d = ToFileDeclaration(decl, path);
  FileControlBlock f(d);
  ASSERT_EQ(Open(f, 0x12), 0);
  ASSERT_EQ(GetByPointer(f, 3), 0);  // record 3 holds SREAL -0.0
  f.record[0] ^= 1;                  // BYTE: no key changes
  ASSERT_EQ(Put(f), 0);
  ASSERT_EQ(GetByPointer(f, 3), 0);
  ASSERT_EQ(Delete(f), 0);
  ASSERT_EQ(Close(f), 0);
  ASSERT_TRUE(IsamFile::Open(path, {}, file).ok());
  KeyCheckResult keys;
  ASSERT_TRUE(CrossCheckKeys(*file, keys).ok());
  for (const KeyProblem& x : keys.problems) ADD_FAILURE() << x.where << ": " << x.text;
  file.reset();
  fs::remove_all(dir);
}

// Files written by another implementation: every record is reached in file order and through
// every key, in the order of that key's entries.
TEST(IsamDriverForeignFiles, EveryRecordThroughEveryKey) {
  fs::path dir = ::cinevo::TestDataDir() / "tvx";
  if (!fs::exists(dir)) GTEST_SKIP() << "test data not present: " << dir;
  RegisterIsamDriver();
  for (const char* name : {"types.tvx", "catalogue/GRUPA.TVX", "catalogue/PODGRU.TVX"}) {
    std::string path = (dir / name).string();
    std::unique_ptr<IsamFile> file;
    PageStoreOptions ro;
    ro.read_only = true;
    ASSERT_TRUE(IsamFile::Open(path, ro, file).ok());
    TableDeclaration decl;
    ASSERT_TRUE(file->ReadDeclaration(1, decl).ok());
    FileDeclaration d = ToFileDeclaration(decl, path);
    FileControlBlock f(d);
    ASSERT_EQ(Open(f, 0x40), 0) << name;  // read-only, deny none
    int64_t records = Records(f);
    EXPECT_GT(records, 0) << name;
    ASSERT_EQ(Set(f), 0);
    int64_t n = 0;
    while (Next(f) == 0) ++n;
    EXPECT_EQ(n, records) << name;
    for (size_t k = 0; k < decl.keys.size(); ++k) {
      // The record numbers in the order of the key's entries, straight from the tree.
      std::vector<int64_t> expected;
      std::string prefix = KeyEntryPrefix(1, static_cast<uint8_t>(k));
      Record r;
      bool found = false;
      ASSERT_TRUE(file->tree().AtOrAfter(prefix, r, found).ok());
      while (found && r.key().substr(0, 5) == prefix) {
        expected.push_back(GetBe32(Bytes(r.bytes) + r.key_length));
        std::string at(r.key());
        ASSERT_TRUE(file->tree().After(at, r, found).ok());
      }
      std::vector<int64_t> got;
      ASSERT_EQ(SetKey(f, static_cast<int>(k)), 0);
      while (Next(f) == 0) got.push_back(Pointer(f));
      EXPECT_EQ(got, expected) << name << " key " << k;
      EXPECT_EQ(RecordsKey(f, static_cast<int>(k)), static_cast<int64_t>(expected.size())) << name << " key " << k;
    }
  }
}

}  // namespace
}  // namespace cinevo::isam
