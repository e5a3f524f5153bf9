#include "runtime/data/file_properties.h"

#include <cstdlib>

#include "runtime/data/file_control_block.h"

namespace cinevo {
namespace {

std::string Flag(bool b) { return b ? "1" : "0"; }

std::optional<std::string> KeyProperty(const FileDeclaration& decl, int key, uint32_t property,
                                       int32_t index) {
  if (key < 0 || static_cast<size_t>(key) >= decl.keys.size()) return std::nullopt;
  const KeyDeclaration& k = decl.keys[key];
  switch (property) {
    case kPropKeyComponents: return std::to_string(k.components.size());
    case kPropKeyDups: return Flag(k.flags & kKeyDup);
    case kPropKeyNocase: return Flag(k.flags & kKeyNoCase);
    case kPropKeyPrimary: return Flag(k.flags & kKeyPrimary);
    case kPropKeyComponentField:
    case kPropKeyComponentAscend: {
      if (index < 1 || static_cast<size_t>(index) > k.components.size()) return std::nullopt;
      int32_t c = k.components[index - 1];
      if (property == kPropKeyComponentAscend) return Flag(c > 0);
      return std::to_string(std::llabs(static_cast<long long>(c)));
    }
    default: return std::nullopt;
  }
}

}  // namespace

std::optional<std::string> GenericProperty(const FileControlBlock& fcb, int key, uint32_t property,
                                           int32_t index) {
  const FileDeclaration& decl = *fcb.declaration;
  if (key >= 0) return KeyProperty(decl, key, property, index);
  switch (property) {
    case kPropCurrentKey:
      return std::to_string(fcb.last_position_key >= 0 ? fcb.last_position_key + 1 : 0);
    case kPropWatched: return Flag(fcb.state & kStateRecordWatched);
    case kPropHeld: return Flag(fcb.state & kStateRecordHeld);
    case kPropMemoCount: return std::to_string(decl.memos.size());
    case kPropFieldCount: return std::to_string(decl.FieldCount());
    case kPropFileName: return std::string(decl.ExternalName());
    case kPropFieldName:
      if (index < 1 || static_cast<size_t>(index) > decl.FieldCount()) return std::nullopt;
      return decl.fields[index - 1].label;
    default: return std::nullopt;
  }
}

}  // namespace cinevo
