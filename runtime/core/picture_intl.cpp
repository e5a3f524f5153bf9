#include "runtime/core/picture_intl.h"

#include <cctype>
#include <string>

#include "runtime/core/picture_layout.h"

namespace cinevo {

namespace {

bool SameSettings(const IntlSettings& a, const IntlSettings& b) {
  return a.time_24h == b.time_24h && a.hour_leading_zero == b.hour_leading_zero &&
         a.time_separator == b.time_separator && a.short_date == b.short_date &&
         a.long_date == b.long_date;
}

// The layouts and the settings they were built from. Process-wide like the locale tables they
// follow: rebuilt when the tables' regional settings differ from `built_from`.
struct IntlLayouts {
  IntlSettings built_from;
  IntlLayout date17, date18, time7, time8;
  IntlLayouts() { Build(IntlSettings{}); }
  void Build(const IntlSettings& s);
};

const IntlLayouts& Layouts() {
  static IntlLayouts layouts;
  const IntlSettings& now = Locale().regional;
  if (!SameSettings(now, layouts.built_from)) layouts.Build(now);
  return layouts;
}

bool HasRun(std::string_view text, char letter, size_t n) {
  size_t run = 0;
  for (char c : text) {
    run = (std::tolower(static_cast<unsigned char>(c)) == letter) ? run + 1 : 0;
    if (run >= n) return true;
  }
  return false;
}

// The longest run of `letter` (either case) outside quoted text.
size_t LongestRun(std::string_view text, char letter) {
  size_t best = 0, run = 0;
  bool quoted = false;
  for (char c : text) {
    if (c == '\'') {
      quoted = !quoted;
      run = 0;
      continue;
    }
    run = (!quoted && std::tolower(static_cast<unsigned char>(c)) == letter) ? run + 1 : 0;
    if (run > best) best = run;
  }
  return best;
}

// Day fields of the long date: runs of "d" of at most two letters (longer runs are weekdays).
size_t LongestDayRun(std::string_view text) {
  size_t best = 0, run = 0;
  bool quoted = false;
  auto close = [&] {
    if (run <= 2 && run > best) best = run;
    run = 0;
  };
  for (char c : text) {
    if (c == '\'') {
      close();
      quoted = !quoted;
      continue;
    }
    if (!quoted && (c == 'd' || c == 'D')) {
      ++run;
    } else {
      close();
    }
  }
  close();
  return best;
}

void BuildShortDate(std::string_view text, IntlLayout& out) {
  char order = 'm';
  if (!text.empty()) {
    char first = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    if (first == 'd' || first == 'y') order = first;
  }
  const std::string month = HasRun(text, 'm', 2) ? "mm" : "Mm";
  const std::string day = HasRun(text, 'd', 2) ? "dd" : "Dd";
  const std::string year = HasRun(text, 'y', 3) ? "yyyy" : "yy";
  char sep = '/';
  size_t last_m = text.find_last_of("Mm");
  if (last_m != std::string_view::npos && last_m + 1 < text.size()) {
    size_t at = last_m + 1;
    if (text[at] == '\'' && at + 1 < text.size()) ++at;
    unsigned char c = static_cast<unsigned char>(text[at]);
    if (c != '\'' && !std::isalnum(c) && c >= 0x20) sep = static_cast<char>(c);
  }
  const std::string s(1, sep);
  std::string letters;
  if (order == 'd') {
    letters = day + s + month + s + year;
  } else if (order == 'y') {
    letters = year + s + month + s + day;
  } else {
    letters = month + s + day + s + year;
  }
  TokenWriter w(out.tokens.data(), out.tokens.size());
  out.width = static_cast<uint8_t>(WriteDateLayout(letters, w));
}

void BuildLongDate(std::string_view text, IntlLayout& out) {
  // The first field letter outside quotes, weekday runs skipped.
  char order = 0;
  bool quoted = false;
  for (size_t i = 0; i < text.size() && order == 0; ++i) {
    char c = text[i];
    if (c == '\'') {
      quoted = !quoted;
      continue;
    }
    if (quoted) continue;
    if (c == 'd' || c == 'D') {
      size_t run = 0;
      while (i + run < text.size() && (text[i + run] == 'd' || text[i + run] == 'D')) ++run;
      if (run <= 2) order = 'd';
      i += run - 1;
    } else if (c == 'y' || c == 'Y') {
      order = 'y';
    } else if (c == 'M') {
      order = 'm';
    } else if (std::isalpha(static_cast<unsigned char>(c))) {
      break;  // another letter first: the default long date
    }
  }
  if (order == 0) {
    BuildLongDate(IntlSettings{}.long_date, out);
    return;
  }
  const std::string name(LongestRun(text, 'm') >= 4 ? 9 : 3, 'N');
  const std::string day = LongestDayRun(text) >= 2 ? "dd" : "Dd";
  const std::string year = LongestRun(text, 'y') >= 3 ? "yyyy" : "yy";
  std::string letters;
  if (order == 'd') {
    letters = day + " " + name + " " + year;
  } else if (order == 'y') {
    letters = year + " " + name + " " + day;
  } else {
    letters = name + " " + day + ",_" + year;
  }
  TokenWriter w(out.tokens.data(), out.tokens.size());
  out.width = static_cast<uint8_t>(WriteDateLayout(letters, w));
}

void BuildTime(const IntlSettings& s, bool seconds, IntlLayout& out) {
  char sep = s.time_separator.empty() ? ':' : s.time_separator[0];
  if (std::isalnum(static_cast<unsigned char>(sep)) || sep == '_' ||
      static_cast<unsigned char>(sep) < 0x20) {
    sep = ':';  // a letter, digit or control character cannot separate fields
  }
  const bool h12 = s.time_24h != 1;
  std::string letters;
  letters += h12 ? (s.hour_leading_zero == 1 ? 'i' : 'I') : (s.hour_leading_zero == 1 ? 'h' : 'H');
  letters += h12 ? 'i' : 'h';
  letters += sep;
  letters += "mm";
  if (seconds) {
    letters += sep;
    letters += "ss";
  }
  if (h12) letters += "_PP";
  // The separator is written as a replaceable literal whatever character it is.
  TokenWriter w(out.tokens.data(), out.tokens.size());
  for (char c : letters) {
    if (c == sep) {
      w.Add(sep, kTokLiteral);
    } else {
      WriteTimeLayout(std::string_view(&c, 1), w);
    }
  }
  out.width = static_cast<uint8_t>(w.Count());
}

void IntlLayouts::Build(const IntlSettings& s) {
  built_from = s;
  date17 = date18 = time7 = time8 = IntlLayout{};
  BuildShortDate(s.short_date, date17);
  BuildLongDate(s.long_date, date18);
  BuildTime(s, false, time7);
  BuildTime(s, true, time8);
}

}  // namespace

void ApplyIntlSettings(const IntlSettings& settings) { Locale().regional = settings; }

const IntlLayout& IntlDateLayout(int number) {
  return number == 18 ? Layouts().date18 : Layouts().date17;
}

const IntlLayout& IntlTimeLayout(int number) {
  return number == 8 ? Layouts().time8 : Layouts().time7;
}

}  // namespace cinevo
