#include "platform/profile.h"

#include <ini.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace cinevo::platform {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

struct Lookup {
  std::string_view section;
  std::string_view key;
  std::optional<std::string> found;
};

int OnEntry(void* user, const char* section, const char* name, const char* value) {
  auto* l = static_cast<Lookup*>(user);
  if (!l->found && name && value && EqualNoCase(section, l->section) && EqualNoCase(name, l->key)) {
    std::string_view v = value;
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
      v = v.substr(1, v.size() - 2);
    }
    l->found = std::string(v);
  }
  return 1;  // keep parsing: a malformed line is skipped, not fatal
}

}  // namespace

std::string ProfilePath() {
  if (const char* p = std::getenv("CINEVO_PROFILE"); p && *p) return p;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) {
    return std::string(x) + "/cinevo/cinevo.ini";
  }
  if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + "/.config/cinevo/cinevo.ini";
  return "cinevo.ini";
}

std::optional<std::string> ReadIniValue(const std::string& path, std::string_view section,
                                        std::string_view key) {
  Lookup lookup{Trim(section), Trim(key), std::nullopt};
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return std::nullopt;
  ini_parse_file(f, &OnEntry, &lookup);
  std::fclose(f);
  return lookup.found;
}

std::string GetIniString(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view default_value) {
  auto v = ReadIniValue(path, section, key);
  return v ? *v : std::string(default_value);
}

int GetIniInt(const std::string& path, std::string_view section, std::string_view key,
              int default_value) {
  auto v = ReadIniValue(path, section, key);
  if (!v) return default_value;
  std::string_view s = *v;
  bool negative = false;
  size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  long long n = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    n = n * 10 + (s[i] - '0');
    if (n > 0x7FFFFFFFLL) n = 0x80000000LL;  // saturate rather than overflow
  }
  if (negative) n = -n;
  if (n > 0x7FFFFFFFLL) n = 0x7FFFFFFFLL;
  return static_cast<int>(n);
}

bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::optional<std::string_view> value) {
  section = Trim(section);
  key = Trim(key);
  auto breaks = [](std::string_view s, std::string_view bad) {
    return s.find_first_of(bad) != std::string_view::npos;
  };
  if (key.empty() || breaks(section, "]\r\n") || breaks(key, "=\r\n[;#") ||
      (value && breaks(*value, "\r\n"))) {
    return false;
  }

  std::vector<std::string> lines;
  bool crlf = false;
  {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') {
        crlf = true;
        line.pop_back();
      }
      lines.push_back(line);
    }
  }

  // Find the section and, inside it, the key.
  std::optional<size_t> section_line, key_line;
  size_t section_end = lines.size();  // one past the last line of the section
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view t = Trim(lines[i]);
    if (!t.empty() && t.front() == '[') {
      if (section_line) {
        section_end = i;
        break;
      }
      size_t close = t.find(']');
      if (close != std::string_view::npos && EqualNoCase(Trim(t.substr(1, close - 1)), section)) {
        section_line = i;
      }
      continue;
    }
    if (!section_line || key_line || t.empty() || t.front() == ';' || t.front() == '#') continue;
    size_t eq = t.find_first_of("=:");
    if (eq != std::string_view::npos && EqualNoCase(Trim(t.substr(0, eq)), key)) key_line = i;
  }

  std::string entry = std::string(key) + "=" + std::string(value ? *value : "");
  if (key_line) {
    if (value) {
      lines[*key_line] = entry;
    } else {
      lines.erase(lines.begin() + static_cast<long>(*key_line));
    }
  } else if (value) {
    if (section_line) {
      size_t at = section_end;
      while (at > *section_line + 1 && Trim(lines[at - 1]).empty()) --at;  // before trailing blanks
      lines.insert(lines.begin() + static_cast<long>(at), entry);
    } else {
      if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
      lines.push_back("[" + std::string(section) + "]");
      lines.push_back(entry);
    }
  } else {
    return true;  // nothing to remove
  }

  std::error_code ec;
  std::filesystem::path target(path);
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
  std::string temp = path + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (const std::string& l : lines) out << l << (crlf ? "\r\n" : "\n");
    out.flush();
    if (!out) {
      std::filesystem::remove(temp, ec);
      return false;
    }
  }
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}

std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view default_value) {
  return GetIniString(ProfilePath(), section, key, default_value);
}

int GetProfileInt(std::string_view section, std::string_view key, int default_value) {
  return GetIniInt(ProfilePath(), section, key, default_value);
}

bool WriteProfileString(std::string_view section, std::string_view key,
                        std::optional<std::string_view> value) {
  return WriteIniValue(ProfilePath(), section, key, value);
}

}  // namespace cinevo::platform
