// Files for the VIEW engine's tests: the catalogue's groups and movies (and a file of tags per
// movie path for three-file joins) as native data files in a directory of the test's own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/view/view.h"

namespace cinevo::view_test {

inline std::filesystem::path TestDirectory(const std::string& prefix) {
  isam::RegisterIsamDriver();
  isam::PageStoreOptions o;
  o.sync = false;
  isam::SetIsamStoreDefaults(o);
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              (prefix + "_" + std::to_string(::getpid()) + "_" +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

// GRUPA: GRU:SIFRA STRING(20), GRU:SFSEL STRING(1); key GRU:PRK (SIFRA) OPT NOCASE.
inline FileDeclaration Groups(const std::filesystem::path& dir) {
  FileDeclaration d;
  d.label = "GRUPA";
  d.name = (dir / "GRUPA").string();
  d.driver = "TARVEX";
  d.attributes = kFileCreate;
  d.fields = {MakeField("GRU:SIFRA", TypeCode::kString, 0, 20), MakeField("GRU:SFSEL", TypeCode::kString, 20, 1)};
  d.keys = {MakeKey("GRU:PRK", kKeyOpt | kKeyNoCase, {1})};
  return d;
}

// PODGRU: SIFRA STRING(20), NASLOV STRING(120), NASLOV2 STRING(10), SFSEL STRING(1);
// key POD:PRK (SIFRA, NASLOV2) DUP OPT NOCASE.
inline FileDeclaration Movies(const std::filesystem::path& dir) {
  FileDeclaration d;
  d.label = "PODGRU";
  d.name = (dir / "PODGRU").string();
  d.driver = "TARVEX";
  d.attributes = kFileCreate;
  d.fields = {MakeField("POD:SIFRA", TypeCode::kString, 0, 20), MakeField("POD:NASLOV", TypeCode::kString, 20, 120),
              MakeField("POD:NASLOV2", TypeCode::kString, 140, 10), MakeField("POD:SFSEL", TypeCode::kString, 150, 1)};
  d.keys = {MakeKey("POD:PRK", kKeyDup | kKeyOpt | kKeyNoCase, {1, 3})};
  return d;
}

// OZNAKE: OZN:NASLOV STRING(120), OZN:TAG STRING(12), OZN:OCJENA LONG; key OZN:KEY (NASLOV, TAG) DUP.
inline FileDeclaration Tags(const std::filesystem::path& dir) {
  FileDeclaration d;
  d.label = "OZNAKE";
  d.name = (dir / "OZNAKE").string();
  d.driver = "TARVEX";
  d.attributes = kFileCreate;
  d.fields = {MakeField("OZN:NASLOV", TypeCode::kString, 0, 120), MakeField("OZN:TAG", TypeCode::kString, 120, 12),
              MakeField("OZN:OCJENA", TypeCode::kLong, 132, 4)};
  d.keys = {MakeKey("OZN:KEY", kKeyDup, {1, 2})};
  return d;
}

inline void PutText(FileControlBlock& f, int field, std::string_view text) {
  const FieldDeclaration& d = f.declaration->fields[field - 1];
  StoreString(reinterpret_cast<char*>(f.record.data() + d.offset), d.size, text);
}

inline std::string Text(const FileControlBlock& f, int field) {
  const FieldDeclaration& d = f.declaration->fields[field - 1];
  std::string s(reinterpret_cast<const char*>(f.record.data() + d.offset), d.size);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

inline void AddGroup(FileControlBlock& g, std::string_view name) {
  PutText(g, 1, name);
  PutText(g, 2, "");
  ASSERT_EQ(Add(g), 0);
}

inline void AddMovie(FileControlBlock& m, std::string_view group, std::string_view path) {
  PutText(m, 1, group);
  PutText(m, 2, path);
  PutText(m, 3, path.substr(0, std::min<size_t>(10, path.size())));
  PutText(m, 4, "");
  ASSERT_EQ(Add(m), 0);
}

inline void AddTag(FileControlBlock& t, std::string_view path, std::string_view tag, int32_t score) {
  PutText(t, 1, path);
  PutText(t, 2, tag);
  StoreU32(t.record.data() + 132, static_cast<uint32_t>(score));
  ASSERT_EQ(Add(t), 0);
}

// Creates the file and opens it shared, as the application does.
inline void CreateShared(FileControlBlock& f) {
  ASSERT_EQ(Create(f), 0);
  ASSERT_EQ(Share(f, 0x42), 0);
}

}  // namespace cinevo::view_test
