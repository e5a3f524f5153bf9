#include "runtime/ui/format/queue_field.h"

#include <cstring>
#include <string_view>

#include "runtime/core/value_ref.h"
#include "runtime/core/value_storage.h"

namespace cinevo {
namespace {

uint32_t NaturalSize(TypeCode type) {
  switch (type) {
    case TypeCode::kByte: return 1;
    case TypeCode::kShort: case TypeCode::kUShort: return 2;
    case TypeCode::kDate: case TypeCode::kTime: case TypeCode::kLong: case TypeCode::kULong:
    case TypeCode::kSReal: case TypeCode::kBFloat4:
      return 4;
    case TypeCode::kReal: case TypeCode::kBFloat8: return 8;
    default: return 0;
  }
}

template <class T>
T Load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

bool IsText(TypeCode t) {
  return t == TypeCode::kString || t == TypeCode::kCString || t == TypeCode::kPString ||
         t == TypeCode::kGroup;
}

bool IsInteger(TypeCode t) {
  switch (t) {
    case TypeCode::kByte: case TypeCode::kShort: case TypeCode::kUShort: case TypeCode::kDate:
    case TypeCode::kTime: case TypeCode::kLong: case TypeCode::kULong:
      return true;
    default:
      return false;
  }
}

std::string_view TextOf(const QueueField& f, const uint8_t* p) {
  switch (f.type) {
    case TypeCode::kCString: return CStringValue(reinterpret_cast<const char*>(p), f.size);
    case TypeCode::kPString: return PStringValue(p, f.size);
    default: return {reinterpret_cast<const char*>(p), f.size};
  }
}

std::string_view Clipped(std::string_view s) {
  size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : s.substr(0, end + 1);
}

int64_t IntegerOf(const QueueField& f, const uint8_t* p) {
  switch (f.type) {
    case TypeCode::kByte: return p[0];
    case TypeCode::kShort: return Load<int16_t>(p);
    case TypeCode::kUShort: return Load<uint16_t>(p);
    case TypeCode::kULong: return Load<uint32_t>(p);
    default: return Load<int32_t>(p);  // LONG, DATE, TIME
  }
}

}  // namespace

std::vector<QueueField> QueueRecordLayout(
    std::initializer_list<std::pair<TypeCode, uint32_t>> fields) {
  std::vector<QueueField> layout;
  uint32_t offset = 0;
  for (auto [type, size] : fields) {
    QueueField f;
    f.offset = offset;
    f.type = type;
    f.size = size != 0 ? size : NaturalSize(type);
    offset += f.size;
    layout.push_back(f);
  }
  return layout;
}

uint32_t QueueRecordSize(const std::vector<QueueField>& layout) {
  uint32_t end = 0;
  for (const QueueField& f : layout) end = std::max(end, f.offset + f.size);
  return end;
}

std::string QueueFieldText(const QueueField& f, const uint8_t* entry,
                           const CompiledPicture* picture) {
  if (entry == nullptr || f.size == 0) return {};
  const uint8_t* p = entry + f.offset;
  const bool pictured = picture != nullptr && picture->Valid();
  if (IsText(f.type)) {
    std::string_view text = TextOf(f, p);
    if (!pictured) return std::string(Clipped(text));
    return Format(*picture, Clipped(text));
  }
  if (IsInteger(f.type) && f.size >= NaturalSize(f.type)) {
    int64_t v = IntegerOf(f, p);
    return pictured ? Format(*picture, v) : std::to_string(v);
  }
  if ((f.type == TypeCode::kReal && f.size >= 8) || (f.type == TypeCode::kSReal && f.size >= 4)) {
    double v = f.type == TypeCode::kReal ? Load<double>(p) : Load<float>(p);
    if (pictured) return FormatReal(*picture, v);
    std::string s = std::to_string(v);
    while (s.size() > 1 && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
  }
  if (!ValueRef::HasKind(f.type)) return {};
  // Decimals and the rarer kinds go through the value conversions.
  ValueRef ref = ValueRef::Make(f.type, const_cast<uint8_t*>(p), f.size, f.places);
  std::string text = ref.ToText();
  return pictured ? Format(*picture, std::string_view(text)) : text;
}

bool QueueFieldTextView(const QueueField& f, const uint8_t* entry, const CompiledPicture* picture,
                        std::string_view* out) {
  if (entry == nullptr || f.size == 0) {
    *out = {};
    return true;
  }
  if (!IsText(f.type)) return false;
  std::string_view text = TextOf(f, entry + f.offset);
  if (picture != nullptr && picture->Valid()) {
    if (picture->Class() != PictureClass::kString) return false;
    text = text.substr(0, static_cast<size_t>(picture->Width()));
  }
  *out = text;
  return true;
}

int64_t QueueFieldNumber(const QueueField& f, const uint8_t* entry) {
  if (entry == nullptr || f.size == 0) return 0;
  const uint8_t* p = entry + f.offset;
  if (IsInteger(f.type) && f.size >= NaturalSize(f.type)) return IntegerOf(f, p);
  if (f.type == TypeCode::kReal && f.size >= 8) return static_cast<int64_t>(Load<double>(p));
  if (f.type == TypeCode::kSReal && f.size >= 4) return static_cast<int64_t>(Load<float>(p));
  std::string_view text = IsText(f.type) ? TextOf(f, p) : std::string_view();
  int64_t v = 0;
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = i < text.size() && text[i] == '-';
  if (negative) ++i;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && v < 1'000'000'000'000LL; ++i) {
    v = v * 10 + (text[i] - '0');
  }
  return negative ? -v : v;
}

}  // namespace cinevo
