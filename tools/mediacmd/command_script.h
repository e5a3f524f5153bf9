// The line language of the mediacmd tool: media commands plus a few directives of the tool.
//
//   # comment          ignored, as are blank lines
//   sleep N            keep playing for N milliseconds before the next line
//   sound PATH         play a sound file to its end
//   quit               stop reading
//   anything else      a media command, sent as it stands
#pragma once

#include <string>
#include <string_view>

namespace cinevo::platform {

struct ScriptLine {
  enum class Kind { kSkip, kCommand, kSleep, kSound, kQuit, kBad } kind = Kind::kSkip;
  std::string text;     // the command (kCommand) or path (kSound)
  int milliseconds = 0;  // kSleep
};

ScriptLine ParseScriptLine(std::string_view line);

// One output line: the result code, its text when it is not 0, and the reply in quotes.
//   0 "playing"
//   5 The file does not exist ""
std::string FormatAnswer(int code, std::string_view reply);

}  // namespace cinevo::platform
