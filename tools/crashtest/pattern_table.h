// A table of fixed 32-byte text records in a data file, written straight through the tree
// (data records and their counter, no keys): the data the crash test changes and checks.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "runtime/data/isam/isam_file.h"

namespace cinevo::crashtest {

inline constexpr size_t kPatternLength = 32;
using Records = std::map<uint32_t, std::string>;  // record number -> text (blank-padded)

class PatternTable {
 public:
  // Opens the file's table "PATTERN", creating file and table when missing.
  static isam::Status Open(const std::string& path, const isam::PageStoreOptions& options,
                           std::unique_ptr<PatternTable>& out);

  isam::PageStore& store() { return file_->store(); }

  // Changes in the cache only; the caller commits (or a transaction does).
  isam::Status Add(const std::string& text, uint32_t& recno);
  isam::Status Put(uint32_t recno, const std::string& text, bool& found);
  isam::Status Erase(uint32_t recno, bool& found);
  isam::Status ReadAll(Records& out);

  static std::string Pad(const std::string& text);

 private:
  isam::Status AdjustCount(int delta);

  std::unique_ptr<isam::IsamFile> file_;
  uint32_t table_ = 0;
};

}  // namespace cinevo::crashtest
