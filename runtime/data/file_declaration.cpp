#include "runtime/data/file_declaration.h"

#include <cstdlib>
#include <utility>

#include "runtime/core/error_codes.h"

namespace cinevo {

std::string_view FieldTypeName(int code) {
  if (code < 0 || code > 30) return "UNKNOWN";
  return TypeCodeName(static_cast<uint8_t>(code));
}

uint64_t FieldDeclaration::ElementCount() const {
  uint64_t count = 1;
  for (uint32_t d : dimensions) {
    if (d == 0) break;
    count *= d;
    if (count > (uint64_t{1} << 32)) return count;  // already absurd; callers reject it
  }
  return count;
}

uint64_t FieldDeclaration::StorageSize() const { return uint64_t{size} * ElementCount(); }

size_t FileDeclaration::FieldCount() const {
  size_t n = 0;
  while (n < fields.size() && fields[n].type != TypeCode::kEnd) ++n;
  return n;
}

uint64_t FileDeclaration::RecordSize() const {
  uint64_t end = 0;
  size_t n = FieldCount();
  for (size_t i = 0; i < n; ++i) {
    uint64_t field_end = uint64_t{fields[i].offset} + fields[i].StorageSize();
    if (field_end > end) end = field_end;
  }
  return end;
}

FieldDeclaration MakeField(std::string label, TypeCode type, uint32_t offset, uint32_t size) {
  FieldDeclaration f;
  f.label = std::move(label);
  f.type = type;
  f.offset = offset;
  f.size = size;
  if (type == TypeCode::kString || type == TypeCode::kCString || type == TypeCode::kPString) {
    f.length = size;
  }
  return f;
}

KeyDeclaration MakeKey(std::string label, uint32_t flags, std::vector<int32_t> components) {
  KeyDeclaration k;
  k.label = std::move(label);
  k.flags = flags;
  k.components = std::move(components);
  return k;
}

int ValidateDeclaration(const FileDeclaration& decl) {
  constexpr uint64_t kMaxRecord = uint64_t{1} << 20;  // far above anything a data file holds
  size_t n = decl.FieldCount();
  if (decl.RecordSize() > kMaxRecord) return kErrInvalidRecordDeclaration;
  for (size_t i = 0; i < n; ++i) {
    const FieldDeclaration& f = decl.fields[i];
    if (static_cast<uint8_t>(f.type) > 30) return kErrInvalidRecordDeclaration;
    if (f.type == TypeCode::kGroup && f.group_fields > n - i - 1) return kErrInvalidRecordDeclaration;
  }
  for (const KeyDeclaration& k : decl.keys) {
    if (k.components.empty()) return kErrInvalidRecordDeclaration;
    for (int32_t c : k.components) {
      if (c == 0) return kErrInvalidRecordDeclaration;
      uint64_t field = static_cast<uint64_t>(std::llabs(static_cast<long long>(c)));
      if (field > n) return kErrInvalidRecordDeclaration;
    }
  }
  return 0;
}

}  // namespace cinevo
