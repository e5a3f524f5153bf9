// The one-byte data-type numbers of fields and values, and their printed names.
#pragma once

#include <cstdint>
#include <string_view>

namespace cinevo {

enum class TypeCode : uint8_t {
  kEnd = 0,
  kByte = 1,
  kShort = 2,
  kUShort = 3,
  kDate = 4,
  kTime = 5,
  kLong = 6,
  kULong = 7,
  kSReal = 8,
  kReal = 9,
  kDecimal = 10,
  kPDecimal = 11,
  kDum1 = 12,
  kBFloat4 = 13,
  kBFloat8 = 14,
  kAny = 15,
  kTempUfo = 16,
  kUnassigned17 = 17,
  kString = 18,
  kCString = 19,
  kPString = 20,
  kMemo = 21,
  kGroup = 22,
  kObject = 23,
  kArray = 24,
  kField = 25,
  kQueue = 26,
  kBlob = 27,
  kStackStr = 28,
  kPicture = 29,
  kStdNum = 30,
};

// The printed name of a type code: "BYTE", "STRING", ..., "(17)" for code 17, "UNKNOWN" for a
// code above 30.
std::string_view TypeCodeName(TypeCode code);
std::string_view TypeCodeName(uint8_t code);

// Codes 18..20 and 27..29: a binary operation between two such operands is a string operation.
constexpr bool IsStringLike(TypeCode c) {
  auto v = static_cast<uint8_t>(c);
  return (v >= 18 && v <= 20) || (v >= 27 && v <= 29);
}

}  // namespace cinevo
