#include "runtime/data/isam/transaction.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "runtime/data/isam/btree.h"
#include "runtime/data/isam/faulty_file_io.h"
#include "runtime/data/isam/format_check.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {

namespace fs = std::filesystem;

// A journal that holds originals (a cleared one restores nothing).
bool Hot(const std::string& journal) { return JournalIsHot(journal); }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Record Rec(uint32_t n, const std::string& text) {
  std::string key = DataKey(1, n);
  return Record{key + text, static_cast<uint16_t>(key.size())};
}

class TransactionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("isam_txn_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    SetControlFileName("");
    for (const char* name : {"A.TVX", "B.TVX"}) {
      std::unique_ptr<PageStore> s;
      ASSERT_TRUE(PageStore::Create(P(name), options_, s).ok());
      BTree tree(*s);
      bool existed = false;
      for (uint32_t n = 1; n <= 60; ++n) ASSERT_TRUE(tree.Insert(Rec(n, std::string(50, 'o')), existed).ok());
      ASSERT_TRUE(s->Commit().ok());
    }
    Reopen();
  }
  void TearDown() override {
    a_.reset();
    b_.reset();
    SetControlFileName("");
    fs::remove_all(dir_);
  }
  std::string P(const std::string& name) const { return (dir_ / name).string(); }
  void Reopen() {
    a_.reset();
    b_.reset();
    ASSERT_TRUE(PageStore::Open(P("A.TVX"), options_, a_).ok());
    ASSERT_TRUE(PageStore::Open(P("B.TVX"), options_, b_).ok());
  }
  // A cascade: every record of A renamed, the matching records of B rewritten, some deleted.
  static void Cascade(PageStore& a, PageStore& b, const std::string& text) {
    BTree ta(a), tb(b);
    bool found = false;
    for (uint32_t n = 1; n <= 60; ++n) ASSERT_TRUE(ta.Replace(Rec(n, text + std::string(n % 5 * 40, '+')), found).ok());
    for (uint32_t n = 1; n <= 60; n += 2) ASSERT_TRUE(tb.Replace(Rec(n, text), found).ok());
    for (uint32_t n = 2; n <= 60; n += 6) ASSERT_TRUE(tb.Erase(Rec(n, "").key(), found).ok());
  }
  static std::string Text(PageStore& s, uint32_t n) {
    BTree t(s);
    Record r;
    bool found = false;
    if (!t.Find(Rec(n, "").key(), r, found).ok()) return "<error>";
    return found ? r.bytes.substr(r.key_length) : "<none>";
  }

  fs::path dir_;
  PageStoreOptions options_;
  std::unique_ptr<PageStore> a_, b_;
};

TEST(Marker, RecordLayoutAndReadingBack) {
  Record m = MarkerRecord(0x01020304, "/x/tarvex.tcf");
  EXPECT_EQ(m.key(), "\xFF");
  EXPECT_EQ(m.bytes.substr(1, 4), std::string("\x01\x02\x03\x04", 4));  // as the control file's keys
  EXPECT_EQ(m.bytes.substr(5), std::string("/x/tarvex.tcf") + '\0');
  EXPECT_EQ(ControlFilePathFor("/data/films/GRUPA.TVX"), "/data/films/tarvex.tcf");
  EXPECT_EQ(ControlFilePathFor("GRUPA.TVX"), "tarvex.tcf");
  SetControlFileName("/shared/x.tcf");
  EXPECT_EQ(ControlFilePathFor("/data/films/GRUPA.TVX"), "/shared/x.tcf");
  SetControlFileName("");
  uint32_t clock = ClockTicks();
  EXPECT_GE(clock, 1u);
  EXPECT_LE(clock, 8640000u);
}

TEST_F(TransactionTest, CommitOverTwoFilesWritesBothWithMarkersAndLeavesNoRecordOrJournal) {
  Transaction t;
  t.Logout(*a_);
  t.Logout(*b_);
  t.Logout(*a_);
  EXPECT_EQ(t.size(), 2u) << "a file is listed once";
  Cascade(*a_, *b_, "renamed");
  ASSERT_TRUE(t.Commit().ok());
  EXPECT_EQ(t.size(), 0u);
  EXPECT_FALSE(Hot(JournalPathFor(P("A.TVX"))));
  EXPECT_FALSE(Hot(JournalPathFor(P("B.TVX"))));
  Reopen();
  EXPECT_EQ(Text(*a_, 7).substr(0, 7), "renamed");
  EXPECT_EQ(Text(*b_, 7), "renamed");
  EXPECT_EQ(Text(*b_, 8), "<none>");
  for (PageStore* s : {a_.get(), b_.get()}) {
    uint32_t number = 0;
    std::string control;
    bool found = false;
    ASSERT_TRUE(ReadMarker(*s, number, control, found).ok());
    ASSERT_TRUE(found);
    EXPECT_EQ(number, t.last_number());
    EXPECT_EQ(control, P("tarvex.tcf"));
  }
  bool recorded = true;
  ASSERT_TRUE(TransactionStillRecorded(P("tarvex.tcf"), t.last_number(), recorded).ok());
  EXPECT_FALSE(recorded);
  // A second transaction replaces the marker: still one per file.
  uint32_t first = t.last_number();
  t.Logout(*a_);
  t.Logout(*b_);
  Cascade(*a_, *b_, "again");
  ASSERT_TRUE(t.Commit().ok());
  uint32_t number = 0;
  std::string control;
  bool found = false;
  ASSERT_TRUE(ReadMarker(*a_, number, control, found).ok());
  EXPECT_EQ(number, t.last_number());
  EXPECT_NE(number, 0u);
  (void)first;
}

TEST_F(TransactionTest, ChangesInOneFileDoNotTouchTheControlFile) {
  Transaction t;
  t.Logout(*a_);
  t.Logout(*b_);
  BTree ta(*a_);
  bool found = false;
  ASSERT_TRUE(ta.Replace(Rec(3, "single"), found).ok());
  ASSERT_TRUE(t.Commit().ok());
  EXPECT_FALSE(fs::exists(P("tarvex.tcf")));
  uint32_t number = 0;
  std::string control;
  ASSERT_TRUE(ReadMarker(*a_, number, control, found).ok());
  EXPECT_FALSE(found) << "no marker without a control file";
  Reopen();
  EXPECT_EQ(Text(*a_, 3), "single");
  // Nothing changed at all: nothing written.
  std::string before = ReadAll(P("A.TVX"));
  t.Logout(*a_);
  ASSERT_TRUE(t.Commit().ok());
  EXPECT_EQ(ReadAll(P("A.TVX")), before);
}

TEST_F(TransactionTest, RollbackDropsTheCascadeAndReadsTheDiskAgain) {
  const std::string a_before = ReadAll(P("A.TVX")), b_before = ReadAll(P("B.TVX"));
  Transaction t;
  t.Logout(*a_);
  t.Logout(*b_);
  Cascade(*a_, *b_, "never");
  EXPECT_EQ(Text(*a_, 1).substr(0, 5), "never") << "the transaction sees its own changes";
  t.Rollback();
  EXPECT_EQ(t.size(), 0u);
  EXPECT_FALSE(a_->has_changes());
  EXPECT_EQ(Text(*a_, 1), std::string(50, 'o'));
  EXPECT_EQ(Text(*b_, 8), std::string(50, 'o'));
  EXPECT_EQ(ReadAll(P("A.TVX")), a_before);
  EXPECT_EQ(ReadAll(P("B.TVX")), b_before);
}

TEST_F(TransactionTest, TheSendSettingNamesTheControlFileAndAnUnusableOneDropsTheChanges) {
  SetControlFileName(P("elsewhere.tcf"));
  Transaction t;
  t.Logout(*a_);
  t.Logout(*b_);
  Cascade(*a_, *b_, "moved");
  ASSERT_TRUE(t.Commit().ok());
  EXPECT_TRUE(fs::exists(P("elsewhere.tcf")));
  EXPECT_FALSE(fs::exists(P("tarvex.tcf")));
  EXPECT_EQ(t.last_control(), P("elsewhere.tcf"));

  const std::string a_before = ReadAll(P("A.TVX"));
  SetControlFileName(P("no/such/dir/x.tcf"));
  t.Logout(*a_);
  t.Logout(*b_);
  Cascade(*a_, *b_, "lost");
  Status st = t.Commit();
  EXPECT_FALSE(st.ok());
  EXPECT_EQ(ReadAll(P("A.TVX")), a_before);
  EXPECT_FALSE(a_->has_changes());
  EXPECT_EQ(Text(*a_, 1).substr(0, 5), "moved");
}

// The flushes a COMMIT costs, counted through the file I/O (a durable write, such as the
// clearing of the control file's journal, counts as a write): two per file (its journal, then
// the file) and two for the control file's commit point, which also records the number of the
// next transaction; the first COMMIT of a program records its own number first, which costs
// two more. A single file alone costs its two. Growing files cost no more.
TEST_F(TransactionTest, ACommitOverTwoFilesFlushesSixTimesEightTheFirstTimeAndOneFileTwice) {
  for (int round = 0; round < 3; ++round) {
    FaultyFileIo counter(FaultPlan{});
    a_->set_io(&counter);
    b_->set_io(&counter);
    Transaction t;
    t.set_io(&counter);
    t.Logout(*a_);
    t.Logout(*b_);
    Cascade(*a_, *b_, "counted" + std::string(round * 30, '#'));  // larger each round: the files grow
    ASSERT_TRUE(t.Commit().ok());
    EXPECT_EQ(counter.syncs(), 8u) << "round " << round;
    t.Logout(*a_);
    t.Logout(*b_);
    Cascade(*a_, *b_, "again" + std::string(round * 30, '#'));
    uint64_t before = counter.syncs();
    ASSERT_TRUE(t.Commit().ok());
    EXPECT_EQ(counter.syncs() - before, 6u) << "round " << round;
    t.Logout(*a_);
    Cascade(*a_, *a_, "alone");
    before = counter.syncs();
    ASSERT_TRUE(t.Commit().ok());
    EXPECT_EQ(counter.syncs() - before, 2u);
    a_->set_io(nullptr);
    b_->set_io(nullptr);
  }
}

// The commit point records the next transaction's number; the next COMMIT is that transaction,
// the end of the program gives the number back, and a control file removed in between is
// made again with the transaction recorded in the new one.
TEST_F(TransactionTest, TheNextNumberIsRecordedAtTheCommitPointAndGivenBackAtTheEnd) {
  const std::string control = P("tarvex.tcf");
  auto recorded = [&](uint32_t number) {
    bool r = false;
    EXPECT_TRUE(TransactionStillRecorded(control, number, r).ok());
    return r;
  };
  uint32_t last_reserved = 0;
  {
    Transaction t;
    t.Logout(*a_);
    t.Logout(*b_);
    Cascade(*a_, *b_, "first");
    ASSERT_TRUE(t.Commit().ok());
    uint32_t reserved = t.reserved_number();
    ASSERT_NE(reserved, 0u);
    EXPECT_GT(reserved, t.last_number());
    EXPECT_FALSE(recorded(t.last_number()));
    EXPECT_TRUE(recorded(reserved)) << "on disk before the next COMMIT touches a data file";

    t.Logout(*a_);
    t.Logout(*b_);
    Cascade(*a_, *b_, "second");
    ASSERT_TRUE(t.Commit().ok());
    EXPECT_EQ(t.last_number(), reserved);
    EXPECT_FALSE(recorded(reserved));
    EXPECT_TRUE(recorded(t.reserved_number()));

    // The control file goes away between two COMMITs: the number reserved in it is of no use.
    ASSERT_TRUE(fs::remove(control));
    fs::remove(control + "-journal");
    t.Logout(*a_);
    t.Logout(*b_);
    Cascade(*a_, *b_, "third");
    ASSERT_TRUE(t.Commit().ok());
    ASSERT_TRUE(fs::exists(control));
    EXPECT_FALSE(recorded(t.last_number()));
    EXPECT_TRUE(recorded(t.reserved_number()));
    last_reserved = t.reserved_number();
  }
  EXPECT_FALSE(recorded(last_reserved)) << "given back when the transaction ends";
  Reopen();
  EXPECT_EQ(Text(*a_, 7).substr(0, 5), "third");
  EXPECT_EQ(Text(*b_, 7), "third");
  std::unique_ptr<PageStore> store;
  PageStoreOptions ro;
  ro.read_only = true;
  ASSERT_TRUE(PageStore::Open(control, ro, store).ok());
  std::vector<Violation> violations;
  FileSummary summary;
  ASSERT_TRUE(CheckFormat(*store, violations, summary).ok());
  EXPECT_TRUE(violations.empty()) << violations.front().text;
}

// A control file is made empty (an empty file is a new file of the format) and never made anew
// over an existing one; a journal left from an earlier control file of the name is dropped.
TEST_F(TransactionTest, AControlFileIsMadeEmptyAndItsPredecessorsJournalDropped) {
  JournalContents stale;
  stale.original_length = 512;
  stale.regions = {{0, std::string(512, 'Z')}};
  std::ofstream(JournalPathFor(P("c.tcf")), std::ios::binary) << EncodeJournal(stale);
  std::unique_ptr<ControlFile> cf;
  ASSERT_TRUE(ControlFile::Open(P("c.tcf"), cf).ok());
  EXPECT_FALSE(Hot(JournalPathFor(P("c.tcf"))));
  EXPECT_EQ(fs::file_size(P("c.tcf")), 0u);
  uint32_t n = 0;
  ASSERT_TRUE(cf->Start(7, n).ok());
  // Another program opening it now finds it (and the record), not a fresh file.
  std::unique_ptr<ControlFile> other;
  ASSERT_TRUE(ControlFile::Open(P("c.tcf"), other).ok());
  bool recorded = false;
  ASSERT_TRUE(other->Recorded(7, recorded).ok());
  EXPECT_TRUE(recorded);
  ASSERT_TRUE(cf->Finish(7).ok());
  other.reset();
  cf.reset();
  std::unique_ptr<PageStore> store;
  PageStoreOptions ro;
  ro.read_only = true;
  ASSERT_TRUE(PageStore::Open(P("c.tcf"), ro, store).ok());
  std::vector<Violation> violations;
  FileSummary summary;
  ASSERT_TRUE(CheckFormat(*store, violations, summary).ok());
  EXPECT_TRUE(violations.empty()) << violations.front().text;
}

TEST_F(TransactionTest, TransactionNumbersCountUpFromTheClockPastRecordedOnes) {
  std::unique_ptr<ControlFile> cf;
  ASSERT_TRUE(ControlFile::Open(P("n.tcf"), cf).ok());
  uint32_t a = 0, b = 0, c = 0;
  ASSERT_TRUE(cf->Start(500, a).ok());
  ASSERT_TRUE(cf->Start(500, b).ok());
  EXPECT_EQ(a, 500u);
  EXPECT_EQ(b, 501u);
  bool recorded = false;
  ASSERT_TRUE(cf->Recorded(501, recorded).ok());
  EXPECT_TRUE(recorded);
  ASSERT_TRUE(cf->Finish(500).ok());
  ASSERT_TRUE(cf->Start(500, a).ok());
  EXPECT_EQ(a, 502u) << "a finished number is not given again";
  ASSERT_TRUE(cf->Start(9000, c).ok());
  EXPECT_EQ(c, 9000u) << "a clock ahead of the last number is taken as it is";
  ASSERT_TRUE(TransactionStillRecorded(P("n.tcf"), 501, recorded).ok());
  EXPECT_TRUE(recorded) << "seen by another open as well";
  ASSERT_TRUE(TransactionStillRecorded(P("missing.tcf"), 501, recorded).ok());
  EXPECT_FALSE(recorded);
  EXPECT_FALSE(fs::exists(P("missing.tcf"))) << "asking does not create it";

  std::unique_ptr<ControlFile> fresh;
  ASSERT_TRUE(ControlFile::Open(P("zero.tcf"), fresh).ok());
  ASSERT_TRUE(fresh->Start(0, c).ok());
  EXPECT_EQ(c, 1u) << "0 is never a transaction number";
}

// Two programs share a control file, one of them committing faster than the clock moves: the
// other never gets a number the first has finished with, nor one from before midnight after it.
// (A held journal whose clearing never reached the disk still names its finished number; the
// same number recorded again would have its file put back.)
TEST_F(TransactionTest, NoNumberIsGivenTwiceAcrossProgramsRestartsOrMidnight) {
  std::unique_ptr<ControlFile> first, second;
  ASSERT_TRUE(ControlFile::Open(P("shared.tcf"), first).ok());
  ASSERT_TRUE(ControlFile::Open(P("shared.tcf"), second).ok());
  std::set<uint32_t> given;
  for (int i = 0; i < 5; ++i) {
    uint32_t n = 0;
    ASSERT_TRUE(first->Start(4000, n).ok());  // the clock has not moved meanwhile
    ASSERT_TRUE(first->Finish(n).ok());
    EXPECT_TRUE(given.insert(n).second) << n;
  }
  uint32_t n = 0;
  ASSERT_TRUE(second->Start(4001, n).ok());
  EXPECT_TRUE(given.insert(n).second) << "the second program got " << n << " again";
  ASSERT_TRUE(second->Finish(n).ok());
  // A restart after midnight: the clock starts low again, the control file remembers.
  first.reset();
  second.reset();
  ASSERT_TRUE(ControlFile::Open(P("shared.tcf"), first).ok());
  ASSERT_TRUE(first->Start(1, n).ok());
  EXPECT_GT(n, *given.rbegin());
}

TEST_F(TransactionTest, AFailedUpdateInsideSpoilsTheCommitAndAForgottenFileLeavesTheList) {
  const std::string a_before = ReadAll(P("A.TVX")), b_before = ReadAll(P("B.TVX"));
  Transaction t;
  t.Logout(*a_);
  t.Logout(*b_);
  Cascade(*a_, *b_, "spoilt");
  t.MarkFailed();
  EXPECT_EQ(t.Commit().code, kErrUnableToLog);
  EXPECT_EQ(ReadAll(P("A.TVX")), a_before);
  EXPECT_EQ(ReadAll(P("B.TVX")), b_before);
  EXPECT_FALSE(a_->has_changes());
  // The next transaction is not spoilt.
  t.Logout(*a_);
  t.Logout(*b_);
  Cascade(*a_, *b_, "fine");
  t.Forget(*b_);
  EXPECT_FALSE(b_->has_changes()) << "its changes go with it";
  EXPECT_EQ(t.size(), 1u);
  ASSERT_TRUE(t.Commit().ok());
  EXPECT_EQ(ReadAll(P("B.TVX")), b_before);
  EXPECT_EQ(Text(*a_, 2).substr(0, 4), "fine");
}

// Phase one fails on either file at every write and flush in turn: a file written before is
// put back, the record removed, the error returned; both files are as before.
TEST_F(TransactionTest, AFailureInPhaseOneRestoresTheFilesBefore) {
  const std::string a_before = ReadAll(P("A.TVX")), b_before = ReadAll(P("B.TVX"));
  int cases = 0;
  for (int target = 0; target < 2; ++target)
  for (auto kind : {FaultPlan::Kind::kFailWrite, FaultPlan::Kind::kHalfWrite, FaultPlan::Kind::kFailSync}) {
    for (uint64_t at = 0; at < 40; ++at) {
      SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(kind) << " at " << at);
      FaultyFileIo io(FaultPlan{kind, at, false});
      PageStore& faulty = target == 0 ? *a_ : *b_;
      faulty.set_io(&io);
      Transaction t;
      t.Logout(*a_);
      t.Logout(*b_);
      Cascade(*a_, *b_, "half");
      Status st = t.Commit();
      faulty.set_io(nullptr);
      if (st.ok()) {
        // Past the last call of a commit, or a fault in phase two (clearing a journal) after
        // the commit point: the transaction stands, and a journal left behind names a
        // transaction no longer recorded, so the next open drops it instead of playing it back.
        EXPECT_EQ(Text(*a_, 1).substr(0, 4), "half");
        Reopen();
        EXPECT_EQ(Text(*a_, 1).substr(0, 4), "half");
        EXPECT_EQ(Text(*b_, 1), "half");
        EXPECT_FALSE(Hot(JournalPathFor(P(target == 0 ? "A.TVX" : "B.TVX"))));
        break;
      }
      ++cases;
      EXPECT_FALSE(st.ok());
      EXPECT_NE(st.code, kErrUnableToRollback);
      EXPECT_EQ(ReadAll(P("A.TVX")), a_before);
      EXPECT_EQ(ReadAll(P("B.TVX")), b_before);
      EXPECT_EQ(Text(*a_, 1), std::string(50, 'o'));
      bool recorded = true;
      ASSERT_TRUE(TransactionStillRecorded(P("tarvex.tcf"), t.last_number(), recorded).ok());
      EXPECT_FALSE(recorded);
    }
    // Undo the successful last round.
    SetUp();
  }
  EXPECT_GE(cases, 16);  // every write and flush of phase one of either file, a few of each
}

// The control file's own writes and flushes fail in turn, with the process going on or "dead"
// from then on: a COMMIT that reports success has both files changed, one that fails has
// neither, and so do the files as the next program opens them.
TEST_F(TransactionTest, AFaultInTheControlFileLosesNothing) {
  const std::string a_before = ReadAll(P("A.TVX")), b_before = ReadAll(P("B.TVX"));
  int failed = 0, passed = 0;
  for (bool dead : {false, true}) {
    for (auto kind : {FaultPlan::Kind::kFailWrite, FaultPlan::Kind::kHalfWrite, FaultPlan::Kind::kFailSync,
                      FaultPlan::Kind::kFailTruncate}) {
      for (uint64_t at = 0; at < 12; ++at) {
        SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(kind) << " at " << at << " dead " << dead);
        FaultyFileIo io(FaultPlan{kind, at, dead});
        Status st;
        {
          Transaction t;
          t.set_io(&io);
          t.Logout(*a_);
          t.Logout(*b_);
          Cascade(*a_, *b_, "half");
          st = t.Commit();
        }  // the control file closes as a dead process leaves it
        if (!io.fired()) {
          ASSERT_TRUE(st.ok());
          std::ofstream(P("A.TVX"), std::ios::binary | std::ios::trunc) << a_before;
          std::ofstream(P("B.TVX"), std::ios::binary | std::ios::trunc) << b_before;
          Reopen();
          break;
        }
        Reopen();
        if (st.ok()) {
          ++passed;
          EXPECT_EQ(Text(*a_, 1).substr(0, 4), "half");
          EXPECT_EQ(Text(*b_, 1), "half");
          std::ofstream(P("A.TVX"), std::ios::binary | std::ios::trunc) << a_before;
          std::ofstream(P("B.TVX"), std::ios::binary | std::ios::trunc) << b_before;
          Reopen();
        } else {
          ++failed;
          EXPECT_EQ(ReadAll(P("A.TVX")), a_before);
          EXPECT_EQ(ReadAll(P("B.TVX")), b_before);
        }
        // The control file itself opens and records nothing.
        bool recorded = true;
        ASSERT_TRUE(TransactionStillRecorded(P("tarvex.tcf"), 1, recorded).ok());
      }
    }
  }
  EXPECT_GE(failed, 16);
}

// What a process that died between phase one and the commit point, or after it, leaves
// behind is recovered at the next open: none of the transaction, or all of it, in both files.
TEST_F(TransactionTest, RecoveryAtOpenFollowsTheControlRecord) {
  const std::string a_before = ReadAll(P("A.TVX")), b_before = ReadAll(P("B.TVX"));
  // The state after phase one of both files: held journals, the record present.
  std::unique_ptr<ControlFile> cf;
  ASSERT_TRUE(ControlFile::Open(P("tarvex.tcf"), cf).ok());
  uint32_t number = 0;
  ASSERT_TRUE(cf->Start(ClockTicks(), number).ok());
  Cascade(*a_, *b_, "phase1");
  for (PageStore* s : {a_.get(), b_.get()}) {
    s->journal()->HoldFor(number, P("tarvex.tcf"));
    ASSERT_TRUE(s->Commit().ok());
  }
  const std::string a_after = ReadAll(P("A.TVX")), b_after = ReadAll(P("B.TVX"));
  // "Die": copy the files with their journals as they are now, then let this process go on.
  fs::create_directories(dir_ / "crash");
  for (const char* f : {"A.TVX", "B.TVX", "A.TVX-journal", "B.TVX-journal"}) fs::copy_file(P(f), dir_ / "crash" / f);
  // Not committed yet: the copies open as the files before the transaction.
  auto copy = [&](const char* f) { return (dir_ / "crash" / f).string(); };
  {
    std::unique_ptr<PageStore> ra, rb;
    ASSERT_TRUE(PageStore::Open(copy("A.TVX"), options_, ra).ok());
    ASSERT_TRUE(PageStore::Open(copy("B.TVX"), options_, rb).ok());
    EXPECT_EQ(ReadAll(copy("A.TVX")), a_before);
    EXPECT_EQ(ReadAll(copy("B.TVX")), b_before);
    EXPECT_FALSE(fs::exists(copy("A.TVX-journal")));
  }
  // Committed (record removed) but phase two not done: the copies keep the new state.
  ASSERT_TRUE(cf->Finish(number).ok());
  for (const char* f : {"A.TVX", "B.TVX", "A.TVX-journal", "B.TVX-journal"}) {
    fs::copy_file(P(f), dir_ / "crash" / f, fs::copy_options::overwrite_existing);
  }
  {
    std::unique_ptr<PageStore> ra, rb;
    ASSERT_TRUE(PageStore::Open(copy("A.TVX"), options_, ra).ok());
    ASSERT_TRUE(PageStore::Open(copy("B.TVX"), options_, rb).ok());
    EXPECT_EQ(ReadAll(copy("A.TVX")), a_after);
    EXPECT_EQ(ReadAll(copy("B.TVX")), b_after);
    EXPECT_FALSE(fs::exists(copy("B.TVX-journal")));
  }
  // A control file that cannot be read: the file does not open (48) and keeps its journal.
  ASSERT_TRUE(fs::remove(copy("A.TVX")));
  fs::copy_file(P("A.TVX"), copy("A.TVX"));
  std::string journal_path = copy("A.TVX-journal");
  fs::copy_file(P("A.TVX-journal"), journal_path);
  fs::create_directories(dir_ / "locked");
  JournalContents c;
  ASSERT_TRUE(DecodeJournal(ReadAll(journal_path), c));
  c.control_file = (dir_ / "locked" / "x.tcf").string();
  std::ofstream(c.control_file) << "not a data file at all, far too short";
  std::ofstream(journal_path, std::ios::binary | std::ios::trunc) << EncodeJournal(c);
  std::unique_ptr<PageStore> broken;
  EXPECT_EQ(PageStore::Open(copy("A.TVX"), options_, broken).code, kErrUnableToLog);
  EXPECT_TRUE(fs::exists(journal_path));
  for (PageStore* s : {a_.get(), b_.get()}) ASSERT_TRUE(s->journal()->Release().ok());
}

}  // namespace
}  // namespace cinevo::isam
