#include "runtime/data/isam/isam_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

bool HasPrefix(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

}  // namespace

FileName SplitFileName(std::string_view name) {
  for (size_t at = name.find("\\!"); at != std::string_view::npos; at = name.find("\\!", at + 1)) {
    std::string before(name.substr(0, at));
    if (!IsDirectory(before)) return {before, Upper(name.substr(at + 2))};
  }
  return {std::string(name), std::string(kUnnamedTable)};
}

std::string ResolvePhysicalPath(std::string_view physical) {
  std::filesystem::path path{std::string(physical)};
  if (!path.has_extension()) path += std::string(kDefaultExtension);
  std::string exact = path.string();
  if (Exists(exact)) return exact;
  std::filesystem::path dir = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
  std::string wanted = Upper(path.filename().string());
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    if (Upper(entry.path().filename().string()) == wanted) {
      return (path.parent_path().empty() ? entry.path().filename() : entry.path()).string();
    }
  }
  return exact;
}

Status CheckTableLimits(const TableDeclaration& decl) {
  size_t data = 9 + size_t{decl.record_length};
  if (data > kMaxTreeRecord) {
    return Status::Error(kErrInvalidRecordDeclaration,
                         "record length " + std::to_string(decl.record_length) + " exceeds the largest storable record (" +
                             std::to_string(kMaxTreeRecord - 9) + " bytes)");
  }
  if (LongestKeyEntry(decl) > kMaxTreeRecord) {
    return Status::Error(kErrInvalidRecordDeclaration, "a key is longer than the largest storable key entry");
  }
  return Status::Ok();
}

Status IsamFile::Open(const std::string& path, const PageStoreOptions& options, std::unique_ptr<IsamFile>& out) {
  std::unique_ptr<PageStore> store;
  ISAM_RETURN_IF_ERROR(PageStore::Open(path, options, store));
  out.reset(new IsamFile(std::move(store)));
  return Status::Ok();
}

Status IsamFile::Create(const std::string& path, const PageStoreOptions& options, std::unique_ptr<IsamFile>& out) {
  std::unique_ptr<PageStore> store;
  ISAM_RETURN_IF_ERROR(PageStore::Create(path, options, store));
  out.reset(new IsamFile(std::move(store)));
  return Status::Ok();
}

Status IsamFile::ListTables(std::vector<TableInfo>& out) {
  out.clear();
  std::string key(1, static_cast<char>(kTagTableName));
  Record r;
  bool found = false;
  ISAM_RETURN_IF_ERROR(tree_.AtOrAfter(key, r, found));
  while (found && ClassifyKey(r.key()) == RecordKind::kTableName) {
    if (r.bytes.size() - r.key_length != 4) return Status::Internal(kCheckRecordFields, "table name record without a number");
    out.push_back({std::string(r.key().substr(1)), GetBe32(Bytes(r.bytes) + r.key_length)});
    key.assign(r.key());
    ISAM_RETURN_IF_ERROR(tree_.After(key, r, found));
  }
  return Status::Ok();
}

Status IsamFile::FindTable(std::string_view upper_name, uint32_t& number, bool& found) {
  Record r;
  ISAM_RETURN_IF_ERROR(tree_.Find(TableNameKey(upper_name), r, found));
  if (!found) return Status::Ok();
  if (r.bytes.size() - r.key_length != 4) return Status::Internal(kCheckRecordFields, "table name record without a number");
  number = GetBe32(Bytes(r.bytes) + r.key_length);
  return Status::Ok();
}

Status IsamFile::ReadDeclaration(uint32_t table, TableDeclaration& out) {
  // Blocks carry their number little-endian, so blocks 256 and above do not follow in key
  // order: fetch each by its number.
  std::string stream;
  for (uint32_t block = 0; block <= 0xFFFF; ++block) {
    Record r;
    bool found = false;
    ISAM_RETURN_IF_ERROR(tree_.Find(DeclarationKey(table, static_cast<uint16_t>(block)), r, found));
    if (!found) break;
    stream.append(r.bytes, r.key_length, std::string::npos);
  }
  if (stream.empty()) return Status::Internal(kCheckDeclaration, "table " + std::to_string(table) + " has no declaration");
  return DecodeDeclaration(stream, out);
}

Status IsamFile::ReadCounters(uint32_t table, uint8_t which, uint32_t& entries, uint32_t& mark, bool& found) {
  Record r;
  ISAM_RETURN_IF_ERROR(tree_.Find(CountersKey(table, which), r, found));
  if (!found) return Status::Ok();
  if (r.bytes.size() - r.key_length != 8) return Status::Internal(kCheckRecordFields, "counters record of the wrong size");
  entries = GetLe32(Bytes(r.bytes) + r.key_length);
  mark = GetLe32(Bytes(r.bytes) + r.key_length + 4);
  return Status::Ok();
}

Status IsamFile::AddTable(std::string_view upper_name, const TableDeclaration& decl, uint32_t& number) {
  ISAM_RETURN_IF_ERROR(store_->Refresh());
  Status st = [&]() -> Status {
    ISAM_RETURN_IF_ERROR(store_->IssueNumber(number));
    bool existed = false;
    std::string payload;
    AppendBe32(payload, number);
    ISAM_RETURN_IF_ERROR(tree_.Insert(MakeRecord(TableNameKey(upper_name), payload), existed));
    if (existed) return Status::Error(kErrInvalidFilename, "table exists");
    std::string stream = EncodeDeclaration(decl);
    for (size_t block = 0; block * kDeclarationBlockSize < stream.size(); ++block) {
      if (block > 0xFFFF) return Status::Error(kErrInvalidRecordDeclaration, "declaration too long");
      std::string_view part = std::string_view(stream).substr(block * kDeclarationBlockSize, kDeclarationBlockSize);
      ISAM_RETURN_IF_ERROR(tree_.Insert(MakeRecord(DeclarationKey(number, static_cast<uint16_t>(block)), part), existed));
    }
    ISAM_RETURN_IF_ERROR(tree_.Insert(CountersRecord(number, kTagData, 0, 0), existed));
    for (size_t k = 0; k < decl.keys.size() && k <= kMaxKeyNumber; ++k) {
      ISAM_RETURN_IF_ERROR(tree_.Insert(CountersRecord(number, static_cast<uint8_t>(k), 0, 0), existed));
    }
    return store_->Commit();
  }();
  if (!st.ok()) store_->Abort();
  return st;
}

Status IsamFile::RemoveTable(std::string_view upper_name, uint32_t number) {
  ISAM_RETURN_IF_ERROR(store_->Refresh());
  Status st = [&]() -> Status {
    std::string prefix = TablePrefix(number);
    Record r;
    bool found = false;
    ISAM_RETURN_IF_ERROR(tree_.AtOrAfter(prefix, r, found));
    while (found && HasPrefix(r.key(), prefix)) {
      std::string key(r.key());
      bool erased = false;
      ISAM_RETURN_IF_ERROR(tree_.Erase(key, erased));
      ISAM_RETURN_IF_ERROR(tree_.After(key, r, found));
    }
    bool erased = false;
    ISAM_RETURN_IF_ERROR(tree_.Erase(TableNameKey(upper_name), erased));
    return store_->Commit();
  }();
  if (!st.ok()) store_->Abort();
  return st;
}

Status OpenTable(std::string_view name, const TableDeclaration* program, const PageStoreOptions& options,
                 OpenedTable& out) {
  FileName fn = SplitFileName(name);
  std::string path = ResolvePhysicalPath(fn.physical);
  std::unique_ptr<IsamFile> file;
  ISAM_RETURN_IF_ERROR(IsamFile::Open(path, options, file));
  uint32_t number = 0;
  bool found = false;
  ISAM_RETURN_IF_ERROR(file->FindTable(fn.table, number, found));
  if (!found) return Status::Error(kErrFileNotFound, "no table " + fn.table + " in " + path);
  TableDeclaration stored;
  ISAM_RETURN_IF_ERROR(file->ReadDeclaration(number, stored));
  if (program) {
    std::string diff = CompareDeclarations(stored, *program);
    if (!diff.empty()) return Status::Error(kErrInvalidRecordDeclaration, "declaration differs: " + diff);
  }
  ISAM_RETURN_IF_ERROR(CheckTableLimits(stored));
  out.file = std::move(file);
  out.number = number;
  out.table = fn.table;
  out.declaration = std::move(stored);
  return Status::Ok();
}

Status CreateTable(std::string_view name, const TableDeclaration& program, const PageStoreOptions& options,
                   OpenedTable& out) {
  ISAM_RETURN_IF_ERROR(CheckTableLimits(program));
  FileName fn = SplitFileName(name);
  std::string path = ResolvePhysicalPath(fn.physical);
  std::unique_ptr<IsamFile> file;
  bool fresh = !Exists(path);
  if (!fresh) {
    Status st = IsamFile::Open(path, options, file);
    if (!st.ok() && st.code != kErrInvalidDataFile) return st;
    std::vector<TableInfo> tables;
    if (st.ok()) ISAM_RETURN_IF_ERROR(file->ListTables(tables));
    bool only_this = std::all_of(tables.begin(), tables.end(), [&](const TableInfo& t) { return t.name == fn.table; });
    if (only_this) {
      file.reset();
      fresh = true;
    } else {
      for (const TableInfo& t : tables) {
        if (t.name == fn.table) ISAM_RETURN_IF_ERROR(file->RemoveTable(t.name, t.number));
      }
    }
  }
  if (fresh) ISAM_RETURN_IF_ERROR(IsamFile::Create(path, options, file));
  uint32_t number = 0;
  ISAM_RETURN_IF_ERROR(file->AddTable(fn.table, program, number));
  out.file = std::move(file);
  out.number = number;
  out.table = fn.table;
  out.declaration = program;
  return Status::Ok();
}

}  // namespace cinevo::isam
