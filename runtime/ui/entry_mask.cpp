#include "runtime/ui/entry_mask.h"

#include <algorithm>

#include "runtime/core/locale_tables.h"

namespace cinevo {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return IsAlphaChar(static_cast<uint8_t>(c)); }

}  // namespace

EntryMask::EntryMask(const CompiledPicture& picture) {
  const PictureClass k = picture.Class();
  if (!picture.Valid() || (k != PictureClass::kPattern && k != PictureClass::kKeyIn)) return;
  keyIn_ = k == PictureClass::kKeyIn;
  const size_t width = static_cast<size_t>(picture.Width());
  for (const PictureToken& t : picture.layout) {
    if (slots_.size() == width) break;
    if (t.code == kTokMaskOptional) continue;  // takes no position
    Slot s;
    s.code = t.code;
    s.value = t.code == kTokMaskDigit || t.code == kTokMaskValue || t.code == kTokMaskAny ||
              t.code == kTokMaskLetter || t.code == kTokMaskUpper || t.code == kTokMaskLower;
    s.ch = s.value ? ' ' : t.ch;
    slots_.push_back(s);
  }
  // A layout shorter than its width would be a compiler fault; show no mask rather than half.
  if (slots_.size() != width) slots_.clear();
}

bool EntryMask::Suits(int position, char c) const {
  if (position < 0 || position >= Width()) return false;
  const Slot& s = slots_[static_cast<size_t>(position)];
  if (!s.value) return false;
  // A position holds one byte, and the shown text is UTF-8: only characters below 0x80 fit.
  if (static_cast<unsigned char>(c) >= 0x80) return false;
  switch (s.code) {
    case kTokMaskDigit: return IsDigit(c);
    case kTokMaskValue: return IsDigit(c) || c == ' ';
    case kTokMaskLetter:
    case kTokMaskUpper:
    case kTokMaskLower: return IsLetter(c);
    case kTokMaskAny: return static_cast<unsigned char>(c) >= 0x20 && c != 0x7F;
    default: return false;
  }
}

std::string EntryMask::Fit(std::string_view shown) const {
  std::string out(slots_.size(), ' ');
  for (size_t i = 0; i < slots_.size(); ++i) {
    const Slot& s = slots_[i];
    if (!s.value) {
      out[i] = s.ch;
    } else if (i < shown.size() && shown[i] != ' ' && Suits(static_cast<int>(i), shown[i])) {
      out[i] = shown[i];
    }
  }
  return out;
}

int EntryMask::NextPosition(int cursor) const {
  for (int i = std::max(cursor, 0); i < Width(); ++i) {
    if (slots_[static_cast<size_t>(i)].value) return i;
  }
  return Width();
}

int EntryMask::PreviousPosition(int cursor) const {
  for (int i = std::min(cursor, Width()) - 1; i >= 0; --i) {
    if (slots_[static_cast<size_t>(i)].value) return i;
  }
  return -1;
}

int EntryMask::FirstFree(std::string_view text) const {
  const std::string fitted = Fit(text);
  int last = -1;
  for (int i = 0; i < Width(); ++i) {
    if (slots_[static_cast<size_t>(i)].value && fitted[static_cast<size_t>(i)] != ' ') last = i;
  }
  return NextPosition(last + 1);
}

std::optional<EntryMask::Edit> EntryMask::Type(std::string_view text, int cursor, char c) const {
  Edit e{Fit(text), std::clamp(cursor, 0, Width())};
  // A literal's own character steps over it.
  if (e.cursor < Width() && !slots_[static_cast<size_t>(e.cursor)].value &&
      slots_[static_cast<size_t>(e.cursor)].ch == c) {
    ++e.cursor;
    if (int next = NextPosition(e.cursor); next < Width()) e.cursor = next;
    return e;
  }
  const int at = NextPosition(e.cursor);
  if (at >= Width() || !Suits(at, c)) return std::nullopt;
  const uint8_t code = slots_[static_cast<size_t>(at)].code;
  if (code == kTokMaskUpper) c = static_cast<char>(ToUpperChar(static_cast<uint8_t>(c)));
  if (code == kTokMaskLower) c = static_cast<char>(ToLowerChar(static_cast<uint8_t>(c)));
  e.text[static_cast<size_t>(at)] = c;
  // On to the next value position; after the last one the cursor rests at the end.
  e.cursor = NextPosition(at + 1);
  return e;
}

EntryMask::Edit EntryMask::Erase(std::string_view text, int from, int to) const {
  Edit e{Fit(text), std::clamp(from, 0, Width())};
  to = std::clamp(to, e.cursor, Width());
  for (int i = e.cursor; i < to; ++i) {
    if (slots_[static_cast<size_t>(i)].value) e.text[static_cast<size_t>(i)] = ' ';
  }
  return e;
}

EntryMask::Edit EntryMask::Backspace(std::string_view text, int cursor) const {
  const int at = PreviousPosition(cursor);
  if (at < 0) return Edit{Fit(text), NextPosition(0)};
  return Erase(text, at, at + 1);
}

EntryMask::Edit EntryMask::Delete(std::string_view text, int cursor) const {
  const int at = NextPosition(cursor);
  if (at >= Width()) return Edit{Fit(text), std::clamp(cursor, 0, Width())};
  return Erase(text, at, at + 1);
}

}  // namespace cinevo
