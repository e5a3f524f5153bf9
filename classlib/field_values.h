// Reading, writing, clearing and comparing one field of a record buffer by its declaration.
// The class library's managers work on fields through these, whatever their type.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/core/value_ref.h"
#include "runtime/data/file_declaration.h"

namespace cinevo::classlib {

// A reference to field `field` of `record` (its first element when it has dimensions).
ValueRef FieldRef(const FieldDeclaration& field, std::span<uint8_t> record);
// The field's stored bytes (all elements).
std::span<uint8_t> FieldBytes(const FieldDeclaration& field, std::span<uint8_t> record);

// Sets the field to blank or zero (direction 0), its lowest (<0) or its highest (>0) value.
void ClearField(const FieldDeclaration& field, std::span<uint8_t> record, int direction);

// The field's value as text (numbers in decimal, strings without trailing blanks).
std::string FieldText(const FieldDeclaration& field, std::span<uint8_t> record);

// True for the string types (STRING, CSTRING, PSTRING) and GROUP.
bool IsStringField(const FieldDeclaration& field);

}  // namespace cinevo::classlib
