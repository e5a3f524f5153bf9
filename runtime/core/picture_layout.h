// Building the token layouts of date, time and pattern pictures (used by the compiler and by the
// regional-settings layouts).
#pragma once

#include <cstddef>
#include <string_view>

#include "runtime/core/picture.h"

namespace cinevo {

// Appends tokens to a fixed array without ever writing past it; `Ok()` turns false when a token
// did not fit.
class TokenWriter {
 public:
  TokenWriter(PictureToken* tokens, size_t capacity) : tokens_(tokens), capacity_(capacity) {}

  void Add(char ch, uint8_t code) {
    if (count_ + 1 >= capacity_) {  // one slot always stays free for the end token
      overflow_ = true;
      return;
    }
    tokens_[count_++] = PictureToken{ch, code};
    tokens_[count_] = PictureToken{};
  }
  // `n` digit positions of a field; the first shows `lead` for a suppressed leading zero.
  void AddField(uint8_t code, int n, char lead) {
    for (int i = 0; i < n; ++i) Add(i == 0 ? lead : '0', code);
  }
  size_t Count() const { return count_; }
  bool Ok() const { return !overflow_; }

 private:
  PictureToken* tokens_;
  size_t capacity_;
  size_t count_ = 0;
  bool overflow_ = false;
};

// Writes the layout described by `letters` (date letters M m D d y N, time letters H h I i m s P;
// "/", ":" and spaces are replaceable separators, "," fixed text, "_" a plain space).
// Upper-case digit letters mark a leading digit shown as a blank. Returns the token count.
size_t WriteDateLayout(std::string_view letters, TokenWriter& w);
size_t WriteTimeLayout(std::string_view letters, TokenWriter& w);

// True when the code is a digit position of a date or time field.
inline bool IsDateTimeDigit(uint8_t code) {
  return code == kTokMonth || code == kTokDay || code == kTokYear || code == kTokHour ||
         code == kTokMinute || code == kTokSecond || code == kTokHour12;
}

}  // namespace cinevo
