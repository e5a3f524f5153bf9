#include "runtime/data/view/view.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/profile.h"

#include "runtime/core/error.h"
#include "runtime/data/dispatch.h"
#include "runtime/data/view/view_test_support.h"

namespace cinevo {
namespace {

using namespace view_test;

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TestDirectory("view");
    gd_ = Groups(dir_);
    md_ = Movies(dir_);
    td_ = Tags(dir_);
    groups_ = std::make_unique<FileControlBlock>(gd_);
    movies_ = std::make_unique<FileControlBlock>(md_);
    tags_ = std::make_unique<FileControlBlock>(td_);
    CreateShared(*groups_);
    CreateShared(*movies_);
    CreateShared(*tags_);
    for (const char* g : {"Summer", "Empty", "Autumn"}) AddGroup(*groups_, g);
    AddMovie(*movies_, "summer", "C:\\B.AVI");
    AddMovie(*movies_, "SUMMER", "C:\\A.MPG");
    AddMovie(*movies_, "Autumn", "C:\\C.AVI");
    AddMovie(*movies_, "Autumn", "C:\\D.MOV");
    AddMovie(*movies_, "Nobody", "C:\\E.AVI");  // a movie without its group
    AddTag(*tags_, "C:\\A.MPG", "sea", 5);
    AddTag(*tags_, "C:\\A.MPG", "sun", 4);
    AddTag(*tags_, "C:\\C.AVI", "leaves", 3);
  }
  void TearDown() override {
    Close(*tags_);
    Close(*movies_);
    Close(*groups_);
    std::filesystem::remove_all(dir_);
  }

  // Groups in key order joined with their movies by POD:PRK.
  ViewDeclaration GroupsWithMovies(bool inner) {
    ViewDeclaration v;
    v.primary = groups_.get();
    v.key = 0;
    JoinDeclaration& j = v.joins.emplace_back();
    j.file = movies_.get();
    j.key = 0;
    j.links = {{groups_.get(), 1}};
    j.inner = inner;
    return v;
  }

  // A VIEW of the movies alone, opened.
  std::unique_ptr<View> OpenMovies() {
    ViewDeclaration d;
    d.primary = movies_.get();
    auto v = std::make_unique<View>(d);
    EXPECT_EQ(Open(v->block()), 0);
    return v;
  }

  // The rows of a VIEW from SET to the end, each "group|movie|tag" of the files it reads.
  std::vector<std::string> Rows(View& v, bool forward = true) {
    std::vector<std::string> rows;
    EXPECT_EQ(SetView(v.block()), 0);
    while ((forward ? Next(v.block()) : Previous(v.block())) == 0) rows.push_back(Row(v));
    EXPECT_EQ(v.block().last_error, 33);
    return rows;
  }
  std::string Row(View& v) {
    std::string row;
    for (FileControlBlock* f : ViewFiles(v.declaration())) {
      if (!row.empty()) row += '|';
      row += f == groups_.get() ? Text(*f, 1) : f == movies_.get() ? Text(*f, 2) : Text(*f, 2);
    }
    return row;
  }

  std::filesystem::path dir_;
  FileDeclaration gd_, md_, td_;
  std::unique_ptr<FileControlBlock> groups_, movies_, tags_;
};

TEST_F(ViewTest, DeclarationPrintsInSourceForm) {
  ViewDeclaration v = GroupsWithMovies(true);
  v.project = {1};
  v.joins[0].project = {2, 3};
  JoinDeclaration& tags = v.joins[0].joins.emplace_back();
  tags.file = tags_.get();
  tags.expression = "OZN:NASLOV = POD:NASLOV";
  EXPECT_EQ(ViewSource(v),
            "VIEW(GRUPA)\r\n"
            "  PROJECT(FIELD(GRU:SIFRA))\r\n"
            "  JOIN(POD:PRK,FIELD(GRU:SIFRA)),INNER\r\n"
            "    PROJECT(FIELD(POD:NASLOV),FIELD(POD:NASLOV2))\r\n"
            "    JOIN(OZNAKE,'OZN:NASLOV = POD:NASLOV')\r\n"
            "    END\r\n"
            "  END\r\n"
            "END\r\n");
  EXPECT_EQ(CheckViewDeclaration(v), 0);
  v.joins[0].links.push_back({groups_.get(), 2});
  v.joins[0].links.push_back({groups_.get(), 2});  // more links than POD:PRK has components
  EXPECT_EQ(CheckViewDeclaration(v), 47);
}

TEST_F(ViewTest, OuterJoinKeepsGroupsWithoutMoviesInnerDropsThem) {
  View outer(GroupsWithMovies(false));
  ASSERT_EQ(Open(outer.block()), 0);
  EXPECT_EQ(Rows(outer), (std::vector<std::string>{"Autumn|C:\\C.AVI", "Autumn|C:\\D.MOV", "Empty|",
                                                   "Summer|C:\\A.MPG", "Summer|C:\\B.AVI"}));
  // Backwards the same rows come in reverse, the cleared row included.
  EXPECT_EQ(Rows(outer, false), (std::vector<std::string>{"Summer|C:\\B.AVI", "Summer|C:\\A.MPG", "Empty|",
                                                          "Autumn|C:\\D.MOV", "Autumn|C:\\C.AVI"}));
  View inner(GroupsWithMovies(true));
  ASSERT_EQ(Open(inner.block()), 0);
  EXPECT_EQ(Rows(inner), (std::vector<std::string>{"Autumn|C:\\C.AVI", "Autumn|C:\\D.MOV", "Summer|C:\\A.MPG",
                                                   "Summer|C:\\B.AVI"}));
}

TEST_F(ViewTest, AfterTheEndTheNextReadStartsAgainWithClearedBuffers) {
  ViewDeclaration d;
  d.primary = groups_.get();
  d.key = 0;
  View v(d);
  ASSERT_EQ(Open(v.block()), 0);
  ASSERT_EQ(SetView(v.block()), 0);
  std::vector<std::string> first, second;
  while (Next(v.block()) == 0) first.push_back(Text(*groups_, 1));
  EXPECT_EQ(v.block().last_error, 33);
  EXPECT_EQ(ErrorCode(), 33);
  EXPECT_EQ(Text(*groups_, 1), "");  // cleared at the end
  while (Next(v.block()) == 0) second.push_back(Text(*groups_, 1));
  EXPECT_EQ(first, (std::vector<std::string>{"Autumn", "Empty", "Summer"}));
  EXPECT_EQ(second, first);
  // Without SET a fresh VIEW has no sequence.
  View unset(d);
  ASSERT_EQ(Open(unset.block()), 0);
  EXPECT_EQ(Next(unset.block()), 33);
}

TEST_F(ViewTest, DescendingOrderOnAFieldNoKeyHas) {
  std::unique_ptr<View> view = OpenMovies();
  View& v = *view;
  ASSERT_EQ(SetProperty(v.block(), kPropViewOrder, " - POD:NASLOV "), 0);
  EXPECT_EQ(Rows(v), (std::vector<std::string>{"C:\\E.AVI", "C:\\D.MOV", "C:\\C.AVI", "C:\\B.AVI", "C:\\A.MPG"}));
  EXPECT_EQ(Rows(v, false),
            (std::vector<std::string>{"C:\\A.MPG", "C:\\B.AVI", "C:\\C.AVI", "C:\\D.MOV", "C:\\E.AVI"}));
  EXPECT_EQ(GetProperty(v.block(), kPropViewOrder), "-POD:NASLOV");
  // Two items: the group ignoring case, then the path descending.
  ASSERT_EQ(SetProperty(v.block(), kPropViewOrder, "UPPER(POD:SIFRA),\t-POD:NASLOV"), 0);
  EXPECT_EQ(Rows(v), (std::vector<std::string>{"C:\\D.MOV", "C:\\C.AVI", "C:\\E.AVI", "C:\\B.AVI", "C:\\A.MPG"}));
}

TEST_F(ViewTest, FilterTextsEmptyAndInvalid) {
  std::unique_ptr<View> view = OpenMovies();
  View& v = *view;
  ASSERT_EQ(SetProperty(v.block(), kPropViewFilter, "INSTRING('.AVI', UPPER(POD:NASLOV), 1, 1)"), 0);
  EXPECT_EQ(Rows(v).size(), 3u);
  ASSERT_EQ(SetProperty(v.block(), kPropViewFilter, ""), 0);  // removes the filter
  EXPECT_EQ(Rows(v).size(), 5u);
  ASSERT_EQ(SetProperty(v.block(), kPropViewFilter, "POD:NASLOV = 'C:\\A.MPG'"), 0);
  EXPECT_EQ(Rows(v).size(), 1u);
  // A text that does not compile: its error is the result, and the VIEW has no filter.
  EXPECT_EQ(SetProperty(v.block(), kPropViewFilter, "POD:NOSUCH = 1"), 801);
  EXPECT_EQ(ErrorCode(), 801);
  EXPECT_EQ(GetProperty(v.block(), kPropViewFilter), "");
  EXPECT_EQ(Rows(v).size(), 5u);
  EXPECT_EQ(SetProperty(v.block(), kPropViewFilter, "POD:NASLOV = ("), 800);
  // An order item that does not compile is dropped; the others stay.
  EXPECT_EQ(SetProperty(v.block(), kPropViewOrder, "-POD:NOSUCH,+POD:NASLOV"), 801);
  EXPECT_EQ(GetProperty(v.block(), kPropViewOrder), "+POD:NASLOV");
  EXPECT_EQ(Rows(v).front(), "C:\\A.MPG");
}

TEST_F(ViewTest, JoinByExpressionAndThreeFiles) {
  // Movies joined with their tags by an expression, then groups -> movies -> tags by keys.
  ViewDeclaration d;
  d.primary = movies_.get();
  d.key = 0;
  JoinDeclaration& j = d.joins.emplace_back();
  j.file = tags_.get();
  j.expression = "OZN:NASLOV = POD:NASLOV";
  j.inner = true;
  View by_expression(d);
  ASSERT_EQ(Open(by_expression.block()), 0);
  EXPECT_EQ(Rows(by_expression),
            (std::vector<std::string>{"C:\\C.AVI|leaves", "C:\\A.MPG|sea", "C:\\A.MPG|sun"}));

  ViewDeclaration three = GroupsWithMovies(true);
  JoinDeclaration& t = three.joins[0].joins.emplace_back();
  t.file = tags_.get();
  t.key = 0;
  t.links = {{movies_.get(), 2}};
  View chain(three);
  ASSERT_EQ(Open(chain.block()), 0);
  EXPECT_EQ(Rows(chain), (std::vector<std::string>{"Autumn|C:\\C.AVI|leaves", "Autumn|C:\\D.MOV|",
                                                   "Summer|C:\\A.MPG|sea", "Summer|C:\\A.MPG|sun",
                                                   "Summer|C:\\B.AVI|"}));
  EXPECT_EQ(Rows(chain, false), (std::vector<std::string>{"Summer|C:\\B.AVI|", "Summer|C:\\A.MPG|sun",
                                                          "Summer|C:\\A.MPG|sea", "Autumn|C:\\D.MOV|",
                                                          "Autumn|C:\\C.AVI|leaves"}));
  // A filter over the joined files and an order over all three.
  ASSERT_EQ(SetProperty(chain.block(), kPropViewFilter, "OZN:OCJENA >= 4 OR POD:NASLOV = 'C:\\D.MOV'"), 0);
  ASSERT_EQ(SetProperty(chain.block(), kPropViewOrder, "-OZN:OCJENA,GRU:SIFRA"), 0);
  EXPECT_EQ(Rows(chain),
            (std::vector<std::string>{"Summer|C:\\A.MPG|sea", "Summer|C:\\A.MPG|sun", "Autumn|C:\\D.MOV|"}));
}

TEST_F(ViewTest, TurningAroundContinuesFromTheCurrentRow) {
  View v(GroupsWithMovies(false));
  ASSERT_EQ(Open(v.block()), 0);
  ASSERT_EQ(SetView(v.block()), 0);
  std::vector<std::string> seen;
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(Next(v.block()), 0);
    seen.push_back(Row(v));
  }
  ASSERT_EQ(Previous(v.block()), 0);
  EXPECT_EQ(Row(v), seen[2]);
  ASSERT_EQ(Previous(v.block()), 0);
  EXPECT_EQ(Row(v), seen[1]);
  ASSERT_EQ(Next(v.block()), 0);
  EXPECT_EQ(Row(v), seen[2]);
}

TEST_F(ViewTest, PositionsRestoreTheRowStreamWithAndWithoutOrder) {
  for (const char* order : {"", "-POD:NASLOV"}) {
    SCOPED_TRACE(order);
    View v(GroupsWithMovies(false));
    ASSERT_EQ(Open(v.block()), 0);
    ASSERT_EQ(SetProperty(v.block(), kPropViewOrder, order), 0);
    std::vector<std::string> all = Rows(v);
    ASSERT_EQ(all.size(), 5u);
    ASSERT_EQ(SetView(v.block()), 0);
    std::vector<std::string> positions;
    for (size_t i = 0; i < all.size(); ++i) {
      ASSERT_EQ(Next(v.block()), 0);
      positions.push_back(Position(v.block()));
      ASSERT_EQ(v.block().last_error, 0);
    }
    for (size_t i : {3u, 0u, 2u}) {
      ASSERT_EQ(Reset(v.block(), positions[i]), 0);
      ASSERT_EQ(Next(v.block()), 0);
      EXPECT_EQ(Row(v), all[i]);
      if (i + 1 < all.size()) {
        ASSERT_EQ(Next(v.block()), 0);
        EXPECT_EQ(Row(v), all[i + 1]);
      }
      ASSERT_EQ(Reset(v.block(), positions[i]), 0);
      ASSERT_EQ(Previous(v.block()), 0);
      EXPECT_EQ(Row(v), all[i]);
      ASSERT_EQ(Reget(v.block(), positions[i]), 0);
      EXPECT_EQ(Row(v), all[i]);
    }
    EXPECT_EQ(Records(v.block()), 5);
  }
}

// A browse declares a page of a few rows; the order then keeps only that many of its rows. Every
// read in either direction, past the declared count too, gives the rows of the whole order.
TEST_F(ViewTest, AShortDeclaredReadOfAnOrderGoesOnPastItsRows) {
  std::mt19937 rng(5);
  const char* groups[] = {"Summer", "Autumn", "Winter"};
  for (int i = 0; i < 300; ++i) {
    // Few distinct paths, so that many rows tie on the order's values; some share more than
    // their first eight characters.
    const std::string folder = i % 4 == 0 ? "C:\\MOVIES\\" : "C:\\M";
    AddMovie(*movies_, groups[rng() % 3], folder + std::to_string(rng() % 40) + ".AVI");
  }
  std::unique_ptr<View> view = OpenMovies();
  View& v = *view;
  for (const char* order : {"-POD:NASLOV", "POD:NASLOV", "UPPER(POD:SIFRA), POD:NASLOV", "-LEN(CLIP(POD:NASLOV)), POD:NASLOV"}) {
    SCOPED_TRACE(order);
    ASSERT_EQ(SetProperty(v.block(), kPropViewOrder, order), 0);
    const std::vector<std::string> all = Rows(v);
    ASSERT_EQ(all.size(), 305u);
    std::vector<std::string> back(all.rbegin(), all.rend());
    for (int64_t k : {1, 3, 20}) {
      SCOPED_TRACE(k);
      ASSERT_EQ(SetProperty(v.block(), kPropViewOrder, order), 0);
      v.ExpectReads(k);
      EXPECT_EQ(Rows(v), all);
      ASSERT_EQ(SetProperty(v.block(), kPropViewOrder, order), 0);
      v.ExpectReads(k);
      EXPECT_EQ(Rows(v, false), back);
      // Forward past the declared rows, then back to the top.
      ASSERT_EQ(SetProperty(v.block(), kPropViewOrder, order), 0);
      v.ExpectReads(k);
      ASSERT_EQ(SetView(v.block()), 0);
      for (int64_t i = 0; i < k + 2; ++i) {
        ASSERT_EQ(Next(v.block()), 0);
        EXPECT_EQ(Row(v), all[static_cast<size_t>(i)]);
      }
      const std::string position = Position(v.block());
      for (int64_t i = k; i >= 0; --i) {
        ASSERT_EQ(Previous(v.block()), 0);
        EXPECT_EQ(Row(v), all[static_cast<size_t>(i)]);
      }
      EXPECT_NE(Previous(v.block()), 0);
      // From the end, back past the declared rows, then a saved position.
      ASSERT_EQ(SetProperty(v.block(), kPropViewOrder, order), 0);
      v.ExpectReads(k);
      ASSERT_EQ(SetView(v.block()), 0);
      for (int64_t i = 0; i < k + 2; ++i) {
        ASSERT_EQ(Previous(v.block()), 0);
        EXPECT_EQ(Row(v), back[static_cast<size_t>(i)]);
      }
      ASSERT_EQ(Reset(v.block(), position), 0);
      ASSERT_EQ(Next(v.block()), 0);
      EXPECT_EQ(Row(v), all[static_cast<size_t>(k + 1)]);
      v.ExpectReads(0);
    }
  }
}

// A movie added between the rows of a short declared read: the read goes on from the row it
// delivered last, in the order as it stands now.
TEST_F(ViewTest, AShortDeclaredReadGoesOnFromItsRowAfterAChange) {
  std::unique_ptr<View> view = OpenMovies();
  View& v = *view;
  ASSERT_EQ(SetProperty(v.block(), kPropViewOrder, "-POD:NASLOV"), 0);
  v.ExpectReads(2);
  ASSERT_EQ(SetView(v.block()), 0);
  ASSERT_EQ(Next(v.block()), 0);
  EXPECT_EQ(Row(v), "C:\\E.AVI");
  ASSERT_EQ(Next(v.block()), 0);
  EXPECT_EQ(Row(v), "C:\\D.MOV");
  v.ExpectReads(0);
  AddMovie(*movies_, "Summer", "C:\\Z.AVI");  // first in the order, before the rows read
  AddMovie(*movies_, "Summer", "C:\\CC.AVI");
  std::vector<std::string> rest;
  while (Next(v.block()) == 0) rest.push_back(Row(v));
  EXPECT_EQ(rest, (std::vector<std::string>{"C:\\CC.AVI", "C:\\C.AVI", "C:\\B.AVI", "C:\\A.MPG"}));
}

// Rows that arrive in the reverse of the order each push the worst kept row out: the rows that
// left are dropped from memory now and then, and the rows kept stay whole.
TEST_F(ViewTest, AShortDeclaredReadOverRowsInReverseOrder) {
  // The first three rows of the order come first and stay; every later row pushes out the one
  // before it.
  for (const char* best : {"C:\\Z1.AVI", "C:\\Z2.AVI", "C:\\Z3.AVI"}) AddMovie(*movies_, "Summer", best);
  char path[32];
  for (int i = 1; i <= 1500; ++i) {
    std::snprintf(path, sizeof path, "C:\\R%05d.AVI", i);
    AddMovie(*movies_, "Summer", path);
  }
  std::unique_ptr<View> view = OpenMovies();
  View& v = *view;
  ASSERT_EQ(SetProperty(v.block(), kPropViewOrder, "-POD:NASLOV"), 0);
  const std::vector<std::string> all = Rows(v);
  ASSERT_EQ(all.size(), 1508u);
  ASSERT_EQ(SetProperty(v.block(), kPropViewOrder, "-POD:NASLOV"), 0);
  v.ExpectReads(4);
  ASSERT_EQ(SetView(v.block()), 0);
  std::vector<std::string> positions;
  for (size_t i = 0; i < 4; ++i) {
    ASSERT_EQ(Next(v.block()), 0);
    EXPECT_EQ(Row(v), all[i]);
    positions.push_back(Position(v.block()));
  }
  v.ExpectReads(0);
  for (size_t i = 0; i < 4; ++i) {
    ASSERT_EQ(Reget(v.block(), positions[i]), 0);
    EXPECT_EQ(Row(v), all[i]);
  }
  ASSERT_EQ(SetProperty(v.block(), kPropViewOrder, "-POD:NASLOV"), 0);
  v.ExpectReads(4);
  EXPECT_EQ(Rows(v), all);
  v.ExpectReads(0);
}

// When filling the whole list past a short declared read fails (here the file was closed
// meanwhile), the read gives the error, not the end; the sequence ends there, as a file's does,
// and SET reads every row again.
TEST_F(ViewTest, AFailedFillingPastAShortDeclaredReadGivesItsError) {
  std::unique_ptr<View> view = OpenMovies();
  View& v = *view;
  ASSERT_EQ(SetProperty(v.block(), kPropViewOrder, "-POD:NASLOV"), 0);
  const std::vector<std::string> all = Rows(v);
  v.ExpectReads(2);
  ASSERT_EQ(SetView(v.block()), 0);
  ASSERT_EQ(Next(v.block()), 0);
  ASSERT_EQ(Next(v.block()), 0);
  EXPECT_EQ(Row(v), all[1]);
  v.ExpectReads(0);
  Close(*movies_);
  EXPECT_NE(Next(v.block()), 0);
  EXPECT_NE(v.block().last_error, 0);
  EXPECT_NE(v.block().last_error, 33);
  ASSERT_EQ(Share(*movies_, 0x42), 0);
  EXPECT_EQ(Rows(v), all);
}

TEST_F(ViewTest, OperationsTheEngineDoesNotHandleGive80) {
  std::unique_ptr<View> view = OpenMovies();
  View& v = *view;
  EXPECT_EQ(Add(v.block()), 80);
  EXPECT_EQ(Lock(v.block()), 80);
  EXPECT_EQ(GetProperty(v.block(), kPropViewFileCount), "1");
  EXPECT_EQ(GetProperty(v.block(), kPropViewFile, 1), md_.name);
  // PUT and DELETE go to the primary file.
  ASSERT_EQ(SetView(v.block()), 0);
  ASSERT_EQ(Next(v.block()), 0);
  ASSERT_EQ(Delete(v.block()), 0);
  EXPECT_EQ(Records(*movies_), 4);
  EXPECT_EQ(Close(v.block()), 0);
  EXPECT_EQ(Next(v.block()), 37);
  ASSERT_EQ(Open(v.block()), 0);  // the closed VIEW opens again
  EXPECT_EQ(Rows(v).size(), 4u);
}

TEST_F(ViewTest, OpenNeedsTheFilesOpen) {
  ViewDeclaration d;
  d.primary = movies_.get();
  View v(d);
  Close(*movies_);
  EXPECT_EQ(Open(v.block()), 37);
  ASSERT_EQ(Share(*movies_, 0x42), 0);
  EXPECT_EQ(Open(v.block()), 0);
}

TEST_F(ViewTest, ResetToThePrimaryFilesRecord) {
  View v(GroupsWithMovies(false));
  ASSERT_EQ(Open(v.block()), 0);
  PutText(*groups_, 1, "Empty");
  ASSERT_EQ(Get(*groups_, 0), 0);
  ASSERT_EQ(ResetViewFile(v.block()), 0);
  ASSERT_EQ(Next(v.block()), 0);
  EXPECT_EQ(Row(v), "Empty|");
  ASSERT_EQ(Next(v.block()), 0);
  EXPECT_EQ(Row(v), "Summer|C:\\A.MPG");
}

TEST_F(ViewTest, TraceWritesOneLinePerOperation) {
  const std::string profile = (dir_ / "profile.ini").string();
  const std::string log = (dir_ / "VIEW.LOG").string();
  const char* old = std::getenv("CINEVO_PROFILE");
  const std::string old_profile = old ? old : "";
  setenv("CINEVO_PROFILE", profile.c_str(), 1);
  ASSERT_TRUE(platform::WriteIniValue(profile, "VXVIEW", "Profile", "1"));
  ASSERT_TRUE(platform::WriteIniValue(profile, "VXVIEW", "TraceFile", log));
  {
    ViewDeclaration d;
    d.primary = groups_.get();
    d.key = 0;
    View v(d);
    ASSERT_EQ(Open(v.block()), 0);
    ASSERT_EQ(SetView(v.block()), 0);
    for (int i = 0; i < 4; ++i) Next(v.block());
    EXPECT_EQ(Add(v.block()), 80);
    Close(v.block());
    char id[16];
    std::snprintf(id, sizeof id, "VIEW:%lX:", static_cast<unsigned long>(v.identity()));
    std::ifstream in(log, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string got = text.str();
    for (size_t at = 0; (at = got.find("Time Taken: ", at)) != std::string::npos; at += 12) {
      got.replace(at + 12, got.find(" secs", at) - at - 12, "0.00");
    }
    EXPECT_EQ(got, std::string(id) + "OPEN(GRUPA)             Time Taken: 0.00 secs\r\n" +
                       id + "SETview(GRUPA)          Time Taken: 0.00 secs\r\n" +
                       id + "NEXT(GRUPA)             Time Taken: 0.00 secs\r\n" +
                       id + "NEXT(GRUPA)             Time Taken: 0.00 secs\r\n" +
                       id + "NEXT(GRUPA)             Time Taken: 0.00 secs\r\n" +
                       id + "NEXT(GRUPA)             Error: Record Not Available Time Taken: 0.00 secs\r\n" +
                       id + "ADD(GRUPA)              Error: Unsupported File Driver Function Time Taken: 0.00 secs\r\n" +
                       id + "CLOSE(GRUPA)            Time Taken: 0.00 secs\r\n");
  }
  if (old_profile.empty()) {
    unsetenv("CINEVO_PROFILE");
  } else {
    setenv("CINEVO_PROFILE", old_profile.c_str(), 1);
  }
}

}  // namespace
}  // namespace cinevo
