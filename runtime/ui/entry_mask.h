// Typing into an entry whose picture is a mask ("@P(###)###-####P", "@K^@@@-##K").
//
// Such an entry always shows the whole mask: its literal characters stand in place and its value
// positions are blank until typed. Each keystroke is checked against the position it lands on:
//   - a character that does not suit the position is refused (nothing changes);
//   - the cursor skips over literal positions, and typing a literal's own character there just
//     moves past it (so "555-1234" and "5551234" type the same into "###-####");
//   - a typed character overwrites the position ("^" shows it in upper case, "_" in lower case)
//     and the cursor moves on to the next value position;
//   - typing past the last value position is refused;
//   - a click into the blank tail puts the cursor on the first free position after the last
//     typed one (FirstFree), where typing goes on.
// Erasing blanks value positions and leaves literals alone. What suits a position:
//   P masks: "#" and "<" a digit ("<" also a blank);
//   K masks: "#" a digit, "<" a digit or a blank, "@" "^" "_" a letter, "?" any character.
// A position holds one byte and the shown text is UTF-8, so value characters are those below
// 0x80; the "|" mark of K masks takes no position. Reading the typed text back (Deformat)
// still decides on leaving whether the whole is acceptable (required positions left blank).
//
// No display dependencies: positions are byte offsets into the shown text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/picture.h"

namespace cinevo {

class EntryMask {
 public:
  // The mask of `picture`; Active() is false for a picture that is no P or K mask.
  EntryMask() = default;
  explicit EntryMask(const CompiledPicture& picture);

  bool Active() const { return !slots_.empty(); }
  int Width() const { return static_cast<int>(slots_.size()); }

  // `shown` laid over the mask: every literal position holds its literal, value positions keep
  // what `shown` has there (blank beyond its end, or where it holds what does not suit them).
  std::string Fit(std::string_view shown) const;

  struct Edit {
    std::string text;
    int cursor = 0;
  };
  // Typing `c` with the cursor at `cursor` into `text` (fitted first); nullopt when refused.
  std::optional<Edit> Type(std::string_view text, int cursor, char c) const;
  // Blanks the value positions in [from, to); the cursor goes to `from`.
  Edit Erase(std::string_view text, int from, int to) const;
  // Backspace: blanks the value position before the cursor; Delete: the one at or after it.
  Edit Backspace(std::string_view text, int cursor) const;
  Edit Delete(std::string_view text, int cursor) const;

  // The first value position at or after `cursor` (Width() when none) / before it (-1).
  int NextPosition(int cursor) const;
  int PreviousPosition(int cursor) const;
  // Where typing starts: the value position after the last non-blank one (the first value
  // position when all are blank; Width() when the last one is filled).
  int FirstFree(std::string_view text) const;
  bool Suits(int position, char c) const;

 private:
  struct Slot {
    uint8_t code = 0;  // a TokenCode of a value position, or kTokFixed / kTokLiteral
    char ch = ' ';     // the literal's text
    bool value = false;
  };
  std::vector<Slot> slots_;
  bool keyIn_ = false;
};

}  // namespace cinevo
