#include "runtime/core/locale.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwctype>
#include <cstdio>
#include <memory>
#include <langinfo.h>
#include <vector>

#include "platform/code_page.h"
#include "platform/path_resolver.h"
#include "platform/profile.h"
#include "runtime/core/env_file.h"
#include "runtime/core/error.h"
#include "runtime/core/error_codes.h"
#include "runtime/core/locale_tables.h"

namespace cinevo::locale {
namespace {

using Weights = std::array<uint8_t, 256>;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return platform::NamesEqualNoCase(a, b);
}

bool StartsNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualNoCase(s.substr(0, prefix.size()), prefix);
}

bool IsWindows(std::string_view value) { return EqualNoCase(Trim(value), "WINDOWS"); }

std::string Cut(std::string_view s, size_t n) { return std::string(s.substr(0, n)); }

// The weight of each OEM byte: the weight of its ANSI counterpart.
void DeriveOemWeights(LocaleTables& t) {
  for (int o = 0; o < 256; ++o) {
    t.other_collation[o] = t.collation[platform::OemToAnsiChar(static_cast<uint8_t>(o))];
  }
}

// Listed characters take their positions as weights; the rest follow in code order.
Weights WeightsFromList(std::string_view list) {
  Weights w{};
  bool placed[256] = {};
  int next = 0;
  for (char ch : list) {
    auto c = static_cast<uint8_t>(ch);
    if (placed[c]) continue;  // a repeated character keeps its first place
    placed[c] = true;
    w[c] = static_cast<uint8_t>(next++);
  }
  for (int c = 0; c < 256; ++c) {
    if (!placed[c]) w[c] = static_cast<uint8_t>(next++);
  }
  return w;
}

// The C library's collation key of one ANSI character in the current locale. In a UTF-8 locale the
// character is presented in UTF-8 so that the locale sees the character the byte stands for.
std::string CollationKey(uint8_t c, bool utf8) {
  std::string text = utf8 ? platform::AnsiToUtf8(std::string_view(reinterpret_cast<char*>(&c), 1))
                          : std::string(1, static_cast<char>(c));
  size_t n = std::strxfrm(nullptr, text.c_str(), 0);
  std::string key(n + 1, '\0');
  std::strxfrm(key.data(), text.c_str(), key.size());
  key.resize(n);
  return key;
}

bool LocaleIsUtf8() {
  const char* codeset = nl_langinfo(CODESET);
  return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

void WindowsCollation(LocaleTables& t) {
  bool utf8 = LocaleIsUtf8();
  std::vector<std::pair<std::string, int>> keyed;
  for (int c = 2; c <= 254; ++c) keyed.emplace_back(CollationKey(static_cast<uint8_t>(c), utf8), c);
  std::sort(keyed.begin(), keyed.end());  // by key, equal keys by code
  for (int c = 0; c < 256; ++c) t.collation[c] = static_cast<uint8_t>(c);
  for (size_t i = 0; i < keyed.size(); ++i) t.collation[keyed[i].second] = static_cast<uint8_t>(i + 2);
  DeriveOemWeights(t);
}

void ListCollation(LocaleTables& t, std::string_view raw_value) {
  std::string list;
  for (const std::string& item : SplitEnvItems(raw_value)) list += item;
  if (t.oem_charset) {
    t.collation = WeightsFromList(platform::OemToAnsi(list));
    t.other_collation = WeightsFromList(list);
  } else {
    t.collation = WeightsFromList(list);
    DeriveOemWeights(t);
  }
}

// The default case table for ASCII, nothing for 128-255.
void ResetCase(LocaleTables& t) {
  LocaleTables defaults;
  t.case_partner = defaults.case_partner;
  t.char_class = defaults.char_class;
}

void Pair(LocaleTables& t, uint8_t upper, uint8_t lower) {
  if (upper < 128 || lower < 128 || upper == lower) return;
  t.case_partner[upper] = lower;
  t.case_partner[lower] = upper;
  t.char_class[upper] = kCharUpper;
  t.char_class[lower] = kCharLower;
}

void WindowsCase(LocaleTables& t) {
  ResetCase(t);
  for (int c = 128; c < 256; ++c) {
    auto u = platform::AnsiToUnicode(static_cast<uint8_t>(c));
    if (!u) continue;
    auto wc = static_cast<wint_t>(*u);
    if (!std::iswalpha(wc) || !std::iswupper(wc)) continue;
    auto lower = platform::UnicodeToAnsi(static_cast<char32_t>(std::towlower(wc)));
    if (lower) Pair(t, static_cast<uint8_t>(c), *lower);
  }
}

void ListCase(LocaleTables& t, std::string_view value) {
  ResetCase(t);
  std::vector<std::string> items = SplitEnvItems(value);
  if (items.size() < 2) return;
  size_t n = std::min(items[0].size(), items[1].size());
  for (size_t i = 0; i < n; ++i) {
    Pair(t, static_cast<uint8_t>(items[0][i]), static_cast<uint8_t>(items[1][i]));
  }
}

void WindowsAmPm(LocaleTables& t) {
  t.am = Cut(platform::GetProfileString("intl", "s1159", "AM"), 2);
  t.pm = Cut(platform::GetProfileString("intl", "s2359", "PM"), 2);
}

void Months(std::array<std::string, 12>& names, std::string_view value, size_t width) {
  std::vector<std::string> items = SplitEnvItems(value);
  for (size_t m = 0; m < 12 && m < items.size(); ++m) {
    if (items[m].empty()) break;
    names[m] = Cut(items[m], width);
  }
}

void Digraphs(LocaleTables& t, std::string_view value) {
  t.digraphs = {};
  t.digraphs_oem = {};
  size_t n = 0;
  for (const std::string& item : SplitEnvItems(value)) {
    for (size_t i = 0; i + 3 <= item.size() && n < t.digraphs.size(); i += 3, ++n) {
      t.digraphs[n] = DigraphEntry{item[i], {item[i + 1], item[i + 2]}};
      auto oem = [](char c) {
        return static_cast<char>(platform::AnsiToOemChar(static_cast<uint8_t>(c)));
      };
      t.digraphs_oem[n] = DigraphEntry{oem(item[i]), {oem(item[i + 1]), oem(item[i + 2])}};
    }
  }
}

// The number after "VEXMSG", when the rest of the key is one (1 to 9 digits).
bool MessageNumber(std::string_view digits, int& number) {
  if (digits.empty() || digits.size() > 9) return false;
  number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  return true;
}

// An environment file is a few lines; more than this is not read.
constexpr size_t kEnvFileMaxBytes = 16u << 20;

// The bytes of a regular file (devices, pipes and folders are refused).
bool ReadWholeFile(const std::string& path, std::string& bytes) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) return false;
  struct stat st;
  if (::fstat(::fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  char chunk[8192];
  size_t n;
  while (bytes.size() < kEnvFileMaxBytes && (n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) {
    bytes.append(chunk, n);
  }
  return std::ferror(f.get()) == 0;
}

}  // namespace

void Apply(std::string_view key, std::string_view value) {
  LocaleTables& t = Locale();
  if (EqualNoCase(key, "VEXCOLSEQ")) {
    if (Trim(value).empty()) {
      for (int c = 0; c < 256; ++c) t.collation[c] = t.other_collation[c] = static_cast<uint8_t>(c);
    } else if (IsWindows(value)) {
      WindowsCollation(t);
    } else {
      ListCollation(t, value);
    }
    return;
  }

  // Every other value is written in the OEM code page when that character set is selected.
  std::string converted;
  if (t.oem_charset) {
    converted = platform::OemToAnsi(value);
    value = converted;
  }

  if (EqualNoCase(key, "VEXCHARSET")) {
    t.oem_charset = Trim(value) == "OEM";
  } else if (EqualNoCase(key, "VEXCASE")) {
    if (Trim(value).empty()) {
      ResetCase(t);
    } else if (IsWindows(value)) {
      WindowsCase(t);
    } else {
      ListCase(t, value);
    }
  } else if (EqualNoCase(key, "VEXMONTH")) {
    Months(t.month_long, value, 12);
  } else if (EqualNoCase(key, "VEXMON")) {
    Months(t.month_short, value, 3);
  } else if (EqualNoCase(key, "VEXAMPM")) {
    if (IsWindows(value)) {
      WindowsAmPm(t);
    } else {
      std::vector<std::string> items = SplitEnvItems(value);
      if (items.size() > 0) t.am = Cut(items[0], 2);
      if (items.size() > 1) t.pm = Cut(items[1], 2);
    }
  } else if (EqualNoCase(key, "VEXDIGRAPH")) {
    Digraphs(t, value);
  } else if (EqualNoCase(key, "VEXBUTTON")) {
    std::vector<std::string> items = SplitEnvItems(value);
    for (size_t n = 0; n < items.size(); ++n) {
      if (!items[n].empty()) t.messages[0x7F00 + static_cast<int>(n)] = items[n];
    }
  } else if (EqualNoCase(key, "VEXLFN")) {
    t.long_file_names = EqualNoCase(Trim(value), "on");
  } else if (StartsNoCase(key, "VEXMSG")) {
    int number = 0;
    if (MessageNumber(key.substr(6), number)) t.messages[number] = std::string(value);
  }
}

bool Load(std::string_view name) {
  if (IsWindows(name)) {
    LocaleTables& t = Locale();
    WindowsCollation(t);
    WindowsCase(t);
    WindowsAmPm(t);
    return true;
  }
  auto path = platform::ResolveExistingPath(name);
  std::string bytes;
  if (!path || !ReadWholeFile(*path, bytes)) {
    PostError(kErrFileNotFound);
    return false;
  }
  for (const EnvEntry& e : ParseEnvFile(bytes)) Apply(e.key, e.value);
  return true;
}

void LoadRegionalSettings() {
  LocaleTables& t = Locale();
  RegionalSettings r;
  std::string path = platform::ProfilePath();
  r.time_24h = platform::GetIniInt(path, "intl", "iTime", r.time_24h);
  r.hour_leading_zero = platform::GetIniInt(path, "intl", "iTLzero", r.hour_leading_zero);
  std::string sep = platform::GetIniString(path, "intl", "sTime", r.time_separator);
  if (!sep.empty()) r.time_separator = Cut(sep, 1);
  r.am = Cut(platform::GetIniString(path, "intl", "s1159", r.am), 2);
  r.pm = Cut(platform::GetIniString(path, "intl", "s2359", r.pm), 2);
  r.short_date = platform::GetIniString(path, "intl", "sShortDate", r.short_date);
  r.long_date = platform::GetIniString(path, "intl", "sLongDate", r.long_date);
  t.am = r.am;
  t.pm = r.pm;
  t.regional = std::move(r);
}

std::string ProgramPath() {
  std::string buffer(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return {};
  buffer.resize(static_cast<size_t>(n));
  return buffer;
}

void Startup(std::string_view program_path) {
  LocaleTables& t = Locale();
  t.ResetToDefaults();
  LoadRegionalSettings();
  t.startup_collation = t.collation;
  std::string program = program_path.empty() ? ProgramPath() : std::string(program_path);
  if (!program.empty()) Load(EnvironmentFileName(program));
}

}  // namespace cinevo::locale
