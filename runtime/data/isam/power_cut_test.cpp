// Updates cut off by a simulated loss of power (PowerCutFileIo): whatever was not flushed may
// be lost, torn or kept, files made or removed since the directory's last flush may come back or
// go. After each cut the files are opened as after a restart. Every update whose commit returned
// must be there; the one under way may be there wholly or not at all; no file is damaged.
#include <fcntl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>

#include "runtime/data/isam/btree.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/faulty_file_io.h"
#include "runtime/data/isam/format_check.h"
#include "runtime/data/isam/journal.h"
#include "runtime/data/isam/record_kinds.h"
#include "runtime/data/isam/transaction.h"

namespace cinevo::isam {
namespace {

namespace fs = std::filesystem;

using Contents = std::map<uint32_t, std::string>;  // record number -> payload

Record Rec(uint32_t n, const std::string& payload) {
  std::string key = DataKey(1, n);
  return Record{key + payload, static_cast<uint16_t>(key.size())};
}

// What the cuts of one test did, for the report at its end.
struct Tally {
  int cuts = 0;
  int committed_checked = 0;   // updates whose commit had returned, found present
  int pending_present = 0;     // the update under way, found wholly present
  int pending_absent = 0;      // the update under way, found wholly absent
  PowerCutCounts counts;
  void Print(const char* what) const {
    std::cout << what << ": " << cuts << " cuts; writes dropped " << counts.dropped << ", torn " << counts.torn
              << ", kept " << counts.kept << "; file entries dropped " << counts.entries_dropped << ", kept "
              << counts.entries_kept << "; " << committed_checked << " committed updates found, "
              << pending_present << " updates under way found whole, " << pending_absent << " found absent\n";
  }
};

class PowerCutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("isam_power_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    SetControlFileName("");
  }
  void TearDown() override {
    SetControlFileName("");
    fs::remove_all(dir_);
  }
  std::string P(const std::string& name) const { return (dir_ / name).string(); }

  // A file of 80 records, made and closed as by an earlier run.
  void MakeFile(const std::string& name, Contents& model) {
    std::unique_ptr<PageStore> s;
    ASSERT_TRUE(PageStore::Create(P(name), options_, s).ok());
    BTree tree(*s);
    bool existed = false;
    for (uint32_t n = 1; n <= 80; ++n) {
      std::string payload(20 + n % 70, static_cast<char>('a' + n % 26));
      ASSERT_TRUE(tree.Insert(Rec(n, payload), existed).ok());
      model[n] = payload;
    }
    ASSERT_TRUE(s->Commit().ok());
  }

  // Opens `name` as a restarted program would (recovering its journal), checks its structure
  // and reads its records.
  void Inspect(const std::string& name, Contents& out) {
    out.clear();
    std::unique_ptr<PageStore> s;
    Status st = PageStore::Open(P(name), options_, s);
    ASSERT_TRUE(st.ok()) << name << ": " << st.detail;
    std::vector<Violation> violations;
    FileSummary summary;
    ASSERT_TRUE(CheckFormat(*s, violations, summary).ok());
    // The records belong to no declared table: only the structure of pages and tree counts.
    std::erase_if(violations, [](const Violation& v) {
      return v.check == kCheckRecordFields || v.check == kCheckDeclaration || v.check == kCheckTableCounter;
    });
    for (const Violation& v : violations) ADD_FAILURE() << name << " damaged: " << v.where << ": " << v.text;
    BTree tree(*s);
    Record r;
    bool found = false;
    ASSERT_TRUE(tree.AtOrAfter(DataKey(1, 0), r, found).ok());
    while (found && r.key().substr(0, 5) == DataKey(1, 0).substr(0, 5)) {
      std::string key(r.key());
      out[GetBe32(Bytes(key) + 5)] = r.bytes.substr(r.key_length);
      ASSERT_TRUE(tree.After(key, r, found).ok());
    }
  }

  // Random changes to `tree`, applied to `model` as well.
  static void Change(BTree& tree, Contents& model, std::mt19937_64& rng, uint32_t& next_number) {
    int count = 1 + static_cast<int>(rng() % 6);
    for (int i = 0; i < count; ++i) {
      bool flag = false;
      uint64_t dice = rng() % 10;
      if (model.empty() || dice < 4) {
        uint32_t n = next_number++;
        std::string payload(10 + rng() % 200, static_cast<char>('A' + rng() % 26));
        ASSERT_TRUE(tree.Insert(Rec(n, payload), flag).ok());
        model[n] = payload;
      } else {
        auto it = model.begin();
        std::advance(it, static_cast<long>(rng() % model.size()));
        if (dice < 8) {
          std::string payload(5 + rng() % 300, static_cast<char>('a' + rng() % 26));
          ASSERT_TRUE(tree.Replace(Rec(it->first, payload), flag).ok());
          it->second = payload;
        } else {
          ASSERT_TRUE(tree.Erase(DataKey(1, it->first), flag).ok());
          model.erase(it);
        }
      }
    }
  }

  // `found` must be `committed`, or `committed` with the update under way (`pending`).
  void Judge(const Contents& found, const Contents& committed, const Contents* pending, Tally& tally,
             const std::string& what) {
    if (found == committed) {
      if (pending) ++tally.pending_absent;
      return;
    }
    if (pending && found == *pending) {
      ++tally.pending_present;
      return;
    }
    ADD_FAILURE() << what << ": neither the committed state nor it with the update under way ("
                  << found.size() << " records, committed " << committed.size() << ")";
  }

  fs::path dir_;
  PageStoreOptions options_;
};

// The journal and the commit of one file: a few updates, one commit each, then the cut.
TEST_F(PowerCutTest, ACommittedUpdateOfOneFileOutlivesTheCutAndTheOneUnderWayIsWholeOrAbsent) {
  Contents committed;
  MakeFile("ONE.TVX", committed);
  if (HasFatalFailure()) return;
  std::mt19937_64 rng(41);
  uint32_t next_number = 1000;
  Tally tally;
  for (int round = 0; round < 450; ++round) {
    SCOPED_TRACE(testing::Message() << "round " << round);
    PowerCutFileIo io(dir_.string(), rng());
    Contents pending_state;
    bool under_way = false;
    {
      std::unique_ptr<PageStore> s;
      ASSERT_TRUE(PageStore::Open(P("ONE.TVX"), options_, s).ok());
      ASSERT_TRUE(io.Arm(rng() % 40).ok());
      s->set_io(&io);
      BTree tree(*s);
      for (int update = 0; update < 4 && !io.cut(); ++update) {
        Contents next = committed;
        Change(tree, next, rng, next_number);
        if (HasFatalFailure()) return;
        Status st = s->Commit();
        if (st.ok()) {
          committed = next;
          ++tally.committed_checked;
        } else {
          ASSERT_TRUE(io.cut()) << st.detail;
          pending_state = next;
          under_way = true;
        }
      }
    }  // the store goes away as the machine stops: nothing more reaches the disk
    if (!io.cut()) continue;
    ++tally.cuts;
    tally.counts += io.counts();
    ASSERT_TRUE(io.ApplyCut().ok());
    Contents found;
    Inspect("ONE.TVX", found);
    if (HasFatalFailure()) return;
    Judge(found, committed, under_way ? &pending_state : nullptr, tally, "round " + std::to_string(round));
    if (HasFailure()) return;
    committed = found;
  }
  tally.Print("one-file commit");
  EXPECT_GE(tally.cuts, 300);
  EXPECT_GT(tally.counts.dropped, 0u);
  EXPECT_GT(tally.counts.torn, 0u);
  EXPECT_GT(tally.counts.entries_dropped, 0u);
}

// COMMIT over two files, coordinated through the control file: a few transactions, then the
// cut. Both files make the same choice: the transaction under way is in both or in neither.
TEST_F(PowerCutTest, ATransactionOverTwoFilesIsWhollyThereOrWhollyAbsentAfterTheCut) {
  Contents committed_a, committed_b;
  MakeFile("A.TVX", committed_a);
  MakeFile("B.TVX", committed_b);
  if (HasFatalFailure()) return;
  std::mt19937_64 rng(43);
  uint32_t next_number = 1000;
  Tally tally;
  std::vector<std::pair<Contents, Contents>> history;  // every committed state, for the report
  for (int round = 0; round < 450; ++round) {
    SCOPED_TRACE(testing::Message() << "round " << round);
    PowerCutFileIo io(dir_.string(), rng());
    Contents pending_a, pending_b;
    bool under_way = false;
    {
      std::unique_ptr<PageStore> a, b;
      ASSERT_TRUE(PageStore::Open(P("A.TVX"), options_, a).ok());
      ASSERT_TRUE(PageStore::Open(P("B.TVX"), options_, b).ok());
      ASSERT_TRUE(io.Arm(rng() % 70).ok());
      a->set_io(&io);
      b->set_io(&io);
      Transaction txn;
      txn.set_io(&io);
      BTree tree_a(*a), tree_b(*b);
      for (int update = 0; update < 3 && !io.cut(); ++update) {
        txn.Logout(*a);
        txn.Logout(*b);
        Contents next_a = committed_a, next_b = committed_b;
        Change(tree_a, next_a, rng, next_number);
        Change(tree_b, next_b, rng, next_number);
        if (HasFatalFailure()) return;
        Status st = txn.Commit();
        if (st.ok()) {
          history.emplace_back(committed_a, committed_b);
          committed_a = next_a;
          committed_b = next_b;
          ++tally.committed_checked;
        } else {
          ASSERT_TRUE(io.cut()) << st.detail;
          pending_a = next_a;
          pending_b = next_b;
          under_way = true;
        }
      }
    }
    if (!io.cut()) continue;
    ++tally.cuts;
    tally.counts += io.counts();
    ASSERT_TRUE(io.ApplyCut().ok());
    Contents found_a, found_b;
    Inspect("A.TVX", found_a);
    Inspect("B.TVX", found_b);
    if (HasFatalFailure()) return;
    if (found_a == committed_a && found_b == committed_b) {
      if (under_way) ++tally.pending_absent;
    } else if (under_way && found_a == pending_a && found_b == pending_b) {
      ++tally.pending_present;
    } else {
      // How far back each file went, when it holds an earlier committed state.
      auto back = [&](const Contents& found, bool first) {
        for (size_t i = history.size(); i-- > 0;) {
          if ((first ? history[i].first : history[i].second) == found) return static_cast<int>(history.size() - i);
        }
        return -1;
      };
      ADD_FAILURE() << "round " << round << ": half applied or lost (A "
                    << (found_a == committed_a ? "old" : found_a == pending_a ? "new" : "neither") << ", B "
                    << (found_b == committed_b ? "old" : found_b == pending_b ? "new" : "neither")
                    << "; A is the state " << back(found_a, true) << " commits back, B " << back(found_b, false) << ")";
      return;
    }
    committed_a = found_a;
    committed_b = found_b;
  }
  tally.Print("two-file COMMIT");
  EXPECT_GE(tally.cuts, 300);
  EXPECT_GT(tally.counts.dropped, 0u);
  EXPECT_GT(tally.counts.torn, 0u);
}

// Two programs share the control file, each with a COMMIT over two files of its own, taking
// turns faster than the clock moves. A held journal of the first whose clearing never reached the
// disk must not be taken for the second's transaction: both programs' committed transactions
// outlive the cut, and the one under way is in both its files or in neither.
TEST_F(PowerCutTest, TwoProgramsSharingTheControlFileNeverUndoEachOthersCommits) {
  const char* names[4] = {"A.TVX", "B.TVX", "C.TVX", "D.TVX"};
  Contents committed[4];
  for (int f = 0; f < 4; ++f) MakeFile(names[f], committed[f]);
  if (HasFatalFailure()) return;
  std::mt19937_64 rng(47);
  uint32_t next_number = 1000;
  Tally tally;
  for (int round = 0; round < 250; ++round) {
    SCOPED_TRACE(testing::Message() << "round " << round);
    PowerCutFileIo io(dir_.string(), rng());
    Contents pending[4];
    int under_way = -1;  // the program whose COMMIT the cut struck
    {
      std::unique_ptr<PageStore> stores[4];
      for (int f = 0; f < 4; ++f) {
        ASSERT_TRUE(PageStore::Open(P(names[f]), options_, stores[f]).ok());
        stores[f]->set_io(&io);
      }
      ASSERT_TRUE(io.Arm(rng() % 120).ok());
      Transaction programs[2];
      for (Transaction& t : programs) t.set_io(&io);
      for (int turn = 0; turn < 4 && !io.cut(); ++turn) {
        const int program = turn % 2, first = 2 * program;
        Transaction& t = programs[program];
        Contents next[2] = {committed[first], committed[first + 1]};
        for (int i = 0; i < 2; ++i) {
          t.Logout(*stores[first + i]);
          BTree tree(*stores[first + i]);
          Change(tree, next[i], rng, next_number);
          if (HasFatalFailure()) return;
        }
        Status st = t.Commit();
        if (st.ok()) {
          committed[first] = next[0];
          committed[first + 1] = next[1];
          ++tally.committed_checked;
        } else {
          ASSERT_TRUE(io.cut()) << st.detail;
          pending[first] = next[0];
          pending[first + 1] = next[1];
          under_way = program;
        }
      }
    }
    if (!io.cut()) continue;
    ++tally.cuts;
    tally.counts += io.counts();
    ASSERT_TRUE(io.ApplyCut().ok());
    for (int program = 0; program < 2; ++program) {
      const int first = 2 * program;
      Contents found[2];
      Inspect(names[first], found[0]);
      Inspect(names[first + 1], found[1]);
      if (HasFatalFailure()) return;
      if (found[0] == committed[first] && found[1] == committed[first + 1]) {
        if (under_way == program) ++tally.pending_absent;
      } else if (under_way == program && found[0] == pending[first] && found[1] == pending[first + 1]) {
        ++tally.pending_present;
      } else {
        ADD_FAILURE() << "round " << round << ": program " << program << "'s files "
                      << (found[0] == committed[first] ? "old" : found[0] == pending[first] ? "new" : "neither") << " and "
                      << (found[1] == committed[first + 1] ? "old" : found[1] == pending[first + 1] ? "new" : "neither");
        return;
      }
      committed[first] = found[0];
      committed[first + 1] = found[1];
    }
  }
  tally.Print("two programs' COMMITs");
  EXPECT_GE(tally.cuts, 150);
  EXPECT_GT(tally.counts.dropped, 0u);
}

// The model itself: what a flush put on the disk stays; what was written after it is dropped,
// torn or kept; a file made after the directory's last flush may vanish.
TEST_F(PowerCutTest, TheModelKeepsFlushedBytesAndDecidesEveryLaterWriteOnItsOwn) {
  int dropped = 0, torn = 0, kept = 0, vanished = 0;
  for (uint64_t seed = 0; seed < 60; ++seed) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    PowerCutFileIo io(dir_.string(), seed);
    ASSERT_TRUE(io.Arm(4).ok());  // calls 0..3 below take effect; the cut strikes at the fifth
    int fd = ::open(P("F").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(io.Pwrite(fd, "flushed!", 8, 0), 8);
    ASSERT_EQ(io.Fdatasync(fd), 0);
    ASSERT_EQ(io.SyncDirectory(dir_.string()), 0);
    ASSERT_EQ(io.Pwrite(fd, "LATER", 5, 8), 5);
    int other = ::open(P("G").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(other, 0);
    EXPECT_EQ(io.Pwrite(other, "x", 1, 0), -1) << "the cut struck: nothing more is written";
    EXPECT_TRUE(io.cut());
    ::close(fd);
    ::close(other);
    ASSERT_TRUE(io.ApplyCut().ok());
    std::string f;
    {
      std::ifstream in(P("F"), std::ios::binary);
      f.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_GE(f.size(), 8u);
    EXPECT_EQ(f.substr(0, 8), "flushed!");
    std::string later = f.substr(8);
    EXPECT_EQ(later, std::string("LATER").substr(0, later.size()));
    if (later.empty()) ++dropped;
    else if (later.size() < 5) ++torn;
    else ++kept;
    if (!fs::exists(P("G"))) ++vanished;
  }
  EXPECT_GT(dropped, 0);
  EXPECT_GT(torn, 0);
  EXPECT_GT(kept, 0);
  EXPECT_GT(vanished, 0) << "G was made after the directory's flush";
}

// A file removed while the model runs (a journal played back and dropped as its file is opened)
// gives its inode number to the next file made, at once on most file systems. The new file is
// empty on the disk until its own writes reach it: it never shows the removed one's bytes,
// which would be a complete journal played back over the wrong file.
TEST_F(PowerCutTest, TheModelStartsANewFileEmptyEvenWhenItTakesTheInodeOfARemovedOne) {
  const std::string old_bytes = "a complete journal of another file";
  bool reused = false;
  for (uint64_t attempt = 0; attempt < 20 && !reused; ++attempt) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    { std::ofstream(P("OLD"), std::ios::binary) << old_bytes; }
    struct stat old_st {};
    ASSERT_EQ(::stat(P("OLD").c_str(), &old_st), 0);
    PowerCutFileIo io(dir_.string(), attempt);
    ASSERT_TRUE(io.Arm(1).ok());  // the directory's flush takes effect; the cut strikes at the write
    ASSERT_EQ(::unlink(P("OLD").c_str()), 0);
    int fd = ::open(P("NEW").c_str(), O_RDWR | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    struct stat st {};
    ASSERT_EQ(::fstat(fd, &st), 0);
    reused = st.st_ino == old_st.st_ino && st.st_dev == old_st.st_dev;
    ASSERT_EQ(io.SyncDirectory(dir_.string()), 0);  // NEW's name is on the disk, OLD's is gone
    EXPECT_EQ(io.Pwrite(fd, "x", 1, 0), -1);
    ::close(fd);
    ASSERT_TRUE(io.ApplyCut().ok());
    EXPECT_FALSE(fs::exists(P("OLD")));
    ASSERT_TRUE(fs::exists(P("NEW")));
    std::ifstream in(P("NEW"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "") << (reused ? "with the inode of the removed file" : "");
  }
  if (!reused) GTEST_SKIP() << "the file system never gave the removed file's inode to the new one";
}

}  // namespace
}  // namespace cinevo::isam
