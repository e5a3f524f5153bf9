// The file manager on the native driver, with the user replaced by a script: opening (lazy,
// counted, created, locked, damaged), inserting, updating against another station, reading on,
// automatic numbering, and saving and restoring buffers and positions.
#include "classlib/file_manager.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "classlib/classlib_test_support.h"
#include "runtime/core/eval_symbols.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"
#include "runtime/ui/message_box.h"

namespace cinevo::classlib {
namespace {

namespace fs = std::filesystem;
using namespace test_support;
using box_button::kNo;
using box_button::kOk;
using box_button::kYes;

constexpr int kInformation = 32516;

class FileManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = PrepareDir("file_manager");
    errors_.Init();
  }
  void TearDown() override {
    for (auto& m : managers_) m->Kill();
    managers_.clear();
    files_.clear();
    errors_.Kill();
    fs::remove_all(dir_);
  }
  FileManager& Manage(const FileDeclaration& decl, std::string name, bool keys = true) {
    decls_.push_back(std::make_unique<FileDeclaration>(decl));
    files_.push_back(std::make_unique<FileControlBlock>(*decls_.back()));
    managers_.push_back(std::make_unique<FileManager>());
    FileManager& m = *managers_.back();
    m.Init(*files_.back(), errors_);
    m.fileNameValue = std::move(name);
    for (size_t k = 0; keys && k < decl.keys.size(); ++k) m.AddKey(static_cast<int>(k), decl.keys[k].label, 0);
    return m;
  }
  FileManager& Groups(std::string driver = "TARVEX") { return Manage(GroupDecl(dir_, driver), "Grupa"); }
  FileManager& Movies() { return Manage(MovieDecl(dir_), "PodGru"); }
  // A second program's view of a file: its own control block, opened shared.
  std::unique_ptr<FileControlBlock> Other(const FileDeclaration& decl) {
    decls_.push_back(std::make_unique<FileDeclaration>(decl));
    auto f = std::make_unique<FileControlBlock>(*decls_.back());
    EXPECT_EQ(Open(*f, 0x42), 0);
    return f;
  }
  void AddGroup(FileManager& m, std::string_view name) {
    SetText(m.File(), 0, 20, name);
    ASSERT_EQ(m.Insert(), 0) << name;
  }

  fs::path dir_;
  ErrorClass errors_;
  std::vector<std::unique_ptr<FileDeclaration>> decls_;
  std::vector<std::unique_ptr<FileControlBlock>> files_;
  std::vector<std::unique_ptr<FileManager>> managers_;
};

TEST_F(FileManagerTest, LazyOpenCountsAndOpensAtFirstUse) {
  ScriptedMessageBoxes user;
  FileManager& g = Groups();
  EXPECT_EQ(g.Open(), 0);
  EXPECT_EQ(g.Open(), 0);
  EXPECT_FALSE(g.File().IsOpen());  // only counted
  EXPECT_FALSE(fs::exists(dir_ / "GRUPA.TVX"));
  EXPECT_EQ(g.Close(), 0);
  EXPECT_EQ(g.Close(), 0);
  EXPECT_EQ(g.Close(), 0);  // more closes than opens change nothing
  EXPECT_EQ(g.SelectThreadInfo().opened, 0);
  EXPECT_FALSE(fs::exists(dir_ / "GRUPA.TVX"));  // never used, never opened

  // First use: the missing file is created and opened; the buffer survives the deferred open.
  g.Open();
  g.Open();
  SetText(g.File(), 0, 20, "Favourites");
  EXPECT_EQ(g.EnsureOpen(), 0);
  EXPECT_TRUE(g.File().IsOpen());
  EXPECT_EQ(Text(g.File(), 0, 20), "Favourites");
  EXPECT_TRUE(fs::exists(dir_ / "GRUPA.TVX"));
  g.Close();
  EXPECT_TRUE(g.File().IsOpen());  // one Open still counts
  g.Close();
  EXPECT_FALSE(g.File().IsOpen());
  EXPECT_TRUE(user.Shown().empty());
}

TEST_F(FileManagerTest, UsingAFileNeverOpenedEndsTheProgram) {
  ScriptedMessageBoxes user;
  FileManager& g = Groups();
  EXPECT_EQ(g.Next(), kLevelFatal);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0].title, "File Access Error");
  EXPECT_EQ(user.Shown()[0].text,
            "File (Grupa) could not be opened.  Error: File Not Open (37).  Press OK to end this application");
  ASSERT_EQ(user.Halts().size(), 1u);
  EXPECT_EQ(user.Halts()[0].text, "File Access Error");
}

TEST_F(FileManagerTest, AFileThatCannotBeCreatedIsReported) {
  ScriptedMessageBoxes user;
  // Its folder does not exist: the file is missing, and creating it fails.
  FileDeclaration d = GroupDecl(dir_);
  d.name = (dir_ / "missing" / "GRUPA").string();
  FileManager& g = Manage(d, "Grupa");
  g.Open();
  EXPECT_EQ(g.EnsureOpen(), kLevelFatal);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0].title, "File Creation Error");
  EXPECT_EQ(user.Shown()[0].text.rfind("Error: (", 0), 0u) << user.Shown()[0].text;
  EXPECT_NE(user.Shown()[0].text.find(") creating Grupa.  Press OK"), std::string::npos) << user.Shown()[0].text;
  EXPECT_EQ(g.LastError(), msg::kCreateError);
  EXPECT_EQ(user.Halts().size(), 1u);

  // A plain file where its folder should be: the file cannot even be looked for.
  user.Clear();
  std::ofstream(dir_ / "plain") << "x";
  d.name = (dir_ / "plain" / "GRUPA").string();
  FileManager& p = Manage(d, "Grupa");
  p.Open();
  EXPECT_EQ(p.EnsureOpen(), kLevelFatal);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0].title, "File Access Error");

  // With creation switched off the open's own error is shown.
  user.Clear();
  FileManager& m = Movies();
  m.create = false;
  m.Open();
  EXPECT_EQ(m.EnsureOpen(), kLevelFatal);
  EXPECT_EQ(user.Shown()[0].text, "Error: (File Not Found (2)) creating PodGru.  Press OK to end this application");
  EXPECT_FALSE(fs::exists(dir_ / "PODGRU.TVX"));
}

TEST_F(FileManagerTest, AReadOnlyFolderRefusesTheNewFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not stop the superuser";
  ScriptedMessageBoxes user;
  fs::create_directories(dir_ / "ro");
  ::chmod((dir_ / "ro").c_str(), 0555);
  FileDeclaration d = GroupDecl(dir_);
  d.name = (dir_ / "ro" / "GRUPA").string();
  FileManager& g = Manage(d, "Grupa");
  g.Open();
  EXPECT_EQ(g.EnsureOpen(), kLevelFatal);
  ::chmod((dir_ / "ro").c_str(), 0755);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0].title, "File Creation Error");
}

TEST_F(FileManagerTest, ALockedFileGetsRecoverThenOneMoreOpen) {
  ScriptedMessageBoxes user;
  FileManager& g = Groups("FAULTY");
  g.Open();
  ASSERT_EQ(g.EnsureOpen(), 0);  // the file exists from now on
  g.Close();
  FaultScript::Get() = FaultScript{};
  FaultScript::Get().results[DriverOp::kOpen] = {5};
  g.Open();
  EXPECT_EQ(g.EnsureOpen(), 0);
  EXPECT_EQ(FaultScript::Get().sent, std::vector<std::string>{"Recover=10"});
  EXPECT_EQ(FaultScript::Get().calls[DriverOp::kOpen], 2);
  EXPECT_TRUE(user.Shown().empty());

  // Locked for good: both passes fail, and the message says why.
  g.Close();
  g.lockRecover = 3;
  FaultScript::Get() = FaultScript{};
  FaultScript::Get().results[DriverOp::kOpen] = {5, 5, 5, 5};
  g.Open();
  EXPECT_EQ(g.EnsureOpen(), kLevelFatal);
  EXPECT_EQ(FaultScript::Get().sent, (std::vector<std::string>{"Recover=3"}));
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0].text,
            "File (Grupa) could not be opened.  Error: Access Denied (5).  Press OK to end this application");
}

TEST_F(FileManagerTest, AFileOpenedExclusivelyElsewhereIsAccessDenied) {
  ScriptedMessageBoxes user;
  FileManager& g = Groups();
  auto other = std::make_unique<FileControlBlock>(g.File().declaration[0]);
  ASSERT_EQ(Create(*other), 0);
  ASSERT_EQ(Open(*other, 0x12), 0);  // read/write, deny all
  g.Open();
  EXPECT_NE(g.EnsureOpen(), 0);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0].title, "File Access Error");
  EXPECT_FALSE(g.File().IsOpen());
  Close(*other);
}

TEST_F(FileManagerTest, AKeyFileToRebuildIsRebuiltAfterTheNotice) {
  ScriptedMessageBoxes user;
  FileManager& g = Groups("FAULTY");
  g.Open();
  g.EnsureOpen();
  AddGroup(g, "Films");
  g.Close();
  FaultScript::Get().results[DriverOp::kOpen] = {46};
  g.Open();
  EXPECT_EQ(g.EnsureOpen(), 0);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0], (MessageBoxRequest{"Grupa key file is invalid. Key must be rebuilt.", "Invalid Key",
                                                kInformation, kOk, kOk}));
  EXPECT_EQ(FaultScript::Get().calls[DriverOp::kBuildFile], 1);
  EXPECT_EQ(RecordsKey(g.File(), 0), 1);
  g.Close();

  // The rebuild fails: "Key was not built" ends the program; nothing was changed.
  user.Clear();
  FaultScript::Get().results[DriverOp::kOpen] = {46};
  FaultScript::Get().results[DriverOp::kBuildFile] = {38};
  g.Open();
  EXPECT_EQ(g.EnsureOpen(), kLevelFatal);
  ASSERT_EQ(user.Shown().size(), 2u);
  EXPECT_EQ(user.Shown()[1].title, "Key was not built");
  EXPECT_EQ(user.Halts().size(), 1u);

  // Quiet callers get 5 and can report later.
  user.Clear();
  g.Close();
  FaultScript::Get().results[DriverOp::kOpen] = {46};
  EXPECT_EQ(g.OpenFile(false, true, true), kLevelNotify);
  EXPECT_TRUE(user.Shown().empty());
  EXPECT_EQ(g.LastError(), msg::kInvalidKey);
}

TEST_F(FileManagerTest, DuplicatesAreNamedByTheKeysDescription) {
  ScriptedMessageBoxes user;
  FileManager& g = Groups();
  g.Open();
  AddGroup(g, "Films");
  SetText(g.File(), 0, 20, "FILMS");  // the key ignores case
  EXPECT_EQ(g.Insert(), kLevelNotify);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0], (MessageBoxRequest{"Adding this record creates a duplicate entry for the key: GRU:PRK",
                                                "Duplicate Key Error", kInformation, kOk, kOk}));
  EXPECT_EQ(Text(g.File(), 0, 20), "FILMS");  // the entered record is still there to correct
  user.Clear();
  EXPECT_EQ(g.Insert(false), kLevelNotify);
  EXPECT_TRUE(user.Shown().empty());
  EXPECT_EQ(g.LastError(), msg::kDuplicateKey);
  EXPECT_EQ(RecordsKey(g.File(), 0), 1);

  // Movies allow equal keys: two equal paths in one group are both stored.
  FileManager& m = Movies();
  m.Open();
  for (int i = 0; i < 2; ++i) {
    SetText(m.File(), 0, 20, "Films");
    SetText(m.File(), 20, 120, "/movies/a.avi");
    SetText(m.File(), 140, 10, "/movies/a.");
    EXPECT_EQ(m.Insert(), 0);
  }
  EXPECT_EQ(RecordsKey(m.File(), 0), 2);
  g.Close();
  m.Close();
}

TEST_F(FileManagerTest, OtherInsertFailuresAreReportedWithTheCodes) {
  ScriptedMessageBoxes user;
  FileManager& g = Groups("FAULTY");
  g.Open();
  g.EnsureOpen();
  FaultScript::Get().results[DriverOp::kAdd] = {90};
  SetText(g.File(), 0, 20, "Films");
  EXPECT_EQ(g.Insert(), kLevelNotify);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0].title, "Record Insert Error");
  EXPECT_EQ(user.Shown()[0].text.rfind("An error was experienced during the creation of a record. Error: ", 0), 0u);
  g.Close();
}

TEST_F(FileManagerTest, AnUpdateAfterAnotherStationsChangeShowsTheirVersion) {
  ScriptedMessageBoxes user;
  FileManager& g = Groups();
  g.Open();
  AddGroup(g, "Films");
  auto other = Other(*g.File().declaration);
  for (int mode : {kUpdateReport, kUpdateDitto}) {
    user.Clear();
    SetText(g.File(), 0, 20, "Films");
    ASSERT_EQ(Watch(g.File()), 0);
    ASSERT_EQ(Get(g.File(), 0), 0);
    // The other station renames the group meanwhile.
    SetText(*other, 0, 20, "Films");
    ASSERT_EQ(Get(*other, 0), 0);
    SetText(*other, 20, 1, mode == kUpdateReport ? "a" : "b");
    ASSERT_EQ(Put(*other), 0);
    SetText(g.File(), 20, 1, "z");
    EXPECT_EQ(g.Update(mode), kLevelNotify);
    ASSERT_EQ(user.Shown().size(), 1u);
    EXPECT_EQ(user.Shown()[0].title, "Record Was Not Updated");
    EXPECT_EQ(user.Shown()[0].text, mode == kUpdateReport
                                        ? "This record was changed by another station."
                                        : "This record was changed by another station. Those changes will now be "
                                          "displayed. Use the Ditto Button or Ctrl+' to recall your changes.");
    EXPECT_EQ(Text(g.File(), 20, 1), mode == kUpdateReport ? "a" : "b");  // their version, re-read
    EXPECT_EQ(g.LastError(), mode == kUpdateReport ? msg::kChanged : msg::kChangedDitto);
  }
  // Watched again: saving over their version now works.
  SetText(g.File(), 20, 1, "z");
  EXPECT_EQ(g.Update(), 0);
  SetText(*other, 0, 20, "Films");
  ASSERT_EQ(Get(*other, 0), 0);
  EXPECT_EQ(Text(*other, 20, 1), "z");
  // A quiet update shows nothing.
  user.Clear();
  ASSERT_EQ(Watch(g.File()), 0);
  ASSERT_EQ(Get(g.File(), 0), 0);
  SetText(*other, 20, 1, "q");
  ASSERT_EQ(Put(*other), 0);
  EXPECT_EQ(g.Update(kUpdateQuiet), kLevelNotify);
  EXPECT_TRUE(user.Shown().empty());
  Close(*other);
  g.Close();
}

TEST_F(FileManagerTest, NextStopsAtTheEndQuietlyAndReportsHeldRecords) {
  ScriptedMessageBoxes user;
  FileManager& g = Groups();
  g.Open();
  AddGroup(g, "A");
  AddGroup(g, "B");
  AddGroup(g, "C");
  auto other = Other(*g.File().declaration);
  SetText(*other, 0, 20, "B");
  ASSERT_EQ(Hold(*other), 0);
  ASSERT_EQ(Get(*other, 0), 0);

  // Read for change (held), as a form does.
  ASSERT_EQ(SetKey(g.File(), 0), 0);
  Hold(g.File());
  EXPECT_EQ(g.Next(), 0);
  EXPECT_EQ(Text(g.File(), 0, 20), "A");
  Release(g.File());
  Hold(g.File());
  EXPECT_EQ(g.Next(), kLevelNotify);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0].text, "A record held by another station was encountered reading from the Grupa file.");
  EXPECT_EQ(user.Shown()[0].title, "Record not read");

  // Skipping held records: the held one is passed over silently.
  g.skipHeldRecords = true;
  user.Clear();
  ASSERT_EQ(SetKey(g.File(), 0), 0);
  std::vector<std::string> seen;
  for (;;) {
    Release(g.File());
    Hold(g.File());
    if (g.Next() != 0) break;
    seen.push_back(Text(g.File(), 0, 20));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"A", "C"}));
  EXPECT_TRUE(g.AtEOF());
  EXPECT_TRUE(user.Shown().empty());
  Release(g.File());
  g.skipHeldRecords = false;

  // The end of the file is never reported.
  user.Clear();
  ASSERT_EQ(SetKey(g.File(), 0), 0);
  int read = 0;
  while (g.Next() == 0) ++read;
  EXPECT_EQ(read, 3);
  EXPECT_TRUE(g.AtEOF());
  EXPECT_TRUE(user.Shown().empty());
  Close(*other);
  g.Close();
}

TEST_F(FileManagerTest, ReadFailuresAreRetrievalErrors) {
  ScriptedMessageBoxes user;
  FileManager& g = Groups("FAULTY");
  g.Open();
  AddGroup(g, "A");
  ASSERT_EQ(SetKey(g.File(), 0), 0);
  FaultScript::Get().results[DriverOp::kNext] = {90, 90};
  EXPECT_EQ(g.Next(false), kLevelFatal);
  EXPECT_TRUE(user.Shown().empty());
  EXPECT_EQ(g.LastError(), msg::kRetrievalError);
  ASSERT_EQ(SetKey(g.File(), 0), 0);  // a failed read ends the sequence
  EXPECT_EQ(g.Next(), kLevelNotify);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0].title, "Record Retrieval Error");
  g.Close();
}

TEST_F(FileManagerTest, AutomaticNumberingCountsOnAndPerGroup) {
  ScriptedMessageBoxes user;
  FileManager& n = Manage(NumberedDecl(dir_), "Nums", false);
  n.AddKey(0, "NUM:KID", 1);
  n.AddKey(1, "NUM:KGRP", 2);
  ASSERT_TRUE(n.HasAutoInc());
  n.Open();
  struct Row {
    const char* group;
    int id, no;
  };
  const Row rows[] = {{"x", 1, 1}, {"x", 2, 2}, {"y", 3, 1}, {"x", 4, 3}, {"a", 5, 1}, {"y", 6, 2}};
  for (const Row& r : rows) {
    std::fill(n.File().record.begin(), n.File().record.end(), 0);
    SetText(n.File(), 4, 8, r.group);
    ASSERT_EQ(n.Insert(), 0) << r.group;
    EXPECT_EQ(LoadI32(n.File().record.data()), r.id) << r.group;
    EXPECT_EQ(LoadI32(n.File().record.data() + 12), r.no) << r.group;
  }
  EXPECT_EQ(RecordsKey(n.File(), 0), 6);
  // Priming a new record numbers and adds it at once; cancelling takes it away again, and the
  // Insert that follows numbers afresh for the group typed in meanwhile.
  ASSERT_EQ(n.PrimeRecord(), 0);
  EXPECT_EQ(LoadI32(n.File().record.data()), 7);
  EXPECT_EQ(RecordsKey(n.File(), 0), 7);
  SetText(n.File(), 4, 8, "a");
  EXPECT_EQ(n.CancelAutoInc(), 0);
  EXPECT_EQ(RecordsKey(n.File(), 0), 6);
  ASSERT_EQ(n.Insert(), 0);
  EXPECT_EQ(LoadI32(n.File().record.data() + 12), 2);
  EXPECT_TRUE(user.Shown().empty());
  n.Close();
}

TEST_F(FileManagerTest, NumberingGivesUpAfterThreeAttemptsAndAsks) {
  FileManager& n = Manage(NumberedDecl(dir_, "FAULTY"), "Nums", false);
  n.AddKey(0, "NUM:KID", 1);
  n.Open();
  {
    ScriptedMessageBoxes user({kYes});
    FaultScript::Get().results[DriverOp::kAdd] = {40, 40, 40, 40};
    EXPECT_EQ(n.Insert(), 0);  // the fourth try, after Yes, goes through
    EXPECT_EQ(FaultScript::Get().calls[DriverOp::kAdd], 5);
    ASSERT_EQ(user.Shown().size(), 1u);
    EXPECT_EQ(user.Shown()[0].title, "Auto Increment Error");
    EXPECT_EQ(user.Shown()[0].text,
              "Attempts to automatically number this record have failed.  Error: Creates Duplicate Key (40). Try Again?");
  }
  {
    ScriptedMessageBoxes user({kNo});
    FaultScript::Get().results[DriverOp::kAdd] = {40, 40, 40};
    EXPECT_EQ(n.Insert(), kLevelNotify);
    EXPECT_EQ(user.Shown().size(), 1u);
  }
  {
    ScriptedMessageBoxes user;
    FaultScript::Get().results[DriverOp::kAdd] = {40, 40, 40};
    EXPECT_EQ(n.TryPrimeAutoInc(), kLevelNotify);
    EXPECT_TRUE(user.Shown().empty());
    EXPECT_EQ(n.LastError(), msg::kRetryAutoInc);
  }
  EXPECT_EQ(RecordsKey(n.File(), 0), 1);
  n.Close();
}

TEST_F(FileManagerTest, SavedBuffersAreNumberedAndRestoredOnce) {
  FileManager& g = Groups();
  g.Open();
  SetText(g.File(), 0, 20, "one");
  long a = g.SaveBuffer();
  SetText(g.File(), 0, 20, "two");
  long b = g.SaveBuffer();
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_TRUE(g.EqualBuffer(b));
  EXPECT_FALSE(g.EqualBuffer(a));
  long none = 0;
  g.RestoreBuffer(none);
  EXPECT_EQ(none, 0);
  EXPECT_EQ(Text(g.File(), 0, 20), "two");
  g.RestoreBuffer(a);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(Text(g.File(), 0, 20), "one");
  long again = 1;
  g.RestoreBuffer(again);  // already consumed: nothing happens
  EXPECT_EQ(Text(g.File(), 0, 20), "one");
  g.RestoreBuffer(b, false);  // dropped without restoring
  EXPECT_EQ(Text(g.File(), 0, 20), "one");
  EXPECT_EQ(g.SavedBuffers(), 0u);
  g.Close();
}

TEST_F(FileManagerTest, SavedFileStateBringsBackPositionAndBuffer) {
  FileManager& g = Groups();
  g.Open();
  for (const char* n : {"A", "B", "C", "D"}) AddGroup(g, n);
  ASSERT_EQ(SetKey(g.File(), 0), 0);
  ASSERT_EQ(g.Next(), 0);
  ASSERT_EQ(g.Next(), 0);  // at B
  long s = g.SaveFile();
  ASSERT_EQ(SetKey(g.File(), 0), 0);
  while (g.Next() == 0) {
  }
  g.RestoreFile(s);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(Text(g.File(), 0, 20), "B");
  ASSERT_EQ(g.Next(), 0);
  EXPECT_EQ(Text(g.File(), 0, 20), "C");  // the sequence goes on from where it was
  EXPECT_EQ(g.SavedFiles(), 0u);
  EXPECT_EQ(g.SavedBuffers(), 0u);
  g.Close();
}

TEST_F(FileManagerTest, KeysDescribeTheirComponents) {
  FileManager& m = Movies();
  EXPECT_EQ(m.KeyOrderText(0), "UPPER(POD:SIFRA),UPPER(POD:NASLOV2)");
  EXPECT_EQ(m.KeyOrderText(0, 2), "UPPER(POD:NASLOV2)");
  EXPECT_EQ(m.GetComponents(0), 2);
  EXPECT_EQ(m.GetComponentField(0, 2), 2);
  EXPECT_EQ(m.GetComponentName(0, 3), "");
  FileManager& n = Manage(NumberedDecl(dir_), "Nums");
  EXPECT_EQ(n.KeyOrderText(1), "NUM:GRP,-NUM:NO");
  EXPECT_EQ(n.PrimaryKey(), 0);
  // Limits: high puts ascending components at their top and descending ones at blank/zero.
  SetText(n.File(), 4, 8, "g");
  StoreU32(n.File().record.data() + 12, 7);
  n.SetKeyLimits(1, 1, 5, true);
  EXPECT_EQ(n.File().record[4], 0xFF);
  EXPECT_EQ(LoadI32(n.File().record.data() + 12), 0);
  n.SetKeyLimits(1, 2, 2, false);
  EXPECT_EQ(LoadI32(n.File().record.data() + 12), 0x7FFFFFFF);
}

TEST_F(FileManagerTest, FieldsAreKnownToTheEvaluatorAndFilesToTheRegistry) {
  FileManager& g = Groups();
  EXPECT_EQ(FindFileManager(g.File()), &g);
  g.Open();
  const SymbolEntry* full = LookupSymbol("GRU:SIFRA");
  const SymbolEntry* bare = LookupSymbol("sifra");
  ASSERT_NE(full, nullptr);
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(full->variable.data(), g.File().record.data());
  EXPECT_EQ(bare->variable.data(), g.File().record.data());
  g.Close();
  g.Kill();
  EXPECT_EQ(FindFileManager(g.File()), nullptr);
  ResetSymbols();
}

}  // namespace
}  // namespace cinevo::classlib
