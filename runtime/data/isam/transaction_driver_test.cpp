// LOGOUT, COMMIT and ROLLBACK through the file statements on the native driver: the state
// rules, a group renamed and deleted with its movies, and what reaches the disk.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "runtime/core/value_storage.h"
#include "runtime/data/file_properties.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/btree.h"
#include "runtime/data/isam/format_check.h"
#include "runtime/data/isam/isam_test_support.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/isam/transaction.h"

namespace cinevo::isam {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// GRU: ID LONG @0, NAME STRING(20) @4; key 1 ID unique.
// POD: GROUP LONG @0, ID LONG @4, NAME STRING(20) @8; key 1 GROUP+ID unique.
FileDeclaration Groups(const std::string& name) {
  FileDeclaration d;
  d.label = "GRU";
  d.name = name;
  d.driver = std::string(kDriverName);
  d.fields = {MakeField("GRU:ID", TypeCode::kLong, 0, 4), MakeField("GRU:NAME", TypeCode::kString, 4, 20)};
  d.keys = {MakeKey("GRU:KID", kKeyPrimary, {1})};
  return d;
}
FileDeclaration Movies(const std::string& name) {
  FileDeclaration d;
  d.label = "POD";
  d.name = name;
  d.driver = std::string(kDriverName);
  d.fields = {MakeField("POD:GROUP", TypeCode::kLong, 0, 4), MakeField("POD:ID", TypeCode::kLong, 4, 4),
              MakeField("POD:NAME", TypeCode::kString, 8, 20)};
  d.keys = {MakeKey("POD:KGID", kKeyPrimary, {1, 2})};
  return d;
}

class TransactionDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetControlFileName("");
    dir_ = test_support::PrepareDriverTest("isam_txn_driver");
    gdecl_ = Groups((dir_ / "GRUPA").string());
    mdecl_ = Movies((dir_ / "PODGRU").string());
    g_ = std::make_unique<FileControlBlock>(gdecl_);
    m_ = std::make_unique<FileControlBlock>(mdecl_);
    for (auto* f : {g_.get(), m_.get()}) {
      ASSERT_EQ(Create(*f), 0);
      ASSERT_EQ(Open(*f), 0);
    }
    for (int32_t g = 1; g <= 3; ++g) {
      ASSERT_EQ(AddGroup(g, "group " + std::to_string(g)), 0);
      for (int32_t i = 1; i <= 5; ++i) ASSERT_EQ(AddMovie(g, i, "movie"), 0);
    }
  }
  void TearDown() override {
    if (g_ && m_) Rollback(Both());
    g_.reset();
    m_.reset();
    SetControlFileName("");
    fs::remove_all(dir_);
  }
  std::vector<FileControlBlock*> Both() { return {g_.get(), m_.get()}; }
  int AddGroup(int32_t id, const std::string& name) {
    std::fill(g_->record.begin(), g_->record.end(), 0);
    StoreU32(g_->record.data(), static_cast<uint32_t>(id));
    StoreString(reinterpret_cast<char*>(g_->record.data() + 4), 20, name);
    return Add(*g_);
  }
  int AddMovie(int32_t group, int32_t id, const std::string& name) {
    std::fill(m_->record.begin(), m_->record.end(), 0);
    StoreU32(m_->record.data(), static_cast<uint32_t>(group));
    StoreU32(m_->record.data() + 4, static_cast<uint32_t>(id));
    StoreString(reinterpret_cast<char*>(m_->record.data() + 8), 20, name);
    return Add(*m_);
  }
  std::string GroupName(int32_t id) {
    StoreU32(g_->record.data(), static_cast<uint32_t>(id));
    if (Get(*g_, 0) != 0) return "<none>";
    std::string name(reinterpret_cast<const char*>(g_->record.data() + 4), 20);
    return name.substr(0, name.find_last_not_of(' ') + 1);
  }
  // Renames group `g` and its movies, or deletes them all: the relation manager's cascades.
  void Cascade(int32_t g, bool erase) {
    StoreU32(g_->record.data(), static_cast<uint32_t>(g));
    ASSERT_EQ(Get(*g_, 0), 0);
    if (erase) {
      ASSERT_EQ(Delete(*g_), 0);
    } else {
      StoreString(reinterpret_cast<char*>(g_->record.data() + 4), 20, "renamed");
      ASSERT_EQ(Put(*g_), 0);
    }
    for (int32_t i = 1; i <= 5; ++i) {
      StoreU32(m_->record.data(), static_cast<uint32_t>(g));
      StoreU32(m_->record.data() + 4, static_cast<uint32_t>(i));
      ASSERT_EQ(Get(*m_, 0), 0);
      if (erase) {
        ASSERT_EQ(Delete(*m_), 0);
      } else {
        StoreString(reinterpret_cast<char*>(m_->record.data() + 8), 20, "renamed movie");
        ASSERT_EQ(Put(*m_), 0);
      }
    }
  }
  void ExpectClean(const std::string& path) { test_support::ExpectFileClean(path); }
  std::string G() const { return (dir_ / "GRUPA.TVX").string(); }
  std::string M() const { return (dir_ / "PODGRU.TVX").string(); }

  fs::path dir_;
  FileDeclaration gdecl_, mdecl_;
  std::unique_ptr<FileControlBlock> g_, m_;
};

TEST_F(TransactionDriverTest, StateRulesOfLogoutCommitAndRollback) {
  EXPECT_EQ(SetProperty(*g_, kPropTransaction, "1"), 0) << "the relation manager asks before it frames a cascade";
  auto both = Both();
  const std::string g_before = ReadBytes(G());
  EXPECT_EQ(Commit(both), 0) << "COMMIT without LOGOUT is skipped without an error";
  EXPECT_EQ(Rollback(both), 0);
  EXPECT_EQ(ReadBytes(G()), g_before);
  ASSERT_EQ(Logout(0, both), 0);
  EXPECT_EQ(Logout(0, both), 56);
  EXPECT_EQ(Close(*g_), 56);
  EXPECT_EQ(Commit(both), 0);
  EXPECT_EQ(Close(*g_), 0) << "a committed transaction no longer holds the file";
}

// Whatever else they lack (a lock, exclusive access), UNLOCK and the rebuilding operations
// meet the transaction first.
TEST_F(TransactionDriverTest, DuringLogoutUnlockEmptyPackAndEveryBuildGive56) {
  auto both = Both();
  ASSERT_EQ(Logout(0, both), 0);
  EXPECT_EQ(Unlock(*g_), 56);
  EXPECT_EQ(Build(*g_), 56);
  EXPECT_EQ(BuildKey(*g_, 0), 56);
  EXPECT_EQ(BuildIndex(*g_, 0, "+GRU:NAME"), 56);
  EXPECT_EQ(Pack(*g_), 56);
  EXPECT_EQ(Empty(*g_), 56);
  EXPECT_TRUE(g_->state & kStateLogoutActive);
  ASSERT_EQ(Rollback(both), 0);
  EXPECT_EQ(Unlock(*g_), 0) << "outside a transaction UNLOCK of an unlocked file is harmless";
  EXPECT_EQ(Build(*g_), 63) << "and BUILD asks for exclusive access again";
}

// A COMMIT that fails ends the transaction all the same: the changes are gone, the files are
// out of LOGOUT, and they can be closed or logged out again.
TEST_F(TransactionDriverTest, AFailedCommitEndsTheTransactionAndDropsTheChanges) {
  const std::string g_before = ReadBytes(G()), m_before = ReadBytes(M());
  EXPECT_NE(Send(*g_, "TCF=" + (dir_ / "missing" / "x.tcf").string()), "");
  auto both = Both();
  ASSERT_EQ(Logout(0, both), 0);
  Cascade(1, false);
  EXPECT_NE(Commit(both), 0) << "the control file cannot be made";
  for (auto* f : both) EXPECT_FALSE(f->state & kStateLogoutActive);
  EXPECT_EQ(GroupName(1), "group 1");
  EXPECT_EQ(ReadBytes(G()), g_before);
  EXPECT_EQ(ReadBytes(M()), m_before);
  SetControlFileName("");
  ASSERT_EQ(Logout(0, both), 0) << "a new transaction may start at once";
  Cascade(2, false);
  ASSERT_EQ(Commit(both), 0);
  EXPECT_EQ(GroupName(2), "renamed");
  EXPECT_EQ(Close(*g_), 0);
}

TEST_F(TransactionDriverTest, ACommittedCascadeReachesBothFilesTogether) {
  auto both = Both();
  const std::string g_before = ReadBytes(G()), m_before = ReadBytes(M());
  ASSERT_EQ(Logout(0, both), 0);
  Cascade(1, false);
  Cascade(2, true);
  EXPECT_EQ(ReadBytes(G()), g_before) << "nothing reaches the disk before COMMIT";
  EXPECT_EQ(ReadBytes(M()), m_before);
  EXPECT_EQ(GroupName(1), "renamed") << "the program sees its own changes";
  ASSERT_EQ(Commit(both), 0);
  EXPECT_TRUE(fs::exists(dir_ / "tarvex.tcf")) << "two files: coordinated through the control file";
  EXPECT_EQ(Records(*g_), 2);
  EXPECT_EQ(Records(*m_), 10);
  EXPECT_EQ(GroupName(1), "renamed");
  EXPECT_EQ(GroupName(2), "<none>");
  // The counters kept aside during the transaction reached the file with the COMMIT.
  FileControlBlock other(mdecl_);
  ASSERT_EQ(Open(other, 0x40), 0);
  EXPECT_EQ(Records(other), 10);
  ASSERT_EQ(Close(other), 0);
  g_.reset();
  m_.reset();
  ExpectClean(G());
  ExpectClean(M());
}

TEST_F(TransactionDriverTest, AfterRollbackGetReturnsTheRecordsAsBeforeLogout) {
  auto both = Both();
  const std::string g_before = ReadBytes(G()), m_before = ReadBytes(M());
  ASSERT_EQ(Logout(0, both), 0);
  Cascade(1, false);
  Cascade(3, true);
  ASSERT_EQ(AddGroup(9, "new"), 0);
  ASSERT_EQ(Rollback(both), 0);
  EXPECT_EQ(GroupName(1), "group 1");
  EXPECT_EQ(GroupName(3), "group 3");
  EXPECT_EQ(GroupName(9), "<none>");
  EXPECT_EQ(Records(*g_), 3);
  EXPECT_EQ(Records(*m_), 15);
  EXPECT_EQ(ReadBytes(G()), g_before);
  EXPECT_EQ(ReadBytes(M()), m_before);
  // Updates after the transaction commit one by one again.
  ASSERT_EQ(AddGroup(9, "after"), 0);
  EXPECT_NE(ReadBytes(G()), g_before);
}

TEST_F(TransactionDriverTest, ChangesInOneFileCommitWithoutTheControlFile) {
  auto both = Both();
  ASSERT_EQ(Logout(0, both), 0);
  ASSERT_EQ(AddGroup(7, "seven"), 0);
  ASSERT_EQ(Commit(both), 0);
  EXPECT_FALSE(fs::exists(dir_ / "tarvex.tcf"));
  EXPECT_EQ(GroupName(7), "seven");
}

TEST_F(TransactionDriverTest, TheSendOptionMovesTheControlFileForTheWholeProgram) {
  std::string tcf = (dir_ / "shared.tcf").string();
  EXPECT_EQ(Send(*g_, "TCF=" + tcf), tcf);
  auto both = Both();
  ASSERT_EQ(Logout(0, both), 0);
  Cascade(1, false);
  ASSERT_EQ(Commit(both), 0);
  EXPECT_TRUE(fs::exists(tcf));
  EXPECT_FALSE(fs::exists(dir_ / "tarvex.tcf"));
}

// A data file renamed after a crash takes its recovery with it: the journal left under the old
// name is played back first (nothing stays behind under that name), and a journal that an
// earlier file of the new name left is dropped rather than played back over the renamed file.
TEST_F(TransactionDriverTest, RenameNeverLeavesAJournalBehindNorAdoptsAStaleOne) {
  ASSERT_EQ(Close(*g_), 0);
  const std::string before = ReadBytes(G());
  JournalContents c;
  c.original_length = before.size();
  c.regions = {{0, before.substr(0, 512)}};
  std::string damaged = before;
  damaged[20] ^= 0x11;  // as an update cut short left it
  std::ofstream(G(), std::ios::binary | std::ios::trunc) << damaged;
  std::ofstream(JournalPathFor(G()), std::ios::binary) << EncodeJournal(c);
  const std::string target = (dir_ / "RENAMED.TVX").string();
  JournalContents stale;
  stale.original_length = 512;
  stale.regions = {{0, std::string(512, 'Z')}};
  std::ofstream(JournalPathFor(target), std::ios::binary) << EncodeJournal(stale);
  ASSERT_EQ(Rename(*g_, (dir_ / "RENAMED").string()), 0);
  EXPECT_FALSE(fs::exists(JournalPathFor(G())));
  EXPECT_FALSE(fs::exists(JournalPathFor(target)));
  EXPECT_EQ(ReadBytes(target), before);
  // And a file whose journal a live writer holds is not renamed at all.
  std::unique_ptr<PageStore> writer;
  ASSERT_TRUE(PageStore::Open(M(), PageStoreOptions{}, writer).ok());
  ASSERT_TRUE(m_ && Close(*m_) == 0);
  BTree tree(*writer);
  bool existed = false;
  ASSERT_TRUE(tree.Insert(Record{std::string("\xFE", 1), 1}, existed).ok());
  writer->journal()->HoldFor(5, (dir_ / "none.tcf").string());
  ASSERT_TRUE(writer->Commit().ok());
  EXPECT_EQ(Rename(*m_, (dir_ / "MOVED").string()), 5);
  EXPECT_TRUE(fs::exists(M()));
  ASSERT_TRUE(writer->journal()->Release().ok());
}

// Another user of the file (another program) waits while a transaction holds it, so the
// transaction's cached changes are never written over someone else's.
TEST_F(TransactionDriverTest, LogoutKeepsOtherUsersOutUntilCommitOrRollback) {
  ASSERT_EQ(Close(*g_), 0);
  FileControlBlock mine(gdecl_);
  ASSERT_EQ(Share(mine), 0);
  std::vector<FileControlBlock*> a{&mine};
  // The other user opens the file first (an open waits for a transaction's end), tells so,
  // and tries its LOGOUT once told to go on; `meanwhile` runs between the two.
  auto other_user = [&](int32_t expected_records, const std::function<void()>& meanwhile) {
    int ready[2], go[2];
    if (::pipe(ready) != 0) return -2;
    if (::pipe(go) != 0) return -2;
    pid_t child = ::fork();
    if (child == 0) {
      ProgramTransaction().Rollback();  // the child starts with an empty transaction list
      FileControlBlock other(gdecl_);
      std::vector<FileControlBlock*> b{&other};
      if (Share(other) != 0) ::_exit(10);
      char c = 1;
      if (::write(ready[1], &c, 1) != 1 || ::read(go[0], &c, 1) != 1) ::_exit(13);
      int e = Logout(1, b);
      if (e != 0) ::_exit(e == 32 ? 32 : 11);
      int n = static_cast<int>(Records(other));
      Rollback(b);
      ::_exit(n == expected_records ? 0 : 12);
    }
    char c = 0;
    bool ok = ::read(ready[0], &c, 1) == 1;
    if (ok && meanwhile) meanwhile();
    ok = ok && ::write(go[1], &c, 1) == 1;
    for (int fd : {ready[0], ready[1], go[0], go[1]}) ::close(fd);
    int status = 0;
    ::waitpid(child, &status, 0);
    return ok && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(other_user(3, [&] { ASSERT_EQ(Logout(1, a), 0); }), 32) << "the other user gives up after its second";
  StoreU32(mine.record.data(), 40);
  ASSERT_EQ(Add(mine), 0);
  ASSERT_EQ(Commit(a), 0);
  EXPECT_EQ(other_user(4, nullptr), 0) << "free again after COMMIT, with the committed record";
  ASSERT_EQ(Logout(1, a), 0);
  ASSERT_EQ(Rollback(a), 0);
  EXPECT_EQ(other_user(4, nullptr), 0) << "free again after ROLLBACK";
}

// Every table keeps a cache of the file of its own, so two tables of one physical file cannot
// take part in one transaction: the second LOGOUT is refused at once (48) and the first
// undone. One of them alone commits like any single file, without the control file.
TEST_F(TransactionDriverTest, TwoTablesOfOneFileInOneTransactionAreRefusedNotMixed) {
  FileDeclaration a = Groups((dir_ / "ONE").string() + "\\!A");
  FileDeclaration b = Groups((dir_ / "ONE").string() + "\\!B");
  FileControlBlock fa(a), fb(b);
  ASSERT_EQ(Create(fa), 0);
  ASSERT_EQ(Create(fb), 0);
  ASSERT_EQ(Open(fa), 0);
  ASSERT_EQ(Open(fb), 0);
  std::vector<FileControlBlock*> tables{&fa, &fb}, first{&fa};
  const std::string before = ReadBytes((dir_ / "ONE.TVX").string());
  EXPECT_EQ(Logout(1, tables), kErrUnableToLog);
  EXPECT_EQ(Close(fa), 0) << "the first LOGOUT was undone";
  ASSERT_EQ(Open(fa), 0);
  ASSERT_EQ(Logout(1, first), 0);
  StoreU32(fa.record.data(), 1);
  ASSERT_EQ(Add(fa), 0);
  EXPECT_EQ(ReadBytes((dir_ / "ONE.TVX").string()), before);
  ASSERT_EQ(Commit(first), 0);
  EXPECT_FALSE(fs::exists(dir_ / "tarvex.tcf"));
  EXPECT_EQ(Records(fa), 1);
  EXPECT_EQ(Records(fb), 0);
  ASSERT_EQ(Close(fa), 0);
  ASSERT_EQ(Close(fb), 0);
  ExpectClean((dir_ / "ONE.TVX").string());
}

}  // namespace
}  // namespace cinevo::isam
