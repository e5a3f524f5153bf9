#include "runtime/data/view/view_records.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "runtime/core/locale_tables.h"
#include "runtime/core/value_ref.h"
#include "runtime/core/value_storage.h"

namespace cinevo::view {
namespace {

bool IsText(TypeCode t) {
  return t == TypeCode::kString || t == TypeCode::kGroup || t == TypeCode::kCString || t == TypeCode::kPString;
}

uint8_t WeightOf(uint8_t c, bool nocase) {
  const auto& loc = Locale();
  if (nocase && (loc.char_class[c] & kCharLower)) c = loc.case_partner[c];
  return loc.collation[c];
}

// The byte of lowest or highest weight (for a NOCASE key, the weight of its upper case).
uint8_t ExtremeByte(bool nocase, bool high, bool skip_zero) {
  int best = skip_zero ? 1 : 0;
  for (int c = best + 1; c < 256; ++c) {
    uint8_t w = WeightOf(static_cast<uint8_t>(c), nocase);
    uint8_t bw = WeightOf(static_cast<uint8_t>(best), nocase);
    if (high ? w > bw : w < bw) best = c;
  }
  return static_cast<uint8_t>(best);
}

// The text of a string image: STRING/GROUP whole, CSTRING up to its zero, PSTRING by its length.
std::string_view TextOf(const FieldDeclaration& f, std::string_view image) {
  if (f.type == TypeCode::kCString) return CStringValue(image.data(), image.size());
  if (f.type == TypeCode::kPString) {
    return PStringValue(reinterpret_cast<const uint8_t*>(image.data()), image.size());
  }
  return image;
}

ValueRef RefTo(const FieldDeclaration& f, const void* data) {
  return ValueRef::Make(f.type, const_cast<void*>(data), f.size, f.places);
}

}  // namespace

void ClearRecord(FileControlBlock& f) {
  std::fill(f.record.begin(), f.record.end(), uint8_t{0});
  for (const FieldDeclaration& field : f.declaration->fields) {
    if (field.type == TypeCode::kEnd) break;
    if (field.type != TypeCode::kString) continue;
    const uint64_t end = std::min<uint64_t>(field.offset + field.StorageSize(), f.record.size());
    if (field.offset < end) std::memset(f.record.data() + field.offset, ' ', end - field.offset);
  }
}

std::string_view ImageOf(const FileControlBlock& f, int field) {
  const FieldDeclaration& d = f.declaration->fields[field - 1];
  if (d.offset >= f.record.size()) return {};
  const size_t n = std::min<size_t>(d.size, f.record.size() - d.offset);
  return {reinterpret_cast<const char*>(f.record.data()) + d.offset, n};
}

void PutImage(FileControlBlock& f, const FieldDeclaration& field, std::string_view image) {
  if (field.offset >= f.record.size()) return;
  const size_t n = std::min<size_t>({field.size, image.size(), f.record.size() - field.offset});
  std::memcpy(f.record.data() + field.offset, image.data(), n);
}

void FillExtreme(FileControlBlock& f, const FieldDeclaration& field, bool nocase, bool high) {
  if (field.offset + field.size > f.record.size()) return;
  uint8_t* p = f.record.data() + field.offset;
  const size_t n = field.size;
  switch (field.type) {
    case TypeCode::kString:
    case TypeCode::kGroup:
      std::memset(p, ExtremeByte(nocase, high, false), n);
      return;
    case TypeCode::kCString:
      std::memset(p, 0, n);
      if (high && n > 1) std::memset(p, ExtremeByte(nocase, true, true), n - 1);
      return;
    case TypeCode::kPString:
      std::memset(p, 0, n);
      if (high && n > 1) {
        p[0] = static_cast<uint8_t>(std::min<size_t>(n - 1, 255));
        std::memset(p + 1, ExtremeByte(nocase, true, true), n - 1);
      }
      return;
    case TypeCode::kByte:
      p[0] = high ? 0xFF : 0;
      return;
    case TypeCode::kShort:
      StoreU16(p, high ? 0x7FFF : 0x8000);
      return;
    case TypeCode::kUShort:
      StoreU16(p, high ? 0xFFFF : 0);
      return;
    case TypeCode::kLong:
      StoreU32(p, high ? 0x7FFFFFFFu : 0x80000000u);
      return;
    case TypeCode::kULong:
    case TypeCode::kDate:
    case TypeCode::kTime:
      StoreU32(p, high ? 0xFFFFFFFFu : 0);
      return;
    case TypeCode::kSReal:
      StoreSReal(p, high ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity());
      return;
    case TypeCode::kReal:
      StoreReal(p, high ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity());
      return;
    case TypeCode::kDecimal:
      ClearDecimal(p, n, high ? 1 : -1);
      return;
    case TypeCode::kPDecimal:
      ClearPDecimal(p, n, high ? 1 : -1);
      return;
    default:
      std::memset(p, high ? 0xFF : 0, n);
      return;
  }
}

int CompareImages(const FieldDeclaration& field, bool nocase, std::string_view a, std::string_view b) {
  if (IsText(field.type)) {
    std::string_view x = TextOf(field, a), y = TextOf(field, b);
    const size_t common = std::min(x.size(), y.size());
    for (size_t i = 0; i < common; ++i) {
      if (x[i] == y[i]) continue;
      int d = int{WeightOf(static_cast<uint8_t>(x[i]), nocase)} - int{WeightOf(static_cast<uint8_t>(y[i]), nocase)};
      if (d != 0) return d;
    }
    // Keys fill a shorter text with zero bytes.
    std::string_view rest = x.size() > common ? x.substr(common) : y.substr(common);
    for (char c : rest) {
      int d = int{WeightOf(static_cast<uint8_t>(c), nocase)} - int{WeightOf(0, nocase)};
      if (d != 0) return x.size() > common ? d : -d;
    }
    return 0;
  }
  if (a.size() < field.size || b.size() < field.size) return static_cast<int>(a.size()) - static_cast<int>(b.size());
  return CompareRefs(RefTo(field, a.data()), RefTo(field, b.data()));
}

void CopyField(const FileControlBlock& source, const FieldDeclaration& from, std::vector<uint8_t>& record,
               const FieldDeclaration& to) {
  if (from.offset + from.size > source.record.size() || to.offset + to.size > record.size()) return;
  const uint8_t* src = source.record.data() + from.offset;
  uint8_t* dst = record.data() + to.offset;
  if (from.type == to.type && from.size == to.size && from.places == to.places) {
    std::memmove(dst, src, to.size);
    return;
  }
  ValueRef s = RefTo(from, src), d = RefTo(to, dst);
  if (s.Valid() && d.Valid()) d.SetText(s.ToText());
}

bool RangeType(TypeCode type) {
  switch (type) {
    case TypeCode::kString:
    case TypeCode::kByte:
    case TypeCode::kShort:
    case TypeCode::kUShort:
    case TypeCode::kLong:
    case TypeCode::kULong:
    case TypeCode::kDate:
    case TypeCode::kTime:
      return true;
    default:
      return false;
  }
}

}  // namespace cinevo::view
