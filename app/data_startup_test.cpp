// Start-up of the data layer: the native driver is there for the program's files, and a
// deferred BUILD is answered: queued on the event loop when one exists, at once before that.
#include "app/data_startup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "runtime/core/value_storage.h"
#include "runtime/data/dispatch.h"
#include "runtime/data/driver.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"

namespace cinevo::app {
namespace {

namespace fs = std::filesystem;

class DataStartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UnregisterDriver("TARVEX");
    isam::PageStoreOptions fast;
    fast.sync = false;  // nothing here needs to reach the disk
    isam::SetIsamStoreDefaults(fast);
    dir_ = fs::temp_directory_path() / ("data_startup_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    decl_.label = "GRUPA";
    decl_.name = (dir_ / "GRUPA.TVX").string();
    decl_.driver = "TARVEX";
    decl_.fields = {MakeField("GRU:ID", TypeCode::kLong, 0, 4), MakeField("GRU:NAME", TypeCode::kString, 4, 10)};
    decl_.keys = {MakeKey("GRU:KID", kKeyPrimary, {1}), MakeKey("GRU:KNAME", 0, {2})};
    report_ = std::tmpfile();
  }
  void TearDown() override {
    StopDataRuntime();
    if (report_) std::fclose(report_);
    fs::remove_all(dir_);
  }
  // A file of three groups appended without their keys, opened for building, its next BUILD
  // deferred.
  std::unique_ptr<FileControlBlock> MakeFile(std::vector<std::string> names = {"c", "b", "a"}) {
    auto f = std::make_unique<FileControlBlock>(decl_);
    EXPECT_EQ(Create(*f), 0);
    EXPECT_EQ(Open(*f, 0x12), 0);
    for (size_t i = 0; i < names.size(); ++i) {
      std::fill(f->record.begin(), f->record.end(), 0);
      StoreU32(f->record.data(), static_cast<uint32_t>(i + 1));
      StoreString(reinterpret_cast<char*>(f->record.data() + 4), 10, names[i]);
      EXPECT_EQ(Append(*f), 0);
    }
    BuildByEvents(*f, true);
    return f;
  }
  std::string Report() {
    std::fflush(report_);
    std::rewind(report_);
    std::string text;
    for (int c; (c = std::fgetc(report_)) != EOF;) text.push_back(static_cast<char>(c));
    return text;
  }

  fs::path dir_;
  FileDeclaration decl_;
  std::FILE* report_ = nullptr;
};

TEST_F(DataStartupTest, RegistersTheNativeDriver) {
  FileControlBlock before(decl_);
  EXPECT_EQ(Create(before), 80);  // no driver of that name yet
  StartDataRuntime(report_);
  StartDataRuntime(report_);  // twice is harmless
  ASSERT_NE(FindDriver("tarvex"), nullptr);
  EXPECT_EQ(FindDriver("tarvex")->banner, "Tarvex (TVX) Driver 1.00");
  EXPECT_EQ(Create(before), 0);  // the block binds to the driver registered since
}

TEST_F(DataStartupTest, WithoutAnEventLoopTheBuildIsAnsweredAtOnce) {
  StartDataRuntime(report_);
  auto f = MakeFile();
  ASSERT_EQ(BuildKey(*f, 1), 0);
  EXPECT_EQ(f->work->deferred.op, DriverOp::kNone);  // nothing left waiting
  EXPECT_EQ(f->state & kStateBuildInProgress, 0u);
  EXPECT_EQ(RecordsKey(*f, 1), 3);
  EXPECT_EQ(Report(), "");
}

TEST_F(DataStartupTest, WithAnEventLoopTheBuildWaitsForIt) {
  StartDataRuntime(report_);
  int argc = 1;
  char name[] = "data_startup_test";
  char* argv[] = {name};
  QCoreApplication loop(argc, argv);
  auto f = MakeFile();
  ASSERT_EQ(BuildKey(*f, 1), 0);
  EXPECT_EQ(f->work->deferred.op, DriverOp::kBuildKey);  // stored, the message on its way
  QCoreApplication::processEvents();
  EXPECT_EQ(f->work->deferred.op, DriverOp::kNone);
  EXPECT_EQ(RecordsKey(*f, 1), 3);
  // A block destroyed before its answer arrives is left alone.
  BuildByEvents(*f, true);
  ASSERT_EQ(BuildKey(*f, 1), 0);
  f.reset();
  QCoreApplication::processEvents();
  EXPECT_EQ(Report(), "");
}

TEST_F(DataStartupTest, AFailedDeferredBuildIsReported) {
  StartDataRuntime(report_);
  auto f = MakeFile({"a", "b", "a"});
  ASSERT_EQ(BuildKey(*f, 1), 0);  // the statement has returned before the build found the duplicate
  std::string report = Report();
  EXPECT_NE(report.find("BUILD of " + decl_.name.value() + " failed: error 40 Creates Duplicate Key"),
            std::string::npos)
      << report;
}

}  // namespace
}  // namespace cinevo::app
