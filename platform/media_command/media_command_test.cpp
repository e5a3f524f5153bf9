#include "platform/media_command/media_command.h"

#include <gtest/gtest.h>

#include "platform/media_command/media_result.h"

namespace cinevo::platform {
namespace {

MediaCommand Parse(std::string_view text, int expected = kMediaOk) {
  MediaCommand c;
  EXPECT_EQ(ParseMediaCommand(text, c), expected) << text;
  return c;
}

TEST(MediaCommandParse, CommandsTheApplicationSends) {
  MediaCommand c = Parse("open C:/MOVIES/A.AVI parent 42 ");
  EXPECT_EQ(c.verb, MediaVerb::kOpen);
  EXPECT_EQ(c.device, "C:/MOVIES/A.AVI");
  EXPECT_EQ(c.item, MediaItem::kParent);
  EXPECT_EQ(c.number[0], 42);

  c = Parse("open X parent -3");
  EXPECT_EQ(c.number[0], -3);

  c = Parse("put /M/A.AVI window at 10 -20 400 300");
  EXPECT_EQ(c.item, MediaItem::kWindowAt);
  EXPECT_EQ(c.device, "/M/A.AVI");
  EXPECT_EQ(c.number[0], 10);
  EXPECT_EQ(c.number[1], -20);
  EXPECT_EQ(c.number[2], 400);
  EXPECT_EQ(c.number[3], 300);

  EXPECT_EQ(Parse("put /M/A.AVI window").item, MediaItem::kWindow);
  EXPECT_EQ(Parse("play all from 0").item, MediaItem::kFrom);
  EXPECT_EQ(Parse("status A mode").item, MediaItem::kMode);
  EXPECT_EQ(Parse("status A length").item, MediaItem::kLength);
  EXPECT_EQ(Parse("where A destination").item, MediaItem::kDestination);
  EXPECT_EQ(Parse("info A window text").item, MediaItem::kWindowText);
  EXPECT_EQ(Parse("info A version").item, MediaItem::kVersion);
  EXPECT_EQ(Parse("info A product").item, MediaItem::kProduct);
  EXPECT_EQ(Parse("capability A has audio").item, MediaItem::kHasAudio);
  EXPECT_EQ(Parse("set A time format milliseconds").item, MediaItem::kTimeMilliseconds);
  EXPECT_EQ(Parse("set A time format frames").item, MediaItem::kTimeFrames);
  EXPECT_EQ(Parse("set A time format ms").item, MediaItem::kTimeMilliseconds);
  EXPECT_EQ(Parse("stop A").item, MediaItem::kNone);
}

TEST(MediaCommandParse, VerbsAndKeywordsIgnoreCaseButNamesKeepTheirs) {
  MediaCommand c = Parse("STATUS /Movies/Clip.avi MODE");
  EXPECT_EQ(c.verb, MediaVerb::kStatus);
  EXPECT_EQ(c.device, "/Movies/Clip.avi");
  c = Parse("Close ALL");
  EXPECT_TRUE(c.all);
  EXPECT_FALSE(Parse("close ALLX").all);
}

TEST(MediaCommandParse, NamesWithBlanksAreReadFromTheEnd) {
  MediaCommand c = Parse("open /home/u/My Movies/a b.avi parent 7 ");
  EXPECT_EQ(c.device, "/home/u/My Movies/a b.avi");
  EXPECT_EQ(c.item, MediaItem::kParent);
  // A name that itself ends in a keyword-like word stays whole when keywords follow.
  c = Parse("status /x/window mode");
  EXPECT_EQ(c.device, "/x/window");
  c = Parse("play /my  two  blanks.avi");
  EXPECT_EQ(c.device, "/my  two  blanks.avi");
  c = Parse("put /a b/c window at 1 2 3 4");
  EXPECT_EQ(c.device, "/a b/c");
}

TEST(MediaCommandParse, QuotedNames) {
  MediaCommand c = Parse("open \"/a b/c.avi\" parent 3");
  EXPECT_EQ(c.device, "/a b/c.avi");
  EXPECT_EQ(c.number[0], 3);
  EXPECT_EQ(Parse("play \"/x y.mpg\"").device, "/x y.mpg");
  Parse("status \"/x y.mpg\"", kMediaMissingParameter);
  Parse("status \"/x y.mpg\" colour", kMediaUnknownKeyword);
  Parse("play \"/x y.mpg", kMediaBadParameter);
  Parse("play \"/x y.mpg\"from 0", kMediaBadParameter);
  Parse("play \"  \"", kMediaMissingParameter);
}

TEST(MediaCommandParse, MalformedCommandsGetDistinctCodes) {
  Parse("", kMediaUnknownCommand);
  Parse("   ", kMediaUnknownCommand);
  Parse("rewind A", kMediaUnknownCommand);
  Parse("play", kMediaMissingParameter);
  Parse("status A", kMediaMissingParameter);
  Parse("status /a b/c.avi colour", kMediaUnknownKeyword);
  Parse("play A from x", kMediaBadParameter);
  Parse("play A from 99999999999", kMediaBadParameter);
  Parse("put A window at 1 2 3", kMediaUnknownKeyword);
  Parse("put A window at 1 2 3 z", kMediaBadParameter);
  Parse("set A time format hours", kMediaUnknownKeyword);
  Parse("where A", kMediaMissingParameter);
  // Only the keywords: there is no device name before them.
  Parse("status mode", kMediaMissingParameter);
  Parse("put window at 1 2 3 4", kMediaUnknownKeyword);
}

TEST(MediaCommandParse, KnownDeviceTellsMissingFromUnknownKeyword) {
  MediaCommand c;
  auto known = [](std::string_view name) { return name == "/a b.avi"; };
  EXPECT_EQ(ParseMediaCommand("status /a b.avi", c, known), kMediaMissingParameter);
  EXPECT_EQ(ParseMediaCommand("status /a b.avi colour", c, known), kMediaUnknownKeyword);
}

TEST(MediaResultText, EveryCodeHasItsOwnText) {
  for (int a = kMediaOk; a <= kMediaUnavailable; ++a) {
    EXPECT_NE(MediaResultText(a), "Unknown result code") << a;
    for (int b = a + 1; b <= kMediaUnavailable; ++b) EXPECT_NE(MediaResultText(a), MediaResultText(b));
  }
  EXPECT_EQ(MediaResultText(-1), "Unknown result code");
  EXPECT_EQ(MediaResultText(9999), "Unknown result code");
}

}  // namespace
}  // namespace cinevo::platform
