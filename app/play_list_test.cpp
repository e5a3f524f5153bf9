// Play-list entries: the path of an entry survives commas in the path, empty modes and cuts.
#include "app/play_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cinevo::app {
namespace {

TEST(EntryPathTest, PathIsEverythingBeforeTheLastSeparator) {
  EXPECT_EQ(EntryPath("/M/A.AVI , playing"), "/M/A.AVI");
  EXPECT_EQ(EntryPath("/M/A,B.AVI , stopped"), "/M/A,B.AVI");         // a comma in the path
  EXPECT_EQ(EntryPath("/M/X , Y/A.AVI , paused"), "/M/X , Y/A.AVI");  // even " , " in the path
  EXPECT_EQ(EntryPath("/M/A.AVI ,"), "/M/A.AVI");                      // the mode came back empty
  EXPECT_EQ(EntryPath("/M/X , Y.AVI ,   "), "/M/X , Y.AVI");
  EXPECT_EQ(EntryPath("/M/A.AVI"), "/M/A.AVI");  // an entry without its separator
  EXPECT_EQ(EntryPath("   "), "");
}

TEST(EntryPathTest, MakeEntryRoundTripsThroughEntryPath) {
  for (const std::string& path : std::vector<std::string>{"/A.AVI", "/m/a , b.mov", "/m/,a.mpg",
                                                          std::string(kMaxEntryPath, 'x')}) {
    for (std::string mode : {"playing", "", "not ready"}) {
      std::string entry = MakeEntry(path, mode);
      EXPECT_LE(entry.size(), kEntrySize);
      EXPECT_EQ(EntryPath(entry), path) << "mode '" << mode << "'";
    }
  }
  EXPECT_EQ(MakeEntry("/A.AVI", "playing"), "/A.AVI , playing");
  EXPECT_EQ(MakeEntry("/A.AVI  ", "stopped  "), "/A.AVI , stopped");
  EXPECT_EQ(MakeEntry("/A.AVI", ""), "/A.AVI ,");
}

TEST(CaseTest, OnlyAsciiLettersChange) {
  EXPECT_EQ(AsciiUpper("/home/ana/fil\xc3\xa9.avi"), "/HOME/ANA/FIL\xc3\xa9.AVI");
  EXPECT_EQ(AsciiLower("/HOME/\xc3\x89T\xc3\x89.AVI"), "/home/\xc3\x89t\xc3\x89.avi");
  EXPECT_EQ(Clip("a b  "), "a b");
  EXPECT_EQ(Clip("   "), "");
}

TEST(PlayListTest, KeepsOrderFindsAndDeletesByWholePath) {
  PlayList list;
  EXPECT_TRUE(list.Empty());
  list.Append("/M/A.AVI.AVI , playing");
  list.Append("/M/A.AVI , playing");
  list.Append("/X/M/A.AVI , stopped");
  list.Append("/M/A.AVI , paused");  // the same movie twice
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Get(3), "/X/M/A.AVI , stopped");
  EXPECT_EQ(list.PathAt(1), "/M/A.AVI.AVI");
  // Only an entry whose path is the whole path matches, and the first one of them.
  EXPECT_EQ(list.FindPath("/M/A.AVI"), 2);
  EXPECT_EQ(list.FindPath("/M/A"), 0);
  list.Delete(list.FindPath("/M/A.AVI"));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Get(2), "/X/M/A.AVI , stopped");
  EXPECT_EQ(list.Get(3), "/M/A.AVI , paused");
  list.Put(3, "/M/A.AVI , playing");
  EXPECT_EQ(list.Get(3), "/M/A.AVI , playing");
  // Positions out of range change nothing.
  list.Delete(0);
  list.Delete(9);
  list.Put(9, "x");
  EXPECT_EQ(list.Get(9), "");
  EXPECT_EQ(list.Count(), 3);
  list.Clear();
  EXPECT_TRUE(list.Empty());
  list.Append("/B.MOV , playing");  // usable again after clearing
  EXPECT_EQ(list.Get(1), "/B.MOV , playing");
}

TEST(PlayListTest, EntriesAreCutToTheirSizeInTheQueue) {
  PlayList list;
  list.Append(std::string(300, 'Q'));
  EXPECT_EQ(list.Get(1).size(), kEntrySize);
  EXPECT_EQ(list.queue().record_size, kEntrySize);
}

}  // namespace
}  // namespace cinevo::app
