#include "tools/crashtest/crash_workload.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "runtime/data/isam/format_check.h"

namespace cinevo::crashtest {
namespace {

namespace fs = std::filesystem;

class CrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = (fs::temp_directory_path() /
            ("crashtest_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name()))
               .string();
    fs::create_directories(dir_);
    isam::SetControlFileName("");
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string dir_;
  isam::PageStoreOptions options_;
};

void ExpectNoFailures(const RunReport& r) {
  for (const auto& f : r.failures) ADD_FAILURE() << f;
}

TEST(CrashLog, PlansRoundTripAndACutEntryIsLeftOut) {
  Plan a{7, {{0, 'A', 3, "T7/0"}, {1, 'D', 9, "T7/1"}}};
  Plan b{8, {{1, 'P', 4, "T8/0"}}};
  std::string log = EncodePlan(a) + "C 7\n" + EncodePlan(b);
  auto entries = ParseLog(log);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].plan, a);
  EXPECT_EQ(entries[0].outcome, 1);
  EXPECT_EQ(entries[1].plan, b);
  EXPECT_EQ(entries[1].outcome, 0) << "COMMIT had not returned";
  EXPECT_EQ(ParseLog(log + "F 8\n")[1].outcome, -1);
  // A plan cut before its end line never counts, nor does a cut last line.
  EXPECT_EQ(ParseLog(EncodePlan(a) + "C 7\nB 8\nO 1 P 4 T8/0\n").size(), 1u);
  EXPECT_EQ(ParseLog(EncodePlan(a) + "C")[0].outcome, 0);
}

// A group renamed with its movies, then a group deleted with its movies: both files change in
// one transaction; ROLLBACK leaves both as they were, COMMIT changes both, and the files pass
// the consistency check either way.
TEST_F(CrashTest, CascadesOverTwoFilesCommitAndRollBackTogether) {
  std::unique_ptr<PatternTable> groups, movies;
  ASSERT_TRUE(PatternTable::Open(FilePath(dir_, 0), options_, groups).ok());
  ASSERT_TRUE(PatternTable::Open(FilePath(dir_, 1), options_, movies).ok());
  uint32_t g1 = 0, g2 = 0, m = 0;
  ASSERT_TRUE(groups->Add("G1", g1).ok());
  ASSERT_TRUE(groups->store().Commit().ok());
  ASSERT_TRUE(groups->Add("G2", g2).ok());
  ASSERT_TRUE(groups->store().Commit().ok());
  std::vector<uint32_t> of_g1, of_g2;
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(movies->Add((i % 2 ? "G1 movie " : "G2 movie ") + std::to_string(i), m).ok());
    (i % 2 ? of_g1 : of_g2).push_back(m);
  }
  ASSERT_TRUE(movies->store().Commit().ok());
  Records g_before, m_before;
  ASSERT_TRUE(groups->ReadAll(g_before).ok());
  ASSERT_TRUE(movies->ReadAll(m_before).ok());

  auto rename_g1 = [&] {
    bool found = false;
    ASSERT_TRUE(groups->Put(g1, "G1 renamed", found).ok());
    for (uint32_t r : of_g1) ASSERT_TRUE(movies->Put(r, "G1 renamed movie", found).ok());
  };
  isam::Transaction t;
  t.Logout(groups->store());
  t.Logout(movies->store());
  rename_g1();
  t.Rollback();
  Records g, ms;
  ASSERT_TRUE(groups->ReadAll(g).ok());
  ASSERT_TRUE(movies->ReadAll(ms).ok());
  EXPECT_EQ(g, g_before);
  EXPECT_EQ(ms, m_before);

  t.Logout(groups->store());
  t.Logout(movies->store());
  rename_g1();
  bool found = false;
  ASSERT_TRUE(groups->Erase(g2, found).ok());
  for (uint32_t r : of_g2) ASSERT_TRUE(movies->Erase(r, found).ok());
  ASSERT_TRUE(t.Commit().ok());
  groups.reset();
  movies.reset();

  State state;
  std::vector<std::string> problems;
  ASSERT_TRUE(Inspect(dir_, options_, state, problems).ok());
  EXPECT_TRUE(problems.empty()) << problems.front();
  EXPECT_EQ(state[0].size(), 1u);
  EXPECT_EQ(state[0][g1], PatternTable::Pad("G1 renamed"));
  ASSERT_EQ(state[1].size(), of_g1.size());
  for (const auto& [recno, text] : state[1]) EXPECT_EQ(text, PatternTable::Pad("G1 renamed movie"));
}

TEST_F(CrashTest, KilledWorkersNeverLeaveATornTransaction) {
  RunReport r = RunKills(dir_, 16, 42, 150000, options_);
  ExpectNoFailures(r);
  EXPECT_EQ(r.interruptions, 16);
  EXPECT_GT(r.committed, 0);
  EXPECT_LE(r.pending_present + r.pending_absent, 16);
}

TEST_F(CrashTest, InjectedFaultsNeverLeaveATornTransaction) {
  RunReport r = RunFaults(dir_, 40, 7, options_);
  ExpectNoFailures(r);
  EXPECT_GT(r.interruptions, 8);
  EXPECT_GT(r.failed_commits, 0);
  EXPECT_GT(r.committed, 0);
}

// The workload under losses of power: every COMMIT that returned is found, the one under way
// wholly or not at all, and both files pass the consistency check after every cut.
TEST_F(CrashTest, PowerCutsNeverLoseACommittedTransactionNorLeaveATornOne) {
  RunReport r = RunPowerCuts(dir_, 120, 11, options_);
  ExpectNoFailures(r);
  EXPECT_EQ(r.interruptions, 120);
  EXPECT_GT(r.committed, 0);
  // A COMMIT returns only once its commit point is on the disk, so the one a cut interrupts is
  // always found absent.
  EXPECT_EQ(r.pending_present, 0);
  EXPECT_GT(r.pending_absent, 0);
  EXPECT_GT(r.power.dropped, 0u);
  EXPECT_GT(r.power.torn, 0u);
  std::cout << "crash workload: " << r.interruptions << " power cuts; writes dropped " << r.power.dropped << ", torn "
            << r.power.torn << ", kept " << r.power.kept << "; file entries dropped " << r.power.entries_dropped
            << ", kept " << r.power.entries_kept << "; " << r.committed << " committed transactions found, "
            << r.pending_present << " under way found whole, " << r.pending_absent << " found absent\n";
}

}  // namespace
}  // namespace cinevo::crashtest
