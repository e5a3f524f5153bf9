#include "platform/code_page.h"

#include <iconv.h>

#include <array>
#include <map>

namespace cinevo::platform {
namespace {

constexpr char32_t kNone = 0xFFFFFFFF;

// The Unicode character of every byte of one code page, through iconv.
std::array<char32_t, 256> DecodeTable(const char* code_page) {
  std::array<char32_t, 256> table;
  table.fill(kNone);
  iconv_t cd = iconv_open("UTF-32LE", code_page);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    for (int i = 0; i < 128; ++i) table[i] = static_cast<char32_t>(i);  // ASCII at least
    return table;
  }
  for (int i = 0; i < 256; ++i) {
    char in = static_cast<char>(i);
    unsigned char out[8] = {};
    char* inp = &in;
    char* outp = reinterpret_cast<char*>(out);
    size_t in_left = 1, out_left = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inp, &in_left, &outp, &out_left) != static_cast<size_t>(-1) &&
        sizeof out - out_left == 4) {
      table[i] = static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
    }
  }
  iconv_close(cd);
  return table;
}

struct Tables {
  std::array<char32_t, 256> ansi_unicode;
  std::map<char32_t, uint8_t> unicode_ansi;
  std::array<uint8_t, 256> oem_to_ansi;
  std::array<uint8_t, 256> ansi_to_oem;

  Tables() {
    ansi_unicode = DecodeTable("CP1252");
    std::array<char32_t, 256> oem_unicode = DecodeTable("CP850");
    std::map<char32_t, uint8_t> unicode_oem;
    for (int i = 255; i >= 0; --i) {  // the lowest code wins when two share a character
      if (ansi_unicode[i] != kNone) unicode_ansi[ansi_unicode[i]] = static_cast<uint8_t>(i);
      if (oem_unicode[i] != kNone) unicode_oem[oem_unicode[i]] = static_cast<uint8_t>(i);
    }
    auto cross = [](const std::array<char32_t, 256>& from, const std::map<char32_t, uint8_t>& to,
                    std::array<uint8_t, 256>& out) {
      for (int i = 0; i < 256; ++i) {
        if (i < 32 || i == 127) {
          out[i] = static_cast<uint8_t>(i);
          continue;
        }
        auto it = from[i] == kNone ? to.end() : to.find(from[i]);
        out[i] = it == to.end() ? uint8_t{'?'} : it->second;
      }
    };
    cross(oem_unicode, unicode_ansi, oem_to_ansi);
    cross(ansi_unicode, unicode_oem, ansi_to_oem);
  }
};

// Built on first use and constant afterwards.
const Tables& T() {
  static const Tables tables;
  return tables;
}

std::string Map(std::string_view text, const std::array<uint8_t, 256>& table) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(table[static_cast<uint8_t>(c)]);
  return out;
}

void AppendUtf8(std::string& out, char32_t u) {
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | (u >> 6));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (u >> 18));
    out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

}  // namespace

uint8_t OemToAnsiChar(uint8_t c) { return T().oem_to_ansi[c]; }
uint8_t AnsiToOemChar(uint8_t c) { return T().ansi_to_oem[c]; }
std::string OemToAnsi(std::string_view text) { return Map(text, T().oem_to_ansi); }
std::string AnsiToOem(std::string_view text) { return Map(text, T().ansi_to_oem); }

std::optional<char32_t> AnsiToUnicode(uint8_t c) {
  char32_t u = T().ansi_unicode[c];
  if (u == kNone) return std::nullopt;
  return u;
}

std::optional<uint8_t> UnicodeToAnsi(char32_t u) {
  auto it = T().unicode_ansi.find(u);
  if (it == T().unicode_ansi.end()) return std::nullopt;
  return it->second;
}

std::string AnsiToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) AppendUtf8(out, AnsiToUnicode(static_cast<uint8_t>(c)).value_or(0xFFFD));
  return out;
}

}  // namespace cinevo::platform
