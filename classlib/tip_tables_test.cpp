#include "classlib/tip_tables.h"

#include <gtest/gtest.h>

#include <string>

#include "classlib/scripted_window.h"

namespace cinevo::classlib {
namespace {

using Entries = std::vector<TipEntry>;

// Every table reads back completely, entry for entry, with the texts exactly as users see them.
TEST(TipTablesTest, EveryTableReadsBackExactlyAndCompletely) {
  struct Case {
    std::string_view table;
    Entries expected;
  } cases[] = {
      {kFormInsertTips,
       {{2000, "Save record and add another"}, {2008, "Save record and add another"}}},
      {kFormChangeTips,
       {{2004, "Save changes and go to last record"},
        {2005, "Save changes and go to first record"},
        {2006, "Save changes and page down to record"},
        {2007, "Save changes and page up to record"},
        {2008, "Save changes and go to next record"},
        {2009, "Save changes and go to previous record"},
        {2000, "Save this record and add a new one"}}},
      {kTreeTips,
       {{2004, "Go to next parent record"},
        {2005, "Go to parent record"},
        {2006, "Go to next similar record"},
        {2007, "Go to previous similar record"},
        {2008, "Go to next record"},
        {2009, "Go to previous record"}}},
      {kBrowseTips,
       {{2008, "Go to the Next Record"},
        {2004, "Go to the Last Page"},
        {2005, "Go to the First Page"},
        {2006, "Go to the Next Page"},
        {2007, "Go to the Prior Page"},
        {2008, "Go to the Next Record"},
        {2009, "Go to the Prior Record"},
        {2000, "Insert a new Record"}}},
  };
  for (const Case& c : cases) {
    bool complete = false;
    EXPECT_EQ(ReadTipTable(c.table, &complete), c.expected);
    EXPECT_TRUE(complete);
  }
}

// The stored layout itself: count byte, little-endian button word, length byte, no terminator.
TEST(TipTablesTest, StoredBytesFollowThePackedLayout) {
  ASSERT_EQ(kFormInsertTips.size(), 1u + 2 * (3 + 27));
  EXPECT_EQ(kFormInsertTips.substr(0, 4), std::string_view("\x02\xD0\x07\x1B", 4));
  EXPECT_EQ(kFormInsertTips.back(), 'r');
  EXPECT_EQ(kFormChangeTips.size(), 267u);
  EXPECT_EQ(kTreeTips.size(), 154u);
  EXPECT_EQ(kBrowseTips.size(), 186u);
}

TEST(TipTablesTest, MalformedTablesGiveWhatWasReadAndSaySo) {
  bool complete = true;
  EXPECT_TRUE(ReadTipTable({}, &complete).empty());
  EXPECT_FALSE(complete);

  // Cut inside the second entry's text.
  Entries cut = ReadTipTable(kFormInsertTips.substr(0, kFormInsertTips.size() - 5), &complete);
  EXPECT_FALSE(complete);
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_EQ(cut[0].text, "Save record and add another");

  // Cut inside a button word, and trailing bytes after the last entry.
  ReadTipTable(std::string_view("\x01\xD0", 2), &complete);
  EXPECT_FALSE(complete);
  std::string longer(kTreeTips);
  longer += 'x';
  EXPECT_EQ(ReadTipTable(longer, &complete).size(), 6u);
  EXPECT_FALSE(complete);

  // A count of zero is an empty, complete table; a length of zero an empty tip.
  EXPECT_TRUE(ReadTipTable(std::string_view("\x00", 1), &complete).empty());
  EXPECT_TRUE(complete);
  Entries empty = ReadTipTable(std::string_view("\x01\xDC\x07\x00", 4), &complete);
  EXPECT_TRUE(complete);
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_EQ(empty[0].button, 2012);
  EXPECT_TRUE(empty[0].text.empty());
}

TEST(TipTablesTest, SetTipsTouchesOnlyTheListedButtons) {
  ScriptedWindow w;
  w.SetTip(2001, "kept");
  SetTips(w, kFormInsertTips);
  EXPECT_EQ(w.Tip(2000), "Save record and add another");
  EXPECT_EQ(w.Tip(2008), "Save record and add another");
  EXPECT_EQ(w.Tip(2001), "kept");
  SetTips(w, kBrowseTips);
  EXPECT_EQ(w.Tip(2000), "Insert a new Record");
  EXPECT_EQ(w.Tip(2008), "Go to the Next Record");
}

}  // namespace
}  // namespace cinevo::classlib
