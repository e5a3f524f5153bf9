#include "classlib/field_values.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "runtime/core/value_storage.h"

namespace cinevo::classlib {

std::span<uint8_t> FieldBytes(const FieldDeclaration& field, std::span<uint8_t> record) {
  uint64_t size = field.StorageSize();
  if (field.offset >= record.size()) return {};
  return record.subspan(field.offset, std::min<uint64_t>(size, record.size() - field.offset));
}

ValueRef FieldRef(const FieldDeclaration& field, std::span<uint8_t> record) {
  std::span<uint8_t> bytes = FieldBytes(field, record);
  if (bytes.size() < field.size || field.size == 0) return {};
  TypeCode type = field.type == TypeCode::kGroup ? TypeCode::kString : field.type;
  if (!ValueRef::HasKind(type)) return {};
  return ValueRef::Make(type, bytes.data(), field.size, field.places);
}

bool IsStringField(const FieldDeclaration& field) {
  switch (field.type) {
    case TypeCode::kString: case TypeCode::kCString: case TypeCode::kPString: case TypeCode::kGroup:
      return true;
    default:
      return false;
  }
}

void ClearField(const FieldDeclaration& field, std::span<uint8_t> record, int direction) {
  std::span<uint8_t> bytes = FieldBytes(field, record);
  if (bytes.empty()) return;
  uint8_t* p = bytes.data();
  size_t n = bytes.size();
  const bool high = direction > 0;
  const bool low = direction < 0;
  switch (field.type) {
    case TypeCode::kString: case TypeCode::kGroup:
      ClearString(reinterpret_cast<char*>(p), n, direction);
      return;
    case TypeCode::kCString: ClearCString(reinterpret_cast<char*>(p), n, direction); return;
    case TypeCode::kPString: ClearPString(p, n, direction); return;
    case TypeCode::kDecimal: ClearDecimal(p, n, direction); return;
    case TypeCode::kPDecimal: ClearPDecimal(p, n, direction); return;
    case TypeCode::kByte: std::memset(p, high ? 0xFF : 0, n); return;
    case TypeCode::kUShort: case TypeCode::kULong: case TypeCode::kDate: case TypeCode::kTime:
      std::memset(p, high ? 0xFF : 0, n);
      return;
    case TypeCode::kShort:
      for (size_t i = 0; i + 2 <= n; i += 2) {
        StoreU16(p + i, static_cast<uint16_t>(high ? 0x7FFF : low ? 0x8000 : 0));
      }
      return;
    case TypeCode::kLong:
      for (size_t i = 0; i + 4 <= n; i += 4) {
        StoreU32(p + i, high ? 0x7FFFFFFFu : low ? 0x80000000u : 0u);
      }
      return;
    case TypeCode::kSReal:
      for (size_t i = 0; i + 4 <= n; i += 4) {
        StoreSReal(p + i, high ? std::numeric_limits<float>::max()
                               : low ? std::numeric_limits<float>::lowest() : 0.0f);
      }
      return;
    case TypeCode::kReal:
      for (size_t i = 0; i + 8 <= n; i += 8) {
        StoreReal(p + i, high ? std::numeric_limits<double>::max()
                              : low ? std::numeric_limits<double>::lowest() : 0.0);
      }
      return;
    default:
      std::memset(p, high ? 0xFF : 0, n);
      return;
  }
}

std::string FieldText(const FieldDeclaration& field, std::span<uint8_t> record) {
  ValueRef ref = FieldRef(field, record);
  if (!ref.Valid()) return {};
  std::string text = ref.ToText();
  if (IsStringField(field)) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
  }
  return text;
}

}  // namespace cinevo::classlib
