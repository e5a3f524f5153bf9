// The relation manager over groups and their movies: cascades, clears and restrictions on
// rename and delete, their messages, transactions rolled back on failure, drivers without
// transactions, and the passes over related files.
#include "classlib/relation_manager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <utility>

#include "classlib/catalogue_fixture.h"
#include "classlib/classlib_test_support.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_test_support.h"
#include "runtime/ui/message_box.h"
#include "runtime/ui/mouse_cursor.h"

namespace cinevo::classlib {
namespace {

namespace fs = std::filesystem;
using namespace test_support;
using box_button::kNo;
using box_button::kOk;
using box_button::kYes;

constexpr int kInformation = 32516;
constexpr int kExclamation = 32515;

using Movie = std::pair<std::string, std::string>;  // group, path

class RelationManagerTest : public ::testing::Test, protected CatalogueManagers {
 protected:
  void SetUp() override { dir_ = PrepareDir("relation_manager"); }
  void TearDown() override {
    Unbuild(false);
    fs::remove_all(dir_);
  }
  // The catalogue with the given actions, opened for the whole test.
  void Build(LinkAction update, LinkAction del, std::string groupDriver = "TARVEX",
             std::string movieDriver = "TARVEX") {
    CatalogueManagers::Build(dir_, update, del, groupDriver, movieDriver);
  }
  void AddGroup(std::string_view name) {
    std::fill(groupFile_->record.begin(), groupFile_->record.end(), ' ');
    SetText(*groupFile_, 0, 20, name);
    ASSERT_EQ(groups_.Insert(), 0);
  }
  void AddMovie(std::string_view group, std::string_view path) {
    std::fill(movieFile_->record.begin(), movieFile_->record.end(), ' ');
    SetText(*movieFile_, 0, 20, group);
    SetText(*movieFile_, 20, 120, path);
    SetText(*movieFile_, 140, 10, path.substr(0, 10));
    ASSERT_EQ(movies_.Insert(), 0);
  }
  // A catalogue of three groups: A with three movies, B with two, C with one.
  void Fill() {
    for (const char* g : {"A", "B", "C"}) AddGroup(g);
    AddMovie("A", "/m/a1.avi");
    AddMovie("A", "/m/a2.avi");
    AddMovie("A", "/m/a3.avi");
    AddMovie("B", "/m/b1.mpg");
    AddMovie("B", "/m/b2.mpg");
    AddMovie("C", "/m/c1.mov");
  }
  // Reads the group into the buffer and remembers its links, as a form does before a change.
  void Select(std::string_view name) {
    SetText(*groupFile_, 0, 20, name);
    ASSERT_EQ(Get(*groupFile_, 0), 0) << name;
    groupRel_.SaveLinks();
  }
  // What is on disk, read through control blocks of its own.
  std::vector<std::string> DiskGroups() {
    FileControlBlock f(groupDecl_);
    std::vector<std::string> out;
    EXPECT_EQ(Open(f, 0x42), 0);
    SetKey(f, 0);
    while (Next(f) == 0) out.push_back(Text(f, 0, 20));
    Close(f);
    return out;
  }
  std::vector<Movie> DiskMovies() {
    FileControlBlock f(movieDecl_);
    std::vector<Movie> out;
    EXPECT_EQ(Open(f, 0x42), 0);
    SetKey(f, 0);
    while (Next(f) == 0) out.emplace_back(Text(f, 0, 20), Text(f, 20, 120));
    Close(f);
    return out;
  }
  void ExpectClean() {
    isam::test_support::ExpectFileClean((dir_ / "GRUPA.TVX").string());
    isam::test_support::ExpectFileClean((dir_ / "PODGRU.TVX").string());
  }

  fs::path dir_;
};

const std::vector<Movie> kFilled = {{"A", "/m/a1.avi"}, {"A", "/m/a2.avi"}, {"A", "/m/a3.avi"},
                                    {"B", "/m/b1.mpg"}, {"B", "/m/b2.mpg"}, {"C", "/m/c1.mov"}};

TEST_F(RelationManagerTest, RenamingAGroupCarriesExactlyItsMovies) {
  Build(kLinkCascade, kLinkCascade);
  Fill();
  ScriptedMessageBoxes user;
  Select("B");
  SetText(*groupFile_, 0, 20, "Zeta");  // sorts after every group
  EXPECT_EQ(groupRel_.Update(), 0);
  EXPECT_EQ(DiskGroups(), (std::vector<std::string>{"A", "C", "Zeta"}));
  EXPECT_EQ(DiskMovies(), (std::vector<Movie>{{"A", "/m/a1.avi"}, {"A", "/m/a2.avi"}, {"A", "/m/a3.avi"},
                                              {"C", "/m/c1.mov"}, {"Zeta", "/m/b1.mpg"}, {"Zeta", "/m/b2.mpg"}}));
  // Back to the front, past the group before it.
  Select("Zeta");
  SetText(*groupFile_, 0, 20, "0first");
  EXPECT_EQ(groupRel_.Update(), 0);
  EXPECT_EQ(DiskMovies(), (std::vector<Movie>{{"0first", "/m/b1.mpg"}, {"0first", "/m/b2.mpg"}, {"A", "/m/a1.avi"},
                                              {"A", "/m/a2.avi"}, {"A", "/m/a3.avi"}, {"C", "/m/c1.mov"}}));
  // Only the case changes: the key sees no change, the movies take the new spelling all the same.
  Select("a");
  SetText(*groupFile_, 0, 20, "a");
  EXPECT_EQ(groupRel_.Update(), 0);
  std::vector<Movie> m = DiskMovies();
  EXPECT_EQ(std::count(m.begin(), m.end(), Movie{"a", "/m/a2.avi"}), 1);
  EXPECT_EQ(std::count_if(m.begin(), m.end(), [](const Movie& x) { return x.first == "A"; }), 0);
  EXPECT_TRUE(user.Shown().empty());
  EXPECT_EQ(groups_.SelectThreadInfo().opened, 1);  // only the test's own OpenAll is left
  EXPECT_EQ(movies_.SelectThreadInfo().opened, 1);
  ExpectClean();
}

TEST_F(RelationManagerTest, DeletingAGroupDeletesItsMoviesThenTheGroup) {
  Build(kLinkCascade, kLinkCascade);
  Fill();
  AddGroup("Empty");
  ScriptedMessageBoxes user({kYes});
  Select("A");
  EXPECT_EQ(groupRel_.Delete(), 0);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0], (MessageBoxRequest{"Are you sure you want to delete the highlighted record?",
                                                "Confirm Delete", kExclamation, kYes + kNo, kYes}));
  EXPECT_EQ(DiskGroups(), (std::vector<std::string>{"B", "C", "Empty"}));
  EXPECT_EQ(DiskMovies(), (std::vector<Movie>(kFilled.begin() + 3, kFilled.end())));
  Select("Empty");
  EXPECT_EQ(groupRel_.Delete(false), 0);
  EXPECT_EQ(DiskGroups(), (std::vector<std::string>{"B", "C"}));
  EXPECT_EQ(DiskMovies().size(), 3u);
  EXPECT_EQ(MouseCursor(), kCursorDefault);
  ExpectClean();
}

TEST_F(RelationManagerTest, AnsweringNoToConfirmTouchesNothing) {
  Build(kLinkCascade, kLinkCascade);
  Fill();
  ScriptedMessageBoxes user({kNo});
  Select("A");
  EXPECT_EQ(groupRel_.Delete(), kLevelNotify);
  EXPECT_EQ(DiskMovies(), kFilled);
  EXPECT_EQ(DiskGroups().size(), 3u);
}

TEST_F(RelationManagerTest, RestrictRefusesAndPutsTheOldNameBack) {
  Build(kLinkRestrict, kLinkRestrict);
  Fill();
  ScriptedMessageBoxes user;
  Select("B");
  EXPECT_EQ(groupRel_.Delete(false), kLevelNotify);
  ASSERT_EQ(user.Shown().size(), 1u);  // no retry question after a refusal
  EXPECT_EQ(user.Shown()[0],
            (MessageBoxRequest{"This record is referenced from the file PodGru. This record cannot be deleted while "
                               "these references exist.",
                               "Referential Integrity Delete Error", kInformation, kOk, kOk}));
  user.Clear();
  Select("B");
  SetText(*groupFile_, 0, 20, "Renamed");
  EXPECT_EQ(groupRel_.Update(), kLevelNotify);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0],
            (MessageBoxRequest{"This record is referenced from the file PodGru. Linking field(s) have been "
                               "restricted from change and have been reset to original values.",
                               "Referential Integrity Update Error", kInformation, kOk, kOk}));
  EXPECT_EQ(Text(*groupFile_, 0, 20), "B");
  // The group's own change was rolled back with the rest.
  EXPECT_EQ(DiskGroups(), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(DiskMovies(), kFilled);
  // Without movies the group goes.
  AddGroup("Alone");
  Select("Alone");
  user.Clear();
  EXPECT_EQ(groupRel_.Delete(false), 0);
  EXPECT_TRUE(user.Shown().empty());
  ExpectClean();
}

TEST_F(RelationManagerTest, ClearBlanksTheMoviesLinks) {
  Build(kLinkClear, kLinkClear);
  Fill();
  ScriptedMessageBoxes user;
  Select("A");
  SetText(*groupFile_, 0, 20, "New");
  EXPECT_EQ(groupRel_.Update(), 0);
  std::vector<Movie> m = DiskMovies();
  EXPECT_EQ(std::count_if(m.begin(), m.end(), [](const Movie& x) { return x.first.empty(); }), 3);
  Select("B");
  EXPECT_EQ(groupRel_.Delete(false), 0);
  m = DiskMovies();
  EXPECT_EQ(m.size(), 6u);
  EXPECT_EQ(std::count_if(m.begin(), m.end(), [](const Movie& x) { return x.first.empty(); }), 5);
  EXPECT_EQ(DiskGroups(), (std::vector<std::string>{"C", "New"}));
  EXPECT_TRUE(user.Shown().empty());
  ExpectClean();
}

TEST_F(RelationManagerTest, AFailureInTheCascadeRollsEverythingBack) {
  Build(kLinkCascade, kLinkCascade, "FAULTY", "FAULTY");
  Fill();
  ScriptedMessageBoxes user({kNo});
  Select("A");
  SetText(*groupFile_, 0, 20, "Renamed");
  // The group and the first movie are written, the second movie cannot be.
  FaultScript::Get().failAfter[DriverOp::kPut] = {2, 90};
  EXPECT_EQ(groupRel_.Update(), kLevelNotify);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0].title, "Record was not updated");
  EXPECT_EQ(user.Shown()[0].text.find("An error (File System Error (90))"), 0u) << user.Shown()[0].text;
  EXPECT_NE(user.Shown()[0].text.find("when making changes to the PodGru file."), std::string::npos);
  EXPECT_EQ(Text(*groupFile_, 0, 20), "A");  // the old name back in the form
  EXPECT_EQ(DiskGroups(), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(DiskMovies(), kFilled);

  // A failing DELETE of the group asks to try again; Yes repeats the whole delete.
  user.Clear();
  user.Answer(kYes);
  FaultScript::Get().failAfter[DriverOp::kDelete] = {3, 90};  // the three movies of A, then the group
  Select("A");
  EXPECT_EQ(groupRel_.Delete(false), 0);
  ASSERT_EQ(user.Shown().size(), 2u);
  EXPECT_EQ(user.Shown()[0].title, "Record was not deleted");
  EXPECT_EQ(user.Shown()[1], (MessageBoxRequest{"An error was experienced deleting this record. Do you want to try "
                                                "to delete it again?",
                                                "Record Delete Error", kExclamation, kYes + kNo, kYes}));
  EXPECT_EQ(DiskGroups(), (std::vector<std::string>{"B", "C"}));
  EXPECT_EQ(DiskMovies(), (std::vector<Movie>(kFilled.begin() + 3, kFilled.end())));
  ExpectClean();
}

TEST_F(RelationManagerTest, ADriverWithoutTransactionsStillCascades) {
  Build(kLinkCascade, kLinkCascade, "FAULTY", "FAULTY");
  Fill();
  ScriptedMessageBoxes user;
  FaultScript::Get().results[DriverOp::kSetProperty] = {80, 80, 80, 80};
  Select("B");
  SetText(*groupFile_, 0, 20, "Beta");
  EXPECT_EQ(groupRel_.Update(), 0);
  EXPECT_FALSE(groupRel_.UseLogout());
  EXPECT_FALSE(movieRel_.UseLogout());
  EXPECT_EQ(FaultScript::Get().calls[DriverOp::kLogout], 0);
  Select("Beta");
  EXPECT_EQ(groupRel_.Delete(false), 0);
  EXPECT_EQ(DiskGroups(), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(DiskMovies().size(), 4u);
  EXPECT_TRUE(user.Shown().empty());
}

TEST_F(RelationManagerTest, ATransactionThatCannotBeFramedIsReported) {
  Build(kLinkCascade, kLinkCascade, "FAULTY", "FAULTY");
  Fill();
  ScriptedMessageBoxes user;
  FaultScript::Get().results[DriverOp::kSetProperty] = {0, 5};
  Select("B");
  SetText(*groupFile_, 0, 20, "Beta");
  EXPECT_EQ(groupRel_.Update(), kLevelNotify);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0], (MessageBoxRequest{"Error: (Access Denied (5)) attempting to frame the transaction on PodGru.",
                                                "Transaction cancelled", kInformation, kOk, kOk}));
  EXPECT_EQ(DiskGroups(), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(DiskMovies(), kFilled);
  EXPECT_TRUE(groupRel_.UseLogout());
}

TEST_F(RelationManagerTest, AGroupChangedElsewhereIsNotOverwritten) {
  Build(kLinkCascade, kLinkCascade);
  Fill();
  ScriptedMessageBoxes user;
  SetText(*groupFile_, 0, 20, "B");
  ASSERT_EQ(Watch(*groupFile_), 0);
  ASSERT_EQ(Get(*groupFile_, 0), 0);
  groupRel_.SaveLinks();
  {
    FileControlBlock other(groupDecl_);
    ASSERT_EQ(Open(other, 0x42), 0);
    SetText(other, 0, 20, "B");
    ASSERT_EQ(Get(other, 0), 0);
    SetText(other, 20, 1, "x");
    ASSERT_EQ(Put(other), 0);
    Close(other);
  }
  SetText(*groupFile_, 0, 20, "Beta");
  EXPECT_EQ(groupRel_.Update(), kLevelQuestion);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0].text, "This record was changed by another station.");
  EXPECT_EQ(Text(*groupFile_, 0, 20), "B");
  EXPECT_EQ(Text(*groupFile_, 20, 1), "x");
  EXPECT_EQ(DiskMovies(), kFilled);
}

TEST_F(RelationManagerTest, PassesReachEachRelatedFileOnce) {
  Build(kLinkCascade, kLinkCascade, "FAULTY", "FAULTY");
  // OpenAll from the movies' side opens the groups once although each refers to the other.
  long before = TouchCounter();
  EXPECT_EQ(movieRel_.OpenAll(), 0);
  EXPECT_EQ(TouchCounter(), before + 1);
  EXPECT_EQ(groups_.SelectThreadInfo().opened, 2);
  EXPECT_EQ(movies_.SelectThreadInfo().opened, 2);
  EXPECT_TRUE(movieFile_->IsOpen());
  EXPECT_EQ(movieRel_.CloseAll(), 0);
  EXPECT_EQ(groups_.SelectThreadInfo().opened, 1);
  EXPECT_EQ(movies_.SelectThreadInfo().opened, 1);

  FaultScript::Get().sent.clear();
  groupRel_.SetQuickScan(true, 3);
  EXPECT_EQ(FaultScript::Get().sent, (std::vector<std::string>{"QUICKSCAN=on", "QUICKSCAN=on"}));
  FaultScript::Get().sent.clear();
  groupRel_.SetQuickScan(false, 1);  // parents only: the groups have none
  EXPECT_EQ(FaultScript::Get().sent, (std::vector<std::string>{"QUICKSCAN=off"}));
  FaultScript::Get().sent.clear();
  movieRel_.SetQuickScan(false, 1);
  EXPECT_EQ(FaultScript::Get().sent, (std::vector<std::string>{"QUICKSCAN=off", "QUICKSCAN=off"}));
  FaultScript::Get().sent.clear();
  movieRel_.SetQuickScan(true, 0);
  EXPECT_EQ(FaultScript::Get().sent, (std::vector<std::string>{"QUICKSCAN=on"}));

  // The links, seen from either side: the related file's field first, this file's second.
  FieldPairs fromGroups, fromMovies, reversed;
  groupRel_.ListLinkingFields(movieRel_, fromGroups);
  movieRel_.ListLinkingFields(groupRel_, fromMovies);
  groupRel_.ListLinkingFields(movieRel_, reversed, true);
  ASSERT_EQ(fromGroups.Size(), 1u);
  EXPECT_EQ(fromGroups.Pairs()[0].left.data(), movieFile_->record.data());
  EXPECT_EQ(fromGroups.Pairs()[0].right.data(), groupFile_->record.data());
  ASSERT_EQ(fromMovies.Size(), 1u);
  EXPECT_EQ(fromMovies.Pairs()[0].left.data(), groupFile_->record.data());
  EXPECT_EQ(fromMovies.Pairs()[0].right.data(), movieFile_->record.data());
  EXPECT_EQ(reversed.Pairs()[0].left.data(), groupFile_->record.data());
}

}  // namespace
}  // namespace cinevo::classlib
