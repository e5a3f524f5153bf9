#include "platform/media_command/media_command.h"

#include <charconv>
#include <optional>
#include <vector>

#include "platform/media_command/media_result.h"
#include "platform/path_resolver.h"

namespace cinevo::platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

struct Word {
  size_t start;
  std::string_view text;
};

std::vector<Word> SplitWords(std::string_view s) {
  std::vector<Word> words;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    size_t start = i;
    while (i < s.size() && !IsBlank(s[i])) ++i;
    if (i > start) words.push_back({start, s.substr(start, i - start)});
  }
  return words;
}

std::optional<int> ParseNumber(std::string_view s) {
  if (s.empty() || s.size() > 11) return std::nullopt;
  int value = 0;
  const char* first = s.data();
  if (*first == '+') ++first;  // from_chars does not take a plus sign
  auto [end, ec] = std::from_chars(first, s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || first == end) return std::nullopt;
  return value;
}

// A keyword pattern: words that must follow the device name. "#" stands for a number.
struct Pattern {
  std::vector<std::string_view> words;
  MediaItem item;
};

struct VerbSyntax {
  std::string_view name;
  MediaVerb verb;
  bool bare_allowed;  // the device name alone is a complete command
  std::vector<Pattern> patterns;
};

const std::vector<VerbSyntax>& Syntax() {
  using I = MediaItem;
  static const std::vector<VerbSyntax> table = {
      {"open", MediaVerb::kOpen, true, {{{"parent", "#"}, I::kParent}}},
      {"close", MediaVerb::kClose, true, {}},
      {"play", MediaVerb::kPlay, true, {{{"from", "#"}, I::kFrom}}},
      {"stop", MediaVerb::kStop, true, {}},
      {"pause", MediaVerb::kPause, true, {}},
      {"resume", MediaVerb::kResume, true, {}},
      {"put", MediaVerb::kPut, false,
       {{{"window", "at", "#", "#", "#", "#"}, I::kWindowAt}, {{"window"}, I::kWindow}}},
      {"where", MediaVerb::kWhere, false, {{{"destination"}, I::kDestination}}},
      {"status", MediaVerb::kStatus, false,
       {{{"time", "format"}, I::kTimeFormat},
        {{"mode"}, I::kMode},
        {{"length"}, I::kLength},
        {{"position"}, I::kPosition}}},
      {"info", MediaVerb::kInfo, false,
       {{{"window", "text"}, I::kWindowText}, {{"version"}, I::kVersion}, {{"product"}, I::kProduct}}},
      {"capability", MediaVerb::kCapability, false,
       {{{"has", "audio"}, I::kHasAudio}, {{"has", "video"}, I::kHasVideo}}},
      {"set", MediaVerb::kSet, false,
       {{{"time", "format", "milliseconds"}, I::kTimeMilliseconds},
        {{"time", "format", "ms"}, I::kTimeMilliseconds},
        {{"time", "format", "frames"}, I::kTimeFrames}}},
  };
  return table;
}

enum class Match { kNo, kKeywordsOnly, kYes };

// Matches `tail` (exactly pattern-sized) against a pattern; numbers go to `numbers`.
Match MatchTail(const Pattern& p, const Word* tail, int numbers[4]) {
  int n = 0;
  bool numbers_ok = true;
  for (size_t i = 0; i < p.words.size(); ++i) {
    if (p.words[i] == "#") {
      auto v = ParseNumber(tail[i].text);
      if (!v) numbers_ok = false;
      else if (n < 4) numbers[n++] = *v;
    } else if (!MediaEqualNoCase(p.words[i], tail[i].text)) {
      return Match::kNo;
    }
  }
  return numbers_ok ? Match::kYes : Match::kKeywordsOnly;
}

}  // namespace

bool MediaEqualNoCase(std::string_view a, std::string_view b) { return platform::NamesEqualNoCase(a, b); }

int ParseMediaCommand(std::string_view text, MediaCommand& out, const MediaDeviceKnown& known) {
  out = MediaCommand{};
  text = Trim(text);
  size_t verb_end = 0;
  while (verb_end < text.size() && !IsBlank(text[verb_end])) ++verb_end;
  const VerbSyntax* syntax = nullptr;
  for (const VerbSyntax& s : Syntax()) {
    if (MediaEqualNoCase(s.name, text.substr(0, verb_end))) syntax = &s;
  }
  if (syntax == nullptr) return kMediaUnknownCommand;
  out.verb = syntax->verb;

  std::string_view rest = Trim(text.substr(verb_end));
  if (rest.empty()) return kMediaMissingParameter;

  std::vector<Word> tail_words;
  std::string_view device;
  bool quoted = rest.front() == '"';
  if (quoted) {
    size_t close = rest.find('"', 1);
    if (close == std::string_view::npos) return kMediaBadParameter;
    device = rest.substr(1, close - 1);
    std::string_view after = rest.substr(close + 1);
    if (!after.empty() && !IsBlank(after.front())) return kMediaBadParameter;
    tail_words = SplitWords(after);
    if (Trim(device).empty()) return kMediaMissingParameter;
  }

  bool keywords_matched_bad_number = false;
  if (quoted) {
    // The keywords are exactly the words after the closing quote.
    if (tail_words.empty()) {
      if (!syntax->bare_allowed) return kMediaMissingParameter;
    } else {
      bool found = false;
      for (const Pattern& p : syntax->patterns) {
        if (p.words.size() != tail_words.size()) continue;
        Match m = MatchTail(p, tail_words.data(), out.number);
        if (m == Match::kYes) {
          out.item = p.item;
          found = true;
          break;
        }
        if (m == Match::kKeywordsOnly) keywords_matched_bad_number = true;
      }
      if (!found) return keywords_matched_bad_number ? kMediaBadParameter : kMediaUnknownKeyword;
    }
  } else {
    std::vector<Word> words = SplitWords(rest);
    bool found = false;
    for (const Pattern& p : syntax->patterns) {  // patterns are listed longest first
      size_t k = p.words.size();
      if (words.size() <= k) continue;
      const Word* tail = &words[words.size() - k];
      Match m = MatchTail(p, tail, out.number);
      if (m == Match::kYes) {
        out.item = p.item;
        device = Trim(rest.substr(0, tail->start));
        found = true;
        break;
      }
      if (m == Match::kKeywordsOnly) keywords_matched_bad_number = true;
    }
    if (!found) {
      if (keywords_matched_bad_number) return kMediaBadParameter;
      if (!syntax->bare_allowed) {
        if (words.size() == 1 || (known && known(rest))) return kMediaMissingParameter;
        return kMediaUnknownKeyword;
      }
      device = rest;
    }
  }
  out.device = std::string(device);
  out.all = MediaEqualNoCase(device, "all");
  return kMediaOk;
}

}  // namespace cinevo::platform
