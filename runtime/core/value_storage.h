// How values of each type lie in memory (and so in the records of data files).
//
//   BYTE 1 byte unsigned; SHORT/USHORT 2 bytes; LONG/ULONG 4 bytes; all little-endian.
//   SREAL/REAL: IEEE single/double, little-endian.
//   DATE: day (1 byte), month (1 byte), year (16-bit LE). TIME: hundredths, seconds, minutes,
//         hours (1 byte each). See std_date.h for the conversions to standard values.
//   DECIMAL of s bytes: 2s-1 digits; the high nibble of byte 0 is the sign (non-zero reads as
//         negative, written as 0xF for negative and 0 for positive), then digits high nibble
//         first, most significant first.
//   PDECIMAL of s bytes: 2s-1 digits high nibble first; the low nibble of the last byte is the
//         sign (0xD reads as negative; written 0xF positive, 0xD negative).
//   STRING of n: n bytes, padded with spaces. CSTRING of capacity n: at most n-1 bytes then NUL.
//   PSTRING of capacity n: byte 0 is the length (at most n-1 and 255), the text follows.
//   GROUP: as a value, the string of all its bytes.
//   BFLOAT4/BFLOAT8: a non-IEEE binary float. The last byte is the exponent with bias 128
//         (value = 0.1mmm... (binary) x 2^(exponent-128)); exponent 0 means zero. The byte
//         before it carries the sign in its top bit, and the rest of the mantissa (hidden leading
//         1 omitted) is stored little-endian below it.
//
// The clear operations fill a destination for a direction: 0 clear, negative lowest value,
// positive highest value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace cinevo {

// Little-endian loads and stores (unaligned-safe).
inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int16_t LoadI16(const uint8_t* p) { return static_cast<int16_t>(LoadU16(p)); }
inline int32_t LoadI32(const uint8_t* p) { return static_cast<int32_t>(LoadU32(p)); }
inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
float LoadSReal(const uint8_t* p);
double LoadReal(const uint8_t* p);
void StoreSReal(uint8_t* p, float v);
void StoreReal(uint8_t* p, double v);

// Non-IEEE floats (layout above). Values out of range saturate; NaN stores as zero.
double LoadBFloat4(const uint8_t* p);
double LoadBFloat8(const uint8_t* p);
void StoreBFloat4(uint8_t* p, double v);
void StoreBFloat8(uint8_t* p, double v);

// Strings.
void StoreString(char* dest, size_t size, std::string_view text);     // pad / cut
void StoreCString(char* dest, size_t capacity, std::string_view text);  // cut at capacity-1
void StorePString(uint8_t* dest, size_t capacity, std::string_view text);
std::string_view CStringValue(const char* field, size_t capacity);  // up to NUL or capacity
std::string_view PStringValue(const uint8_t* field, size_t capacity);  // length byte, clamped

// Clearing (direction: 0 clear, <0 lowest, >0 highest).
void ClearString(char* dest, size_t size, int direction);
void ClearCString(char* dest, size_t capacity, int direction);
void ClearPString(uint8_t* dest, size_t capacity, int direction);
void ClearDecimal(uint8_t* dest, size_t size, int direction);
void ClearPDecimal(uint8_t* dest, size_t size, int direction);

// Sign of packed decimal storage.
inline bool DecimalIsNegative(const uint8_t* field) { return (field[0] & 0xF0) != 0; }
inline bool PDecimalIsNegative(const uint8_t* field, size_t size) {
  return size > 0 && (field[size - 1] & 0x0F) == 0x0D;
}

}  // namespace cinevo
