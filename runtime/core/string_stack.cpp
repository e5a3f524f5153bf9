#include "runtime/core/string_stack.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "runtime/core/error.h"
#include "runtime/core/error_codes.h"
#include "runtime/core/invariant.h"
#include "runtime/core/locale_tables.h"
#include "runtime/core/value_storage.h"

namespace cinevo {
namespace {

constexpr int kStackErrorCode = kErrInternalStrings;

// Makes `e` an inline or owned entry holding a copy of `text` (which may alias e's own text).
void SetCopy(StringStackEntry& e, std::string_view text) {
  if (text.size() <= static_cast<size_t>(StringStackEntry::kInlineSize)) {
    // Through a temporary, because `text` may lie in e's own buffer.
    char tmp[StringStackEntry::kInlineSize];
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) tmp[i] = text[i];
    for (size_t i = 0; i < n; ++i) e.inline_buf[i] = tmp[i];
    e.owned = std::string();
    e.kind = StringEntryKind::kInline;
    e.text = e.inline_buf;
  } else {
    std::string copy(text);
    e.owned = std::move(copy);
    e.kind = StringEntryKind::kOwned;
    e.text = e.owned.data();
  }
  e.length = static_cast<int32_t>(text.size());
}

void SetOwned(StringStackEntry& e, std::string block) {
  e.owned = std::move(block);
  e.kind = StringEntryKind::kOwned;
  e.text = e.owned.data();
  e.length = static_cast<int32_t>(e.owned.size());
}

void Clear(StringStackEntry& e) {
  e.owned = std::string();
  e.kind = StringEntryKind::kBorrowed;
  e.text = nullptr;
  e.length = 0;
}

// Moves src into dest and re-points inline and owned text at dest's storage.
void MoveEntry(StringStackEntry& dest, StringStackEntry& src) {
  dest.kind = src.kind;
  dest.length = src.length;
  switch (src.kind) {
    case StringEntryKind::kBorrowed:
      dest.text = src.text;
      dest.owned = std::string();
      break;
    case StringEntryKind::kInline:
      std::memcpy(dest.inline_buf, src.inline_buf, sizeof dest.inline_buf);
      dest.text = dest.inline_buf;
      dest.owned = std::string();
      break;
    case StringEntryKind::kOwned: {
      // The text may be a clipped prefix of the block: keep its offset.
      size_t offset = static_cast<size_t>(src.text - src.owned.data());
      dest.owned = std::move(src.owned);
      dest.text = dest.owned.data() + offset;
      break;
    }
  }
  Clear(src);
}

}  // namespace

std::string LongToText(int32_t value) {
  char buf[16];
  int n = std::snprintf(buf, sizeof buf, "%d", static_cast<int>(value));
  return std::string(buf, static_cast<size_t>(n));
}

namespace {

// Writes the text of a REAL into `out` (at least 32 bytes) and returns its length: 14
// significant digits, trailing zeros and a trailing "." dropped; exponent notation ("1.5E+20",
// "1E-20") from 10^15 up and below 10^-14.
size_t FormatReal(double value, char* out) {
  if (std::isnan(value) || value == 0) {
    out[0] = '0';
    return 1;
  }
  if (std::isinf(value)) value = value < 0 ? -1.7976931348623e308 : 1.7976931348623e308;
  char buf[40];
  // Round to 14 significant digits first, then choose the notation from the rounded exponent.
  std::snprintf(buf, sizeof buf, "%.13e", value);
  const char* e = std::strchr(buf, 'e');
  int exponent = e ? std::atoi(e + 1) : 0;
  size_t n;
  if (exponent >= 15 || exponent < -14) {
    n = static_cast<size_t>(e - buf);
    while (n > 0 && buf[n - 1] == '0') --n;
    if (n > 0 && buf[n - 1] == '.') --n;
    std::memcpy(out, buf, n);
    n += static_cast<size_t>(std::snprintf(out + n, 16, "E%c%d", exponent < 0 ? '-' : '+',
                                           std::abs(exponent)));
    return n;
  }
  int decimals = std::max(0, 13 - exponent);
  n = static_cast<size_t>(std::snprintf(buf, sizeof buf, "%.*f", decimals, value));
  if (std::memchr(buf, '.', n)) {
    while (buf[n - 1] == '0') --n;
    if (buf[n - 1] == '.') --n;
  }
  if (n == 2 && buf[0] == '-' && buf[1] == '0') {
    buf[0] = '0';
    n = 1;
  }
  std::memcpy(out, buf, n);
  return n;
}

}  // namespace

std::string RealToText(double value) {
  char buf[48];
  return std::string(buf, FormatReal(value, buf));
}

int CompareStrings(std::string_view a, std::string_view b) {
  const auto& weights = Locale().collation;
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    uint8_t x = static_cast<uint8_t>(a[i]);
    uint8_t y = static_cast<uint8_t>(b[i]);
    if (x != y) {
      int d = int{weights[x]} - int{weights[y]};
      if (d != 0) return d;
    }
  }
  std::string_view rest = a.size() > common ? a.substr(common) : b.substr(common);
  for (char c : rest) {
    if (c != ' ') {
      int d = int{weights[static_cast<uint8_t>(c)]} - int{weights[static_cast<uint8_t>(' ')]};
      return a.size() > common ? d : -d;
    }
  }
  return 0;
}

StringStack::StringStack() = default;
StringStack::~StringStack() = default;

StringStack& TheStringStack() {
  static StringStack stack;
  return stack;
}

bool StringStack::Need(int n, const char* op) {
  if (count_ >= n) return true;
  RuntimeFatal(kStackErrorCode, std::string("String stack underflow in ") + op);
  return false;
}

StringStackEntry* StringStack::PushSlot(const char* op) {
  if (count_ >= kDepth) {
    RuntimeFatal(kStackErrorCode, std::string("String stack overflow in ") + op);
    return nullptr;
  }
  StringStackEntry& e = entries_[count_++];
  Clear(e);
  return &e;
}

void StringStack::PushBorrowed(const char* text, int32_t length) {
  StringStackEntry* e = PushSlot("push");
  if (!e) return;
  e->kind = StringEntryKind::kBorrowed;
  e->text = text && length > 0 ? text : nullptr;
  e->length = e->text ? length : 0;
}

void StringStack::PushOwned(std::string block) {
  StringStackEntry* e = PushSlot("push");
  if (e) SetOwned(*e, std::move(block));
}

void StringStack::PushCString(const char* text) {
  // Measured, then copied: the same result as pushing it borrowed and materialising it.
  PushText(text ? std::string_view(text) : std::string_view());
}

void StringStack::PushText(std::string_view text) {
  StringStackEntry* e = PushSlot("push");
  if (e) SetCopy(*e, text);
}

void StringStack::PushLong(int32_t value) {
  StringStackEntry* e = PushSlot("push");
  if (!e) return;
  // Digits are written backwards into the inline buffer's end, then moved to its start.
  char digits[12];
  int n = 0;
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  int len = 0;
  if (value < 0) e->inline_buf[len++] = '-';
  while (n) e->inline_buf[len++] = digits[--n];
  e->kind = StringEntryKind::kInline;
  e->text = e->inline_buf;
  e->length = len;
}

void StringStack::PushReal(double value) {
  StringStackEntry* e = PushSlot("push");
  if (!e) return;
  char buf[48];
  SetCopy(*e, std::string_view(buf, FormatReal(value, buf)));
}

void StringStack::Materialize() {
  if (!Need(1, "materialise")) return;
  StringStackEntry& e = entries_[count_ - 1];
  if (e.kind == StringEntryKind::kBorrowed) SetCopy(e, e.view());
}

void StringStack::PopToString(char* dest, size_t size) {
  if (!Need(1, "pop")) {
    StoreString(dest, size, {});
    return;
  }
  StringStackEntry& e = entries_[--count_];
  StoreString(dest, size, e.view());
  Clear(e);
}

void StringStack::PopToCString(char* dest, size_t capacity) {
  if (!Need(1, "pop")) {
    StoreCString(dest, capacity, {});
    return;
  }
  StringStackEntry& e = entries_[--count_];
  StoreCString(dest, capacity, e.view());
  Clear(e);
}

std::string StringStack::PopToHeap() {
  if (!Need(1, "pop")) return {};
  StringStackEntry& e = entries_[--count_];
  std::string result;
  if (e.kind == StringEntryKind::kOwned) {
    size_t offset = static_cast<size_t>(e.text - e.owned.data());
    result = std::move(e.owned);
    if (offset != 0) result.erase(0, offset);
    result.resize(static_cast<size_t>(e.length));
  } else {
    result.assign(e.view());
  }
  Clear(e);
  return result;
}

void StringStack::Drop() {
  if (!Need(1, "drop")) return;
  Clear(entries_[--count_]);
}

void StringStack::Clip() {
  if (!Need(1, "CLIP")) return;
  StringStackEntry& e = entries_[count_ - 1];
  while (e.length > 0 && e.text[e.length - 1] == ' ') --e.length;
}

int32_t StringStack::Len() const { return count_ > 0 ? entries_[count_ - 1].length : 0; }

int32_t StringStack::PopLen() {
  if (!Need(1, "LEN")) return 0;
  int32_t n = entries_[count_ - 1].length;
  Drop();
  return n;
}

void StringStack::Concat() {
  if (!Need(2, "concatenate")) return;
  StringStackEntry& a = entries_[count_ - 2];
  StringStackEntry& b = entries_[count_ - 1];
  size_t total = static_cast<size_t>(a.length) + static_cast<size_t>(b.length);
  if (total <= static_cast<size_t>(StringStackEntry::kInlineSize)) {
    // Short results stay in the inline buffer: they never touch the heap.
    char joined[StringStackEntry::kInlineSize];
    size_t n = 0;
    for (char c : a.view()) joined[n++] = c;
    for (char c : b.view()) joined[n++] = c;
    Clear(b);
    --count_;
    SetCopy(a, std::string_view(joined, total));
    return;
  }
  std::string joined;
  if (a.kind == StringEntryKind::kOwned && a.text == a.owned.data()) {
    joined = std::move(a.owned);  // grow the block the entry already owns
    joined.resize(static_cast<size_t>(a.length));
  } else {
    joined.reserve(total);
    joined.append(a.view());
  }
  joined.append(b.view());
  Clear(b);
  --count_;
  SetOwned(a, std::move(joined));
}

void StringStack::ConcatReversed() {
  if (!Need(2, "concatenate")) return;
  Rotate(1);
  Concat();
}

int StringStack::Compare() {
  if (!Need(2, "compare")) return 0;
  int result = CompareStrings(entries_[count_ - 2].view(), entries_[count_ - 1].view());
  Drop();
  Drop();
  return result;
}

void StringStack::Rotate(int depth) {
  if (depth <= 0) return;
  if (!Need(depth + 1, "rotate")) return;
  StringStackEntry moving;
  MoveEntry(moving, entries_[count_ - 1 - depth]);
  for (int i = count_ - 1 - depth; i < count_ - 1; ++i) MoveEntry(entries_[i], entries_[i + 1]);
  MoveEntry(entries_[count_ - 1], moving);
}

std::string_view StringStack::Peek(int depth) const {
  if (depth < 0 || depth >= count_) return {};
  return entries_[count_ - 1 - depth].view();
}

std::unique_ptr<StringStackSnapshot> StringStack::Save() {
  auto snapshot = std::make_unique<StringStackSnapshot>();
  snapshot->count = count_;
  for (int i = 0; i < count_; ++i) MoveEntry(snapshot->entries[i], entries_[i]);
  count_ = 0;
  return snapshot;
}

void StringStack::Restore(std::unique_ptr<StringStackSnapshot> snapshot) {
  Reset();
  if (!snapshot) return;
  count_ = std::clamp(snapshot->count, 0, kDepth);
  for (int i = 0; i < count_; ++i) MoveEntry(entries_[i], snapshot->entries[i]);
}

void StringStack::CheckInvariants() const {
  CINEVO_INVARIANT(count_ >= 0 && count_ <= kDepth, "the stack holds 0..32 entries");
  for (int i = 0; i < count_; ++i) {
    const StringStackEntry& e = entries_[i];
    CINEVO_INVARIANT(e.length >= 0, "an entry's length is not negative");
    switch (e.kind) {
      case StringEntryKind::kInline:
        CINEVO_INVARIANT(e.text == e.inline_buf && e.length <= StringStackEntry::kInlineSize,
                         "an inline entry's text is the buffer of the slot it occupies");
        break;
      case StringEntryKind::kOwned:
        CINEVO_INVARIANT(e.text == e.owned.data() && static_cast<size_t>(e.length) <= e.owned.size(),
                         "an owned entry's text lies in its own block");
        break;
      case StringEntryKind::kBorrowed:
        CINEVO_INVARIANT(e.text != nullptr || e.length == 0, "a borrowed entry without text is empty");
        break;
    }
  }
}

void StringStack::Reset() {
  for (int i = 0; i < count_; ++i) Clear(entries_[i]);
  count_ = 0;
}

}  // namespace cinevo
