// Field images of the record buffers a VIEW reads: clearing a record, reading and writing one
// field's bytes, filling a key component with the value at which a key's order starts or ends,
// and comparing two images of a field the way the field's key orders them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/file_control_block.h"

namespace cinevo::view {

// Blanks in the string fields, zeros elsewhere.
void ClearRecord(FileControlBlock& f);

// The bytes of field `field` (1-based; the first element of an array) in the file's buffer.
std::string_view ImageOf(const FileControlBlock& f, int field);
void PutImage(FileControlBlock& f, const FieldDeclaration& field, std::string_view image);

// The field's lowest (`high` false) or highest value in the order of a key over it.
void FillExtreme(FileControlBlock& f, const FieldDeclaration& field, bool nocase, bool high);

// <0, 0, >0 as image `a` orders before, with or after `b` (values in ascending order; texts by
// collation weight, upper-cased first when `nocase`).
int CompareImages(const FieldDeclaration& field, bool nocase, std::string_view a, std::string_view b);

// The value of `from` (a field of `source`'s buffer) into field `to` of `record`, converted when
// the two differ in type or size.
void CopyField(const FileControlBlock& source, const FieldDeclaration& from, std::vector<uint8_t>& record,
               const FieldDeclaration& to);

// Whether the planner may use fields of this type as key range components.
bool RangeType(TypeCode type);

}  // namespace cinevo::view
