#include "tools/mediacmd/command_script.h"

#include <charconv>

#include "platform/media_command/media_command.h"
#include "platform/media_command/media_result.h"

namespace cinevo::platform {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
    s.remove_suffix(1);
  }
  return s;
}

}  // namespace

ScriptLine ParseScriptLine(std::string_view line) {
  ScriptLine out;
  std::string_view t = Trim(line);
  if (t.empty() || t.front() == '#') return out;
  size_t blank = t.find_first_of(" \t");
  std::string_view word = t.substr(0, blank);
  std::string_view rest = blank == std::string_view::npos ? std::string_view() : Trim(t.substr(blank));
  if (MediaEqualNoCase(word, "quit")) {
    out.kind = rest.empty() ? ScriptLine::Kind::kQuit : ScriptLine::Kind::kBad;
  } else if (MediaEqualNoCase(word, "sleep")) {
    int ms = -1;
    auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), ms);
    bool ok = ec == std::errc() && end == rest.data() + rest.size() && ms >= 0 && ms <= 3600000;
    out.kind = ok ? ScriptLine::Kind::kSleep : ScriptLine::Kind::kBad;
    out.milliseconds = ok ? ms : 0;
  } else if (MediaEqualNoCase(word, "sound")) {
    out.kind = rest.empty() ? ScriptLine::Kind::kBad : ScriptLine::Kind::kSound;
    out.text = std::string(rest);
  } else {
    out.kind = ScriptLine::Kind::kCommand;
    out.text = std::string(t);
  }
  return out;
}

std::string FormatAnswer(int code, std::string_view reply) {
  std::string line = std::to_string(code);
  if (code != kMediaOk) line += " " + std::string(MediaResultText(code));
  line += " \"";
  line += reply;
  line += "\"";
  return line;
}

}  // namespace cinevo::platform
