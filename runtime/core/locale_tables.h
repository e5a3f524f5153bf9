// The process-wide text tables of the runtime: collating sequence, case table, month names,
// AM/PM texts, digraphs, character-set flags and replacement message texts.
//
// They start with built-in defaults (weight = character code, A-Z/a-z paired, English month
// names, "AM"/"PM"), are adjusted at start-up from the regional settings and the environment file
// (see locale.h), and stay fixed afterwards. Readers take them without locking.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace cinevo {

enum CharClass : uint8_t {
  kCharUpper = 1,
  kCharLower = 2,
  kCharDigit = 4,
};

struct DigraphEntry {
  char ch = 0;           // the character ...
  char expands[2] = {};  // ... and the two characters it stands for
};

// The regional settings read at start-up from the profile's "intl" section (defaults for missing
// keys). The AM/PM texts go into the tables themselves; the layouts of the regional date and time
// pictures are built from these values.
struct RegionalSettings {
  int time_24h = 0;                   // "iTime": 1 a 24-hour clock, 0 a 12-hour clock
  int hour_leading_zero = 1;          // "iTLzero"
  std::string time_separator = ":";   // "sTime", one character
  std::string am = "AM";              // "s1159", at most 2 characters
  std::string pm = "PM";              // "s2359", at most 2 characters
  std::string short_date = "MM/dd/yy";                  // "sShortDate"
  std::string long_date = "ddd', 'MMMM' 'dd', 'yyyy";   // "sLongDate"
};

struct LocaleTables {
  // One weight per byte value; string comparison compares weights.
  std::array<uint8_t, 256> collation;
  // The weights of the bytes of the OEM code page (for OEM data files): the weight of each byte's
  // ANSI counterpart, or the environment's list as written when the OEM character set is chosen.
  std::array<uint8_t, 256> other_collation;
  // The other-case partner of each byte (itself when it has none) and its class flags.
  std::array<uint8_t, 256> case_partner;
  std::array<uint8_t, 256> char_class;
  std::array<std::string, 12> month_long;   // at most 12 characters each
  std::array<std::string, 12> month_short;  // 3 characters each
  std::string am = "AM";                    // at most 2 characters
  std::string pm = "PM";
  std::array<DigraphEntry, 16> digraphs{};  // ended by an entry whose ch is 0
  std::array<DigraphEntry, 16> digraphs_oem{};  // the same table in the OEM code page
  // The collating sequence as it stood after the regional settings, before the environment file.
  std::array<uint8_t, 256> startup_collation;
  RegionalSettings regional;
  bool oem_charset = false;
  bool long_file_names = false;
  // Replacement texts of numbered runtime messages; button captions are 0x7F00 + n.
  std::map<int, std::string> messages;

  LocaleTables();  // the built-in defaults
  void ResetToDefaults();
};

// The process-wide tables.
LocaleTables& Locale();

inline uint8_t CollationWeight(uint8_t c) { return Locale().collation[c]; }
inline bool IsUpperChar(uint8_t c) { return (Locale().char_class[c] & kCharUpper) != 0; }
inline bool IsLowerChar(uint8_t c) { return (Locale().char_class[c] & kCharLower) != 0; }
inline bool IsDigitChar(uint8_t c) { return (Locale().char_class[c] & kCharDigit) != 0; }
inline bool IsAlphaChar(uint8_t c) { return (Locale().char_class[c] & (kCharUpper | kCharLower)) != 0; }
inline uint8_t ToUpperChar(uint8_t c) { return IsLowerChar(c) ? Locale().case_partner[c] : c; }
inline uint8_t ToLowerChar(uint8_t c) { return IsUpperChar(c) ? Locale().case_partner[c] : c; }

}  // namespace cinevo
