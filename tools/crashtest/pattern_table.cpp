#include "tools/crashtest/pattern_table.h"

#include <sys/stat.h>

#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::crashtest {

using isam::Status;

namespace {

isam::TableDeclaration Declaration() {
  isam::TableDeclaration d;
  d.record_length = kPatternLength;
  isam::StreamField text;
  text.type = 18;  // STRING
  text.name = "PAT:TEXT";
  text.length = kPatternLength;
  text.declared_length = kPatternLength;
  d.fields = {text};
  return d;
}

}  // namespace

std::string PatternTable::Pad(const std::string& text) {
  std::string s = text.substr(0, kPatternLength);
  s.resize(kPatternLength, ' ');
  return s;
}

Status PatternTable::Open(const std::string& path, const isam::PageStoreOptions& options,
                          std::unique_ptr<PatternTable>& out) {
  std::unique_ptr<PatternTable> t(new PatternTable());
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    ISAM_RETURN_IF_ERROR(isam::IsamFile::Create(path, options, t->file_));
  } else {
    ISAM_RETURN_IF_ERROR(isam::IsamFile::Open(path, options, t->file_));
  }
  bool found = false;
  ISAM_RETURN_IF_ERROR(t->file_->FindTable("PATTERN", t->table_, found));
  if (!found) ISAM_RETURN_IF_ERROR(t->file_->AddTable("PATTERN", Declaration(), t->table_));
  out = std::move(t);
  return Status::Ok();
}

Status PatternTable::AdjustCount(int delta) {
  uint32_t entries = 0, mark = 0;
  bool found = false;
  ISAM_RETURN_IF_ERROR(file_->ReadCounters(table_, isam::kTagData, entries, mark, found));
  bool replaced = false;
  return file_->tree().Replace(isam::CountersRecord(table_, isam::kTagData, entries + delta, mark), replaced);
}

Status PatternTable::Add(const std::string& text, uint32_t& recno) {
  ISAM_RETURN_IF_ERROR(store().IssueNumber(recno));
  bool existed = false;
  ISAM_RETURN_IF_ERROR(file_->tree().Insert(isam::MakeRecord(isam::DataKey(table_, recno), Pad(text)), existed));
  if (existed) return Status::Internal(isam::kCheckTableCounter, "record number issued twice");
  return AdjustCount(1);
}

Status PatternTable::Put(uint32_t recno, const std::string& text, bool& found) {
  return file_->tree().Replace(isam::MakeRecord(isam::DataKey(table_, recno), Pad(text)), found);
}

Status PatternTable::Erase(uint32_t recno, bool& found) {
  ISAM_RETURN_IF_ERROR(file_->tree().Erase(isam::DataKey(table_, recno), found));
  return found ? AdjustCount(-1) : Status::Ok();
}

Status PatternTable::ReadAll(Records& out) {
  out.clear();
  std::string key = isam::DataKey(table_, 0);
  for (;;) {
    isam::Record r;
    bool found = false;
    ISAM_RETURN_IF_ERROR(file_->tree().After(key, r, found));
    if (!found || r.key_length != 9 || r.key().substr(0, 5) != key.substr(0, 5)) break;
    key.assign(r.key());
    uint32_t recno = isam::GetBe32(reinterpret_cast<const uint8_t*>(r.bytes.data()) + 5);
    out[recno] = r.bytes.substr(r.key_length);
  }
  return Status::Ok();
}

}  // namespace cinevo::crashtest
