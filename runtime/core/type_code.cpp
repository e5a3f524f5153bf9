#include "runtime/core/type_code.h"

namespace cinevo {

std::string_view TypeCodeName(uint8_t code) {
  static constexpr std::string_view kNames[31] = {
      "END",     "BYTE",    "SHORT",   "USHORT", "DATE",  "TIME",     "LONG",    "ULONG",
      "SREAL",   "REAL",    "DECIMAL", "PDECIMAL", "DUM1", "BFLOAT4", "BFLOAT8", "ANY",
      "TEMPUFO", "(17)",    "STRING",  "CSTRING", "PSTRING", "MEMO",  "GROUP",   "CLASS",
      "ARRAY",   "FIELD",   "QUEUE",   "BLOB",   "STACKSTR", "PICTURE", "STDNUM"};
  return code <= 30 ? kNames[code] : std::string_view("UNKNOWN");
}

std::string_view TypeCodeName(TypeCode code) { return TypeCodeName(static_cast<uint8_t>(code)); }

}  // namespace cinevo
