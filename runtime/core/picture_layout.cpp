#include "runtime/core/picture_layout.h"

namespace cinevo {

namespace {

void WriteSeparator(char c, TokenWriter& w) {
  if (c == ',') {
    w.Add(',', kTokFixed);
  } else if (c == '_') {
    w.Add(' ', kTokEnd);  // a plain space
  } else {
    w.Add(c, kTokLiteral);
  }
}

}  // namespace

size_t WriteDateLayout(std::string_view letters, TokenWriter& w) {
  for (char c : letters) {
    switch (c) {
      case 'M': w.Add(' ', kTokMonth); break;
      case 'm': w.Add('0', kTokMonth); break;
      case 'D': w.Add(' ', kTokDay); break;
      case 'd': w.Add('0', kTokDay); break;
      case 'y': w.Add('0', kTokYear); break;
      case 'N': w.Add(' ', kTokMonthName); break;
      default: WriteSeparator(c, w); break;
    }
  }
  return w.Count();
}

size_t WriteTimeLayout(std::string_view letters, TokenWriter& w) {
  for (char c : letters) {
    switch (c) {
      case 'H': w.Add(' ', kTokHour); break;
      case 'h': w.Add('0', kTokHour); break;
      case 'I': w.Add(' ', kTokHour12); break;
      case 'i': w.Add('0', kTokHour12); break;
      case 'm': w.Add('0', kTokMinute); break;
      case 's': w.Add('0', kTokSecond); break;
      case 'P': w.Add(' ', kTokAmPm); break;
      default: WriteSeparator(c, w); break;
    }
  }
  return w.Count();
}

}  // namespace cinevo
