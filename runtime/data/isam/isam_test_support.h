// Checks shared by the tests of the native driver.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include <memory>
#include <string>
#include <vector>

#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/format_check.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/isam/isam_file.h"
#include "runtime/data/isam/key_check.h"
#include "runtime/data/isam/page_store.h"

namespace cinevo::isam::test_support {

// Makes the driver ready for a test (registered, flushes to the device off) and gives the test
// a new directory of its own, named after `prefix`, the process and the test.
inline std::filesystem::path PrepareDriverTest(const std::string& prefix) {
  RegisterIsamDriver();
  PageStoreOptions o;
  o.sync = false;
  SetIsamStoreDefaults(o);
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              (prefix + "_" + std::to_string(::getpid()) + "_" +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::create_directories(dir);
  return dir;
}

// Opens `path` read-only and expects the format walk to find nothing wrong and, with `keys`,
// every key entry to match its data record and every counter its entries.
inline void ExpectFileClean(const std::string& path, bool keys = true) {
  PageStoreOptions o;
  o.read_only = true;
  std::unique_ptr<PageStore> store;
  ASSERT_TRUE(PageStore::Open(path, o, store).ok());
  std::vector<Violation> v;
  FileSummary s;
  ASSERT_TRUE(CheckFormat(*store, v, s).ok());
  for (const Violation& x : v) ADD_FAILURE() << x.where << ": " << x.text;
  if (!keys) return;
  std::unique_ptr<IsamFile> file;
  ASSERT_TRUE(IsamFile::Open(path, o, file).ok());
  KeyCheckResult result;
  ASSERT_TRUE(CrossCheckKeys(*file, result).ok());
  for (const KeyProblem& x : result.problems) ADD_FAILURE() << x.where << ": " << x.text;
}

// The LONG at the start of the record buffer: the id field of the tests' tables.
inline int32_t LeadingId(const FileControlBlock& f) { return static_cast<int32_t>(LoadU32(f.record.data())); }

// The ids of every record in the order of `key` (file order when negative), forwards or
// backwards; the walk must end with 33.
inline std::vector<int32_t> ReadIds(FileControlBlock& f, int key, bool forward = true) {
  std::vector<int32_t> ids;
  EXPECT_EQ(key < 0 ? Set(f) : SetKey(f, key), 0);
  while ((forward ? Next(f) : Previous(f)) == 0) ids.push_back(LeadingId(f));
  EXPECT_EQ(f.last_error, 33);
  return ids;
}

}  // namespace cinevo::isam::test_support
