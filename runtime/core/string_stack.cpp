#include "runtime/core/string_stack.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "runtime/core/error.h"
#include "runtime/core/locale_tables.h"
#include "runtime/core/value_storage.h"

namespace cinevo {
namespace {

constexpr int kStackErrorCode = 501;

// Copies of up to 20 bytes go byte by byte; longer ones through memcpy (which moves aligned
// words itself).
inline void CopyBytes(char* dest, const char* src, size_t n) {
  if (n <= StringStackEntry::kInlineSize) {
    for (size_t i = 0; i < n; ++i) dest[i] = src[i];
  } else {
    std::memcpy(dest, src, n);
  }
}

// Makes `e` an inline or owned entry holding a copy of `text` (which may alias e's own text).
void SetCopy(StringStackEntry& e, std::string_view text) {
  if (text.size() <= static_cast<size_t>(StringStackEntry::kInlineSize)) {
    char tmp[StringStackEntry::kInlineSize];
    CopyBytes(tmp, text.data(), text.size());
    CopyBytes(e.inline_buf, tmp, text.size());
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

std::string RealToText(double value) {
  if (std::isnan(value)) return "0";
  if (std::isinf(value)) return value < 0 ? "-1.7976931348623E+308" : "1.7976931348623E+308";
  if (value == 0) return "0";
  char buf[64];
  // Round to 14 significant digits first, then decide the notation from the rounded exponent.
  std::snprintf(buf, sizeof buf, "%.13e", value);
  const char* e = std::strchr(buf, 'e');
  int exponent = e ? std::atoi(e + 1) : 0;
  std::string text;
  if (exponent >= 15 || exponent < -14) {
    std::string mantissa(buf, static_cast<size_t>(e - buf));
    while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
    if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
    std::snprintf(buf, sizeof buf, "E%c%d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return mantissa + buf;
  }
  int decimals = std::max(0, 13 - exponent);
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  text = buf;
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  return text;
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
  if (e) SetCopy(*e, RealToText(value));
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
  std::string joined;
  joined.reserve(static_cast<size_t>(a.length) + static_cast<size_t>(b.length));
  joined.append(a.view()).append(b.view());
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

void StringStack::Reset() {
  for (int i = 0; i < count_; ++i) Clear(entries_[i]);
  count_ = 0;
}

}  // namespace cinevo
