#include "tools/mediacmd/command_script.h"

#include <gtest/gtest.h>

#include "platform/media_command/media_result.h"

namespace cinevo::platform {
namespace {

using Kind = ScriptLine::Kind;

TEST(CommandScript, DirectivesCommandsAndNoise) {
  EXPECT_EQ(ParseScriptLine("").kind, Kind::kSkip);
  EXPECT_EQ(ParseScriptLine("   # a comment").kind, Kind::kSkip);
  ScriptLine s = ParseScriptLine("SLEEP 250\r\n");
  EXPECT_EQ(s.kind, Kind::kSleep);
  EXPECT_EQ(s.milliseconds, 250);
  EXPECT_EQ(ParseScriptLine("sleep").kind, Kind::kBad);
  EXPECT_EQ(ParseScriptLine("sleep -1").kind, Kind::kBad);
  EXPECT_EQ(ParseScriptLine("sleep 10x").kind, Kind::kBad);
  s = ParseScriptLine("sound /a b/c.wav ");
  EXPECT_EQ(s.kind, Kind::kSound);
  EXPECT_EQ(s.text, "/a b/c.wav");
  EXPECT_EQ(ParseScriptLine("quit").kind, Kind::kQuit);
  s = ParseScriptLine("  play /x y.avi from 0  ");
  EXPECT_EQ(s.kind, Kind::kCommand);
  EXPECT_EQ(s.text, "play /x y.avi from 0");
  EXPECT_EQ(ParseScriptLine("sleepy /x.avi").kind, Kind::kCommand);  // not a directive
}

TEST(CommandScript, AnswersShowCodeTextAndReply) {
  EXPECT_EQ(FormatAnswer(kMediaOk, "playing"), "0 \"playing\"");
  EXPECT_EQ(FormatAnswer(kMediaOk, ""), "0 \"\"");
  EXPECT_EQ(FormatAnswer(kMediaFileNotFound, ""), "5 The file does not exist \"\"");
}

}  // namespace
}  // namespace cinevo::platform
