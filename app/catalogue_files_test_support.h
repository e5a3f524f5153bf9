// Test support: the catalogue's two data files (GRUPA and PODGRU) made new in a folder of the
// test's own and opened through control blocks, for tests that write them directly. The files
// are written without flushes: a test needs no durability.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "app/catalogue.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"

namespace cinevo::app::test {

class CatalogueFilesTest : public ::testing::Test {
 protected:
  // An empty folder named after `prefix`, the process and the running test.
  static std::filesystem::path FreshFolder(std::string_view prefix) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                (std::string(prefix) + "_" + std::to_string(::getpid()) + "_" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
  }
  // Creates both files in `folder` (made when missing); they are left open.
  void MakeFiles(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    isam::RegisterIsamDriver();
    isam::PageStoreOptions fast;
    fast.sync = false;
    isam::SetIsamStoreDefaults(fast);
    group_decl_ = GroupDeclaration(folder.string());
    movie_decl_ = MovieDeclaration(folder.string());
    groups_ = std::make_unique<FileControlBlock>(group_decl_);
    movies_ = std::make_unique<FileControlBlock>(movie_decl_);
    ASSERT_EQ(Create(*groups_), 0);
    ASSERT_EQ(Create(*movies_), 0);
  }
  void CloseFiles() {
    if (groups_ && groups_->IsOpen()) Close(*groups_);
    if (movies_ && movies_->IsOpen()) Close(*movies_);
    groups_.reset();
    movies_.reset();
  }

  FileDeclaration group_decl_, movie_decl_;
  std::unique_ptr<FileControlBlock> groups_, movies_;
};

}  // namespace cinevo::app::test
