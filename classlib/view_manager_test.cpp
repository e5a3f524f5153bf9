// The view manager over the catalogue: order and filter texts, the group's range and how it
// follows the current group, the acceptance hook, priming, and the messages of failures. Also the
// Fixed, Current and Range kinds over a numbered file.
#include "classlib/view_manager.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>

#include "classlib/catalogue_fixture.h"
#include "runtime/ui/message_box.h"

namespace cinevo::classlib {
namespace {

using namespace test_support;

class ViewManagerTest : public CatalogueFixture {
 protected:
  // The group form's list: the movies of the current group, by title.
  void GroupList(ViewManager& m) {
    m.Init(*view_, movieRel_);
    m.AddSortOrder(0);
    m.AddRelationRange(movieRel_, groupRel_);
  }
  std::vector<std::string> ReadAll(ViewManager& m, bool forward = true) {
    std::vector<std::string> out;
    m.Reset();
    while ((forward ? m.Next() : m.Previous()) == 0) out.push_back(MovieTitle());
    return out;
  }
};

TEST_F(ViewManagerTest, AnOrderWithoutRangeUsesTheWholeKeyAndNoFilter) {
  AddGroupWithMovies("B", 2);
  AddGroupWithMovies("A", 1);
  ViewManager m;
  m.Init(*view_, movieRel_);
  EXPECT_EQ(m.AddSortOrder(0), 1);
  EXPECT_EQ(m.CurrentOrder().order, "UPPER(POD:SIFRA),UPPER(POD:NASLOV2)");
  EXPECT_EQ(m.FilterText(), "");
  EXPECT_EQ(m.GetFreeElementPosition(), 1);
  EXPECT_EQ(m.GetFreeElementName(), "POD:SIFRA");
  EXPECT_EQ(ReadAll(m), (std::vector<std::string>{"M01", "M01", "M02"}));
  EXPECT_TRUE(m.Opened());
  EXPECT_EQ(GetProperty(view_->block(), kPropViewFilter), "");
  EXPECT_EQ(GetProperty(view_->block(), kPropViewOrder), "+UPPER(POD:SIFRA),+UPPER(POD:NASLOV2)");
  m.Kill();
}

TEST_F(ViewManagerTest, TheGroupRangeListsOneGroupAndFollowsTheCurrentGroup) {
  AddGroupWithMovies("Action", 3, "A");
  AddGroupWithMovies("Drama", 2, "D");
  AddGroupWithMovies("Empty", 0);
  ViewManager m;
  GroupList(m);
  EXPECT_EQ(m.CurrentOrder().limitType, kRangeFile);
  EXPECT_EQ(m.CurrentOrder().order, "UPPER(POD:NASLOV2)");  // the fixed component is left out
  EXPECT_EQ(m.GetFreeElementPosition(), 2);
  EXPECT_EQ(m.GetFreeElementName(), "POD:NASLOV2");
  SelectGroup("Action");
  EXPECT_EQ(m.FilterText(), "UPPER(POD:SIFRA) = UPPER('Action')");
  EXPECT_EQ(ReadAll(m), (std::vector<std::string>{"A01", "A02", "A03"}));
  EXPECT_EQ(ReadAll(m, false), (std::vector<std::string>{"A03", "A02", "A01"}));
  EXPECT_EQ(m.RefreshRange(), 0);  // unchanged: nothing rebuilt

  SelectGroup("drama");  // the key ignores case
  EXPECT_EQ(m.RefreshRange(), 1);
  EXPECT_EQ(GetProperty(view_->block(), kPropViewFilter), "UPPER(POD:SIFRA) = UPPER('drama')");
  EXPECT_EQ(m.RefreshRange(), 0);
  EXPECT_EQ(ReadAll(m), (std::vector<std::string>{"D01", "D02"}));
  SelectGroup("Empty");
  EXPECT_EQ(m.RefreshRange(), 1);
  EXPECT_EQ(ReadAll(m), std::vector<std::string>{});
  m.Kill();
}

// A group's name enters the filter as a literal: it can neither break the filter nor widen it.
TEST_F(ViewManagerTest, AGroupNamedToBreakTheFilterListsExactlyItsOwnMovies) {
  AddGroupWithMovies("Other", 2, "O");
  AddGroupWithMovies("X' OR '1'='1", 1, "X");
  AddGroupWithMovies("O'Brien", 2, "B");
  AddGroupWithMovies("1", 1, "Q");
  ScriptedMessageBoxes user;
  ViewManager m;
  GroupList(m);
  SelectGroup("X' OR '1'='1");
  EXPECT_EQ(m.FilterText(), "UPPER(POD:SIFRA) = UPPER('X'' OR ''1''=''1')");
  EXPECT_EQ(ReadAll(m), std::vector<std::string>{"X01"});
  SelectGroup("O'Brien");
  m.RefreshRange();
  EXPECT_EQ(ReadAll(m), (std::vector<std::string>{"B01", "B02"}));
  SelectGroup("'");
  m.RefreshRange();
  EXPECT_EQ(ReadAll(m), std::vector<std::string>{});
  EXPECT_TRUE(user.Shown().empty());
  m.Kill();
}

TEST_F(ViewManagerTest, SetSortSwitchesOrdersAndCountsZeroAsOne) {
  ViewManager m;
  m.Init(*view_, movieRel_);
  EXPECT_EQ(m.SetSort(1), 0);  // no orders yet
  m.AddSortOrder(0);
  m.AddSortOrder(-1);  // no key: record order
  EXPECT_EQ(m.CurrentNumber(), 2);
  EXPECT_EQ(m.CurrentOrder().order, "");
  EXPECT_EQ(m.GetFreeElementPosition(), 0);
  EXPECT_EQ(m.SetSort(2), 0);
  EXPECT_EQ(m.SetSort(0), 1);
  EXPECT_EQ(m.CurrentNumber(), 1);
  EXPECT_EQ(m.SetSort(1), 0);
  EXPECT_EQ(m.SetSort(9), 1);  // beyond the last: the last
  EXPECT_EQ(m.CurrentNumber(), 2);
  m.Kill();
}

TEST_F(ViewManagerTest, TheAcceptanceHookSkipsOrEndsTheRead) {
  AddGroupWithMovies("G", 5);
  struct Hooked : ViewManager {
    std::function<int()> hook;
    int ValidateRecord() override { return hook(); }
  } m;
  GroupList(m);
  SelectGroup("G");
  int seen = 0;
  m.hook = [&] { return ++seen % 2 == 0 ? 1 : 0; };  // every second record skipped
  EXPECT_EQ(ReadAll(m), (std::vector<std::string>{"M01", "M03", "M05"}));
  m.hook = [] { return 1; };
  m.Reset();
  EXPECT_EQ(m.Next(), kLevelNotify);  // ran to the end of the set
  m.hook = [&] { return MovieTitle() == "M03" ? 2 : 0; };
  EXPECT_EQ(ReadAll(m), (std::vector<std::string>{"M01", "M02"}));
  m.Kill();
}

TEST_F(ViewManagerTest, PrimeRecordPutsTheGroupIntoANewMovie) {
  AddGroup("Holidays");
  ViewManager m;
  GroupList(m);
  SelectGroup("Holidays");
  SetText(*movieFile_, 20, 120, "left over");
  m.PrimeRecord();
  EXPECT_EQ(MovieGroup(), "Holidays");
  EXPECT_EQ(Text(*movieFile_, 20, 120), "");
  SetText(*movieFile_, 20, 120, "kept");
  m.PrimeRecord(true);
  EXPECT_EQ(Text(*movieFile_, 20, 120), "kept");
  m.Kill();
}

TEST_F(ViewManagerTest, FailuresAreReportedThroughThePrimaryFile) {
  AddGroupWithMovies("G", 2);
  ScriptedMessageBoxes user;
  ViewManager m;
  GroupList(m);
  SelectGroup("G");
  m.AddFilter("POD:NASLOV2 = (");  // does not compile: the VIEW goes on without a filter
  m.Reset();
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0].title, "View Open Error");
  EXPECT_EQ(GetProperty(view_->block(), kPropViewFilter), "");
  m.Kill();


  // A read that fails: "Record Retrieval Error" naming the movies, and 3.
  ViewManager reader;
  GroupList(reader);
  reader.Reset();
  ASSERT_EQ(reader.Next(), 0);
  ASSERT_EQ(Close(*movieFile_), 0);
  user.Clear();
  EXPECT_EQ(reader.Next(), kLevelFatal);
  ASSERT_EQ(user.Shown().size(), 1u);
  EXPECT_EQ(user.Shown()[0].title, "Record Retrieval Error");
  EXPECT_NE(user.Shown()[0].text.find("PodGru"), std::string::npos) << user.Shown()[0].text;
  ASSERT_EQ(Open(*movieFile_, 0x42), 0);
  reader.Kill();

  // A VIEW whose file is not open: "View Open Error", and the manager carries on.
  FileControlBlock loose(movieDecl_);
  ViewDeclaration d;
  d.primary = &loose;
  d.key = 0;
  View other(d);
  ViewManager opener;
  opener.Init(other, movieRel_);
  opener.AddSortOrder(0);
  user.Clear();
  opener.Reset();
  ASSERT_FALSE(user.Shown().empty());
  EXPECT_EQ(user.Shown()[0].title, "View Open Error");
  EXPECT_TRUE(opener.Opened());
  opener.Kill();
}

// The kinds this program does not create itself, over numbered records: NUM:KGRP is NUM:GRP
// ascending, then NUM:NO descending.
class ViewManagerKindsTest : public CatalogueFixture {
 protected:
  void SetUp() override {
    CatalogueFixture::SetUp();
    numDecl_ = NumberedDecl(dir_);
    nums_ = std::make_unique<FileControlBlock>(numDecl_);
    numbers_.Init(*nums_, errors_);
    numbers_.AddKey(0, "NUM:KID");
    numbers_.AddKey(1, "NUM:KGRP");
    numRel_.Init(numbers_, false);
    ASSERT_EQ(numRel_.OpenAll(), 0);
    int id = 0;
    for (const char* g : {"A", "B"}) {
      for (int no = 1; no <= 10; ++no) {
        std::fill(nums_->record.begin(), nums_->record.end(), ' ');
        StoreLong(++id, 0);
        SetText(*nums_, 4, 8, g);
        StoreLong(no, 12);
        ASSERT_EQ(Add(*nums_), 0);
      }
    }
    ViewDeclaration v;
    v.primary = nums_.get();
    v.key = 1;
    numView_ = std::make_unique<View>(v);
  }
  void TearDown() override {
    Close(numView_->block());
    numView_.reset();
    numRel_.CloseAll();
    numRel_.Kill();
    CatalogueFixture::TearDown();
  }
  void StoreLong(int32_t v, size_t offset) { std::memcpy(nums_->record.data() + offset, &v, 4); }
  int32_t LoadLong(size_t offset) const {
    int32_t v;
    std::memcpy(&v, nums_->record.data() + offset, 4);
    return v;
  }
  std::vector<int> Numbers(ViewManager& m) {
    std::vector<int> out;
    m.Reset();
    while (m.Next() == 0) out.push_back(LoadLong(12));
    return out;
  }
  // Variables laid out as the key's fields.
  std::array<uint8_t, 8> group_{};
  int32_t low_ = 0, high_ = 0;
  std::span<uint8_t> Group(std::string_view g) {
    std::fill(group_.begin(), group_.end(), ' ');
    std::copy(g.begin(), g.end(), group_.begin());
    return group_;
  }
  std::span<uint8_t> Bytes(int32_t& v) { return {reinterpret_cast<uint8_t*>(&v), 4}; }

  FileDeclaration numDecl_;
  std::unique_ptr<FileControlBlock> nums_;
  FileManager numbers_;
  RelationManager numRel_;
  std::unique_ptr<View> numView_;
};

TEST_F(ViewManagerKindsTest, FixedTakesItsValueOnceCurrentFollowsItsVariable) {
  ViewManager fixed;
  fixed.Init(*numView_, numRel_);
  fixed.AddSortOrder(1);
  fixed.AddRange(kRangeFixed, {Group("A")});
  EXPECT_EQ(fixed.FilterText(), "NUM:GRP = 'A'");
  EXPECT_EQ(fixed.CurrentOrder().order, "-NUM:NO");
  EXPECT_EQ(fixed.GetFreeElementName(), "NUM:NO");
  EXPECT_EQ(Numbers(fixed), (std::vector<int>{10, 9, 8, 7, 6, 5, 4, 3, 2, 1}));
  Group("B");
  EXPECT_EQ(fixed.RefreshRange(), 0);
  EXPECT_EQ(fixed.FilterText(), "NUM:GRP = 'A'");
  fixed.Kill();

  ViewManager current;
  current.Init(*numView_, numRel_);
  current.AddSortOrder(1);
  current.AddRange(kRangeCurrent, {Group("A")});
  current.Reset();
  EXPECT_EQ(current.RefreshRange(), 0);
  Group("B");
  EXPECT_EQ(current.RefreshRange(), 1);
  EXPECT_EQ(GetProperty(numView_->block(), kPropViewFilter), "NUM:GRP = 'B'");
  EXPECT_EQ(current.RefreshRange(), 0);
  current.PrimeRecord();
  EXPECT_EQ(Text(*nums_, 4, 8), "B");
  current.Kill();
}

TEST_F(ViewManagerKindsTest, RangeFixesTheLeadingComponentsAndBoundsTheNext) {
  ViewManager m;
  m.Init(*numView_, numRel_);
  m.AddSortOrder(1);
  low_ = 3;
  high_ = 7;
  m.AddRange(kRangeRange, {Group("B"), Bytes(low_), Bytes(high_)});
  EXPECT_EQ(m.FilterText(), "NUM:GRP = 'B' AND NUM:NO >= 3 AND NUM:NO <= 7");
  EXPECT_EQ(m.GetFreeElementPosition(), 2);
  EXPECT_EQ(m.CurrentOrder().order, "-NUM:NO");
  EXPECT_EQ(Numbers(m), (std::vector<int>{7, 6, 5, 4, 3}));
  low_ = 6;
  EXPECT_EQ(m.RefreshRange(), 1);
  EXPECT_EQ(Numbers(m), (std::vector<int>{7, 6}));
  m.PrimeRecord();
  EXPECT_EQ(Text(*nums_, 4, 8), "B");
  EXPECT_EQ(LoadLong(12), 0);  // the bounded component is left to the user
  m.Kill();
}

TEST_F(ViewManagerKindsTest, ARangeOnTheWholeKeyOrdersByTheWholeKey) {
  ViewManager m;
  m.Init(*numView_, numRel_);
  m.AddSortOrder(1);
  low_ = 4;
  m.AddRange(kRangeFixed, {Group("A"), Bytes(low_)});
  EXPECT_EQ(m.GetFreeElementPosition(), 0);
  EXPECT_EQ(m.GetFreeElementName(), "");
  EXPECT_EQ(m.CurrentOrder().order, "NUM:GRP,-NUM:NO");
  EXPECT_EQ(m.FilterText(), "NUM:GRP = 'A' AND NUM:NO = 4");
  EXPECT_EQ(Numbers(m), std::vector<int>{4});
  m.Kill();
}

}  // namespace
}  // namespace cinevo::classlib
