#include "runtime/core/locale_tables.h"

namespace cinevo {

LocaleTables::LocaleTables() { ResetToDefaults(); }

void LocaleTables::ResetToDefaults() {
  for (int i = 0; i < 256; ++i) {
    collation[i] = static_cast<uint8_t>(i);
    other_collation[i] = static_cast<uint8_t>(i);
    startup_collation[i] = static_cast<uint8_t>(i);
    case_partner[i] = static_cast<uint8_t>(i);
    char_class[i] = 0;
  }
  for (int c = 'A'; c <= 'Z'; ++c) {
    case_partner[c] = static_cast<uint8_t>(c - 'A' + 'a');
    case_partner[c - 'A' + 'a'] = static_cast<uint8_t>(c);
    char_class[c] = kCharUpper;
    char_class[c - 'A' + 'a'] = kCharLower;
  }
  for (int c = '0'; c <= '9'; ++c) char_class[c] = kCharDigit;
  static const char* const kLong[12] = {"January", "February", "March",     "April",
                                        "May",     "June",     "July",      "August",
                                        "September", "October", "November", "December"};
  for (int m = 0; m < 12; ++m) {
    month_long[m] = kLong[m];
    month_short[m] = std::string(kLong[m], 3);
  }
  am = "AM";
  pm = "PM";
  digraphs = {};
  digraphs_oem = {};
  regional = RegionalSettings{};
  oem_charset = false;
  long_file_names = false;
  messages.clear();
}

LocaleTables& Locale() {
  static LocaleTables tables;
  return tables;
}

}  // namespace cinevo
