// A short run of the cascade crash test, and the checker catching the faults it is there for.
#include "tools/crashtest/cascade/cascade_workload.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/catalogue.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"

namespace cinevo::crashtest {
namespace {

namespace fs = std::filesystem;

fs::path TestDir() {
  fs::path dir = fs::temp_directory_path() /
                 ("cascade_" + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

void Put(FileControlBlock& f, uint32_t offset, uint32_t size, std::string_view text) {
  StoreString(reinterpret_cast<char*>(f.record.data() + offset), size, text);
}

TEST(CascadeCrashTest, KilledRenamesAndDeletesLeaveWholeGroups) {
  fs::path dir = TestDir();
  CascadeReport r = RunCascadeKills(dir.string(), 12, 20261208, 600000, 300);
  for (const std::string& f : r.failures) ADD_FAILURE() << f;
  EXPECT_EQ(r.kills, 12);
  EXPECT_GT(r.completed + r.interruptedApplied + r.interruptedAbsent, 0);
  std::cout << "cascade: " << r.kills << " kills, " << r.completed << " completed (" << r.renames << " renames, "
            << r.deletes << " deletes), " << r.interruptedApplied << " interrupted found whole, "
            << r.interruptedAbsent << " found absent\n";
  fs::remove_all(dir);
}

// The checker's own faults to find: movies split between two names, movies without a group.
TEST(CascadeCrashTest, TheCheckerFindsSplitAndOrphanedMovies) {
  fs::path dir = TestDir();
  isam::RegisterIsamDriver();
  {
    app::Catalogue c(dir.string());
    ASSERT_EQ(Create(c.GroupFile()), 0);
    ASSERT_EQ(Create(c.MovieFile()), 0);
    ASSERT_EQ(Open(c.GroupFile(), 0x42), 0);
    ASSERT_EQ(Open(c.MovieFile(), 0x42), 0);
    for (const char* g : {"G1r0", "G1r1", "G2r0"}) {
      std::fill(c.GroupFile().record.begin(), c.GroupFile().record.end(), ' ');
      Put(c.GroupFile(), 0, 20, g);
      ASSERT_EQ(Add(c.GroupFile()), 0);
    }
    struct M {
      const char* group;
      const char* path;
    };
    for (M m : {M{"G1r0", "/movies/1/0.avi"}, M{"G1r1", "/movies/1/1.avi"}, M{"G3r0", "/movies/3/0.avi"}}) {
      std::fill(c.MovieFile().record.begin(), c.MovieFile().record.end(), ' ');
      Put(c.MovieFile(), 0, 20, m.group);
      Put(c.MovieFile(), 20, 120, m.path);
      ASSERT_EQ(Add(c.MovieFile()), 0);
    }
    Close(c.GroupFile());
    Close(c.MovieFile());
  }
  CascadeState s;
  std::vector<std::string> problems;
  EXPECT_FALSE(ReadCascadeState(dir.string(), s, problems));
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_EQ(problems[0], "unexpected group G1r1");  // a second group of the same number
  EXPECT_EQ(problems[1].rfind("movies of group 1 carry several names: G1r0(1) G1r1(1)", 0), 0u) << problems[1];
  EXPECT_EQ(problems[2], "movies of G3r0 have no group");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace cinevo::crashtest
