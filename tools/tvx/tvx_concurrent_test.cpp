// tvx commands run by several programs on one file at once: two import loops lose no batch and
// never report one that is not there; checks beside an import and rebuild loop find no damage
// and never hang. Each program is a forked process running the command functions.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "runtime/data/file_statements.h"
#include "tools/tvx/tvx_check.h"
#include "tools/tvx/tvx_create.h"
#include "tools/tvx/tvx_import.h"
#include "tools/tvx/tvx_rebuild.h"
#include "tools/tvx/tvx_table.h"
#include "tools/tvx/tvx_test_support.h"

namespace cinevo::tvx {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kBatch = 20;

class TvxConcurrent : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tvx_concurrent_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    file_ = (dir_ / "LOG.TVX").string();
    std::ofstream(dir_ / "decl.txt") << "FIELD LOG:ID LONG\nFIELD LOG:WHO STRING(8)\nMEMO LOG:NOTE 200\n"
                                        "KEY LOG:KID LOG:ID PRIMARY\nKEY LOG:KWHO LOG:WHO,LOG:ID\n";
    std::string out, err;
    ASSERT_EQ(Invoke(RunCreate, {file_, (dir_ / "decl.txt").string()}, out, err), 0) << err;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Forks a program that runs `body` until `seconds` have passed; its exit status is what
  // body returns (capped at 255).
  template <typename Body>
  pid_t Spawn(double seconds, Body body) {
    pid_t pid = ::fork();
    if (pid == 0) {
      auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
      int result = body(end);
      ::_exit(result > 255 ? 255 : result);
    }
    return pid;
  }

  // The exit status of `pid`, waiting at most `limit`; -1 (after killing it) when it hangs.
  static int Await(pid_t pid, std::chrono::seconds limit) {
    auto end = Clock::now() + limit;
    for (;;) {
      int status = 0;
      pid_t got = ::waitpid(pid, &status, WNOHANG);
      if (got == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
      if (Clock::now() > end) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  int64_t RecordsInFile() {
    std::string out, err;
    EXPECT_EQ(Invoke(RunCheck, {file_}, out, err), 0) << out << err;
    ToolTable t;
    std::string error;
    EXPECT_EQ(OpenToolTable(file_, false, t, error), 0) << error;
    return t.fcb ? Records(*t.fcb) : -1;
  }

  fs::path dir_;
  std::string file_;
};

// An import loop: each batch gets ids of its own; returns the number of imports that reported
// success, or 255 when one reported success wrongly (its count line missing).
int ImportLoop(const std::string& file, const std::string& batch_dir, const std::string& who, int base,
               Clock::time_point end) {
  int reported = 0;
  for (int n = 0; Clock::now() < end && reported < 250; ++n) {
    std::string path = batch_dir + "/" + who + ".csv";
    {
      std::ofstream csv(path);
      csv << "ID,WHO\n";
      for (int i = 0; i < kBatch; ++i) csv << base + n * kBatch + i << "," << who << "\n";
    }
    std::string out, err;
    int status = Invoke(RunImport, {file, "--csv", path}, out, err);
    if (status == 0) {
      if (out.find(std::to_string(kBatch) + " records imported") == std::string::npos) return 255;
      ++reported;
    }
  }
  return reported;
}

TEST_F(TvxConcurrent, TwoImportLoopsLoseNoBatch) {
  std::string dir = dir_.string();
  std::string file = file_;
  pid_t a = Spawn(4.0, [&](Clock::time_point end) { return ImportLoop(file, dir, "A", 1000000, end); });
  pid_t b = Spawn(4.0, [&](Clock::time_point end) { return ImportLoop(file, dir, "B", 2000000, end); });
  int done_a = Await(a, std::chrono::seconds(120));
  int done_b = Await(b, std::chrono::seconds(120));
  ASSERT_GE(done_a, 1);
  ASSERT_GE(done_b, 1);
  ASSERT_LT(done_a, 255);
  ASSERT_LT(done_b, 255);
  EXPECT_EQ(RecordsInFile(), int64_t{done_a + done_b} * kBatch) << done_a << " + " << done_b << " imports reported";
}

TEST_F(TvxConcurrent, ChecksBesideImportsAndRebuildsFindNoDamageAndEnd) {
  std::string dir = dir_.string();
  std::string file = file_;
  pid_t writer = Spawn(4.0, [&](Clock::time_point end) {
    int n = 0;
    for (; Clock::now() < end; ++n) {
      ImportLoop(file, dir, "W", 3000000 + n * 10000, Clock::now() + std::chrono::milliseconds(1));
      std::string out, err;
      Invoke(RunRebuild, {file}, out, err);
    }
    return 0;
  });
  pid_t checker = Spawn(4.0, [&](Clock::time_point end) {
    int bad = 0, checks = 0;
    for (; Clock::now() < end; ++checks) {
      std::string out, err;
      int status = Invoke(RunCheck, {file}, out, err);
      if (status != 0) {
        std::fprintf(stderr, "check %d: status %d\n%s%s", checks, status, out.c_str(), err.c_str());
        ++bad;
      }
    }
    return checks == 0 ? 254 : bad;
  });
  int writer_status = Await(writer, std::chrono::seconds(120));
  int checker_status = Await(checker, std::chrono::seconds(120));
  EXPECT_EQ(writer_status, 0);
  EXPECT_EQ(checker_status, 0) << "checks that reported damage (-1: a check hung)";
  EXPECT_GT(RecordsInFile(), 0);
}

}  // namespace
}  // namespace cinevo::tvx
