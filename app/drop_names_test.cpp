// Splitting a drop text into the names of the dropped files.
#include "app/drop_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cinevo::app {
namespace {

using Names = std::vector<std::string>;

TEST(SplitDroppedNamesTest, SplitsOnlyWhereTheNextAbsolutePathBegins) {
  EXPECT_EQ(SplitDroppedNames("/m/a.avi"), Names{"/m/a.avi"});
  EXPECT_EQ(SplitDroppedNames("/m/a.avi,/m/b.mpg,/n/c.mov"),
            (Names{"/m/a.avi", "/m/b.mpg", "/n/c.mov"}));
  // Commas inside names stay there.
  EXPECT_EQ(SplitDroppedNames("/m/a,b.avi,/m/c, d.mov"), (Names{"/m/a,b.avi", "/m/c, d.mov"}));
  EXPECT_EQ(SplitDroppedNames("/m/x , y/a.avi,/m/b.avi"), (Names{"/m/x , y/a.avi", "/m/b.avi"}));
  EXPECT_EQ(SplitDroppedNames("/m/trailing,"), Names{"/m/trailing,"});
}

TEST(SplitDroppedNamesTest, EmptyPartsAndBlanksGo) {
  EXPECT_EQ(SplitDroppedNames(""), Names{});
  EXPECT_EQ(SplitDroppedNames("   "), Names{});
  EXPECT_EQ(SplitDroppedNames(",/a.avi"), Names{"/a.avi"});
  EXPECT_EQ(SplitDroppedNames("/a.avi   ,/b.avi  "), (Names{"/a.avi", "/b.avi"}));
}

TEST(SplitDroppedNamesTest, ATextOfAnyLengthIsSplitWhole) {
  std::string text;
  Names expected;
  for (int i = 0; i < 2000; ++i) {
    std::string name = "/very/long/folder/name/number/" + std::to_string(i) + "/movie.avi";
    expected.push_back(name);
    text += (i ? "," : "") + name;
  }
  ASSERT_GT(text.size(), 9000u);
  EXPECT_EQ(SplitDroppedNames(text), expected);
}

}  // namespace
}  // namespace cinevo::app
