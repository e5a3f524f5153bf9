#include "runtime/core/env_file.h"

namespace cinevo {
namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }
bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20; }

// Decodes the escapes of a (trimmed) value, keeping at most kEnvValueMax bytes.
std::string DecodeValue(std::string_view raw) {
  std::string out;
  size_t i = 0;
  while (i < raw.size() && out.size() < kEnvValueMax) {
    char c = raw[i];
    if (c != '<') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 < raw.size() && raw[i + 1] == '<') {
      out += '<';
      i += 2;
      continue;
    }
    size_t j = i + 1;
    unsigned code = 0;
    while (j < raw.size() && raw[j] >= '0' && raw[j] <= '9') {
      if (code <= 255) code = code * 10 + static_cast<unsigned>(raw[j] - '0');
      ++j;
    }
    if (j == i + 1 || code > 255) {  // no digits, or no byte: the "<" stands for itself
      out += '<';
      ++i;
      continue;
    }
    out += static_cast<char>(code);
    i = j < raw.size() ? j + 1 : j;  // the terminator goes with the escape
  }
  return out;
}

}  // namespace

std::vector<EnvEntry> ParseEnvFile(std::string_view bytes) {
  if (size_t eof = bytes.find('\x1A'); eof != std::string_view::npos) bytes = bytes.substr(0, eof);
  std::vector<EnvEntry> entries;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = pos;
    while (end < bytes.size() && !IsLineEnd(bytes[end])) ++end;
    std::string_view line = bytes.substr(pos, end - pos);
    pos = end + 1;

    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string key;
    bool too_long = false;
    for (size_t i = 0; i < eq; ++i) {
      if (IsControl(line[i])) break;
      if (line[i] == ' ') continue;
      if (key.size() == kEnvKeyMax) {
        too_long = true;
        break;
      }
      key += line[i];
    }
    if (key.empty() || too_long) continue;

    std::string_view raw = line.substr(eq + 1);
    while (!raw.empty() && (raw.back() == ' ' || raw.back() == '\t')) raw.remove_suffix(1);
    entries.push_back({std::move(key), DecodeValue(raw)});
  }
  return entries;
}

std::vector<std::string> SplitEnvItems(std::string_view value) {
  std::vector<std::string> items;
  size_t i = 0;
  auto skip_spaces = [&] {
    while (i < value.size() && value[i] == ' ') ++i;
  };
  skip_spaces();
  while (i < value.size()) {
    if (value[i] == ',') {  // nothing before this comma: an empty item
      items.emplace_back();
      ++i;
      skip_spaces();
      continue;
    }
    std::string item;
    while (i < value.size() && value[i] != ' ' && value[i] != ',') {
      if (value[i] == '"') {
        ++i;
        while (i < value.size()) {
          if (value[i] == '"') {
            if (i + 1 < value.size() && value[i + 1] == '"') {
              item += '"';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          item += value[i++];
        }
      } else {
        item += value[i++];
      }
    }
    items.push_back(std::move(item));
    skip_spaces();
    if (i < value.size() && value[i] == ',') {
      ++i;  // the separator after an item
      skip_spaces();
    }
  }
  return items;
}

std::string EnvironmentFileName(std::string_view program_path) {
  size_t slash = program_path.find_last_of("/\\");
  size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  size_t dot = program_path.rfind('.');
  std::string name(program_path.substr(
      0, dot != std::string_view::npos && dot >= name_start ? dot : program_path.size()));
  name += ".ENV";
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return name;
}

}  // namespace cinevo
