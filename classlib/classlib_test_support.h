// Shared by the class library's tests: the catalogue's two files (groups and their movies) and a
// numbered file, declared in a test directory, and a driver that fails on cue.
//
// The "FAULTY" driver is the native driver with a script in front: for each operation a queue of
// results that are returned, in order, instead of calling the native driver. With an empty queue
// the operation goes through; `failAfter` lets a number of calls through before one fails. Texts
// sent with SEND are recorded.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "runtime/core/value_storage.h"
#include "runtime/data/driver.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/ui/message_box.h"

namespace cinevo {
// How a failed comparison of boxes prints them.
inline void PrintTo(const MessageBoxRequest& r, std::ostream* os) {
  *os << "{\"" << r.text << "\", \"" << r.title << "\", icon " << r.icon << ", buttons " << r.buttons
      << ", default " << r.defaultButton << "}";
}
}  // namespace cinevo

namespace cinevo::classlib::test_support {

struct FaultScript {
  std::map<DriverOp, std::deque<int>> results;
  std::vector<std::string> sent;
  std::map<DriverOp, int> calls;
  // {n, code}: the next n calls go through, the one after them returns `code` (once).
  std::map<DriverOp, std::pair<int, int>> failAfter;
  static FaultScript& Get() {
    static FaultScript script;
    return script;
  }
};

inline int FaultyEntry(DriverOp op, FileControlBlock& fcb, DriverArgs& args) {
  FaultScript& s = FaultScript::Get();
  ++s.calls[op];
  if (op == DriverOp::kSend) s.sent.emplace_back(args.text);
  if (auto f = s.failAfter.find(op); f != s.failAfter.end() && f->second.second != 0) {
    if (f->second.first > 0) {
      --f->second.first;
    } else {
      int code = f->second.second;
      f->second.second = 0;
      return code;
    }
  }
  auto it = s.results.find(op);
  if (it != s.results.end() && !it->second.empty()) {
    int r = it->second.front();
    it->second.pop_front();
    return r;
  }
  return isam::IsamRegistration().entry(op, fcb, args);
}

inline const DriverRegistration& FaultyRegistration() {
  static DriverRegistration reg = [] {
    DriverRegistration r = isam::IsamRegistration();
    r.name = "FAULTY";
    r.entry = &FaultyEntry;
    return r;
  }();
  return reg;
}

// Registers both drivers, switches flushing off and makes the test's own directory.
inline std::filesystem::path PrepareDir(const std::string& prefix) {
  isam::RegisterIsamDriver();
  RegisterDriver(FaultyRegistration());
  FaultScript::Get() = FaultScript{};
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

// Groups: GRU:SIFRA STRING(20), GRU:SFSEL STRING(1); key GRU:PRK on the name, OPT NOCASE.
inline FileDeclaration GroupDecl(const std::filesystem::path& dir, std::string driver = "TARVEX") {
  FileDeclaration d;
  d.label = "GRUPA";
  d.name = (dir / "GRUPA").string();
  d.driver = std::move(driver);
  d.prefix = "GRU";
  d.fields = {MakeField("GRU:SIFRA", TypeCode::kString, 0, 20), MakeField("GRU:SFSEL", TypeCode::kString, 20, 1)};
  d.keys = {MakeKey("GRU:PRK", kKeyOpt | kKeyNoCase, {1})};
  return d;
}

// Movies: POD:SIFRA (the group), POD:NASLOV (the path), POD:NASLOV2, POD:SFSEL; key POD:PRK on
// group and NASLOV2, DUP OPT NOCASE.
inline FileDeclaration MovieDecl(const std::filesystem::path& dir, std::string driver = "TARVEX") {
  FileDeclaration d;
  d.label = "PODGRU";
  d.name = (dir / "PODGRU").string();
  d.driver = std::move(driver);
  d.prefix = "POD";
  d.fields = {MakeField("POD:SIFRA", TypeCode::kString, 0, 20), MakeField("POD:NASLOV", TypeCode::kString, 20, 120),
              MakeField("POD:NASLOV2", TypeCode::kString, 140, 10), MakeField("POD:SFSEL", TypeCode::kString, 150, 1)};
  d.keys = {MakeKey("POD:PRK", kKeyDup | kKeyOpt | kKeyNoCase, {1, 3})};
  return d;
}

// Numbered records: NUM:ID LONG (key NUM:KID, primary), NUM:GRP STRING(8) and NUM:NO LONG (key
// NUM:KGRP on both, numbered per group), NUM:NAME STRING(10).
inline FileDeclaration NumberedDecl(const std::filesystem::path& dir, std::string driver = "TARVEX") {
  FileDeclaration d;
  d.label = "NUMS";
  d.name = (dir / "NUMS").string();
  d.driver = std::move(driver);
  d.fields = {MakeField("NUM:ID", TypeCode::kLong, 0, 4), MakeField("NUM:GRP", TypeCode::kString, 4, 8),
              MakeField("NUM:NO", TypeCode::kLong, 12, 4), MakeField("NUM:NAME", TypeCode::kString, 16, 10)};
  d.keys = {MakeKey("NUM:KID", kKeyPrimary, {1}), MakeKey("NUM:KGRP", 0, {2, -3})};
  return d;
}

inline void SetText(FileControlBlock& f, uint32_t offset, uint32_t size, std::string_view text) {
  StoreString(reinterpret_cast<char*>(f.record.data() + offset), size, text);
}

inline std::string Text(const FileControlBlock& f, uint32_t offset, uint32_t size) {
  std::string s(reinterpret_cast<const char*>(f.record.data() + offset), size);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace cinevo::classlib::test_support
