// The fields of a queue's record, as a list reads them.
//
// A queue stores whole records and knows nothing of their fields, so a list over a queue is
// given the record's layout: one QueueField per field in declaration order, which is the order
// in which a column format numbers them (field 1 is the first).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/core/picture.h"
#include "runtime/core/type_code.h"

namespace cinevo {

struct QueueField {
  uint32_t offset = 0;
  uint32_t size = 0;
  TypeCode type = TypeCode::kString;
  int places = 0;  // DECIMAL and PDECIMAL
};

// The layout of a record declared field after field, each (type, size in bytes); numbers may
// give size 0 for their natural size. Packed fields follow one another without gaps.
std::vector<QueueField> QueueRecordLayout(
    std::initializer_list<std::pair<TypeCode, uint32_t>> fields);

// The record size of a layout (end of its last field).
uint32_t QueueRecordSize(const std::vector<QueueField>& layout);

// The value of `field` in the record at `entry` shown as text: through `picture` when it is
// valid, else strings clipped of trailing blanks and numbers in plain decimal.
std::string QueueFieldText(const QueueField& field, const uint8_t* entry,
                           const CompiledPicture* picture);

// The same text without a copy, but with its trailing blanks (cutting them off would mean reading
// every one), when it is the field's own bytes: a text field shown plainly or through a string
// picture, which only cuts it to its width. False when it has to be formatted.
bool QueueFieldTextView(const QueueField& field, const uint8_t* entry,
                        const CompiledPicture* picture, std::string_view* out);

// The value as a whole number (texts read as numbers; 0 when they are none).
int64_t QueueFieldNumber(const QueueField& field, const uint8_t* entry);

}  // namespace cinevo
