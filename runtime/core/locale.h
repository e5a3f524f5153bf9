// Loading the locale tables (locale_tables.h): built-in defaults, then the regional settings, then
// an environment file.
//
// The environment file (format in env_file.h) sets one table per line through Apply. Its keys, in
// any case:
//   VEXCHARSET  "OEM": the OEM character set (later values are converted from OEM to ANSI before
//               use, except that of VEXCOLSEQ); anything else: ANSI.
//   VEXCOLSEQ   empty: weight = code; "WINDOWS": bytes 2-254 ordered by the C library's collation of
//               one-character strings in the current locale (0, 1 and 255 keep their weights);
//               else the characters of the items from lowest to highest: each listed character
//               gets its 0-based position as weight, and the characters not listed follow in code
//               order, so that the weights stay a permutation. The OEM copy (other_collation) gives
//               each OEM byte the weight of its ANSI counterpart; with the OEM character set and a
//               list, it is made from the list as written and the ANSI table from the converted list.
//   VEXCASE     empty: the default A-Z/a-z table; "WINDOWS": the ANSI characters 128-255 that the C
//               library (current locale) reports as alphabetic upper case are paired with their
//               lower-case forms; two items: upper-case characters and their lower-case partners,
//               paired place by place where both are 128 or above. The ASCII part stays the default.
//   VEXMONTH    up to 12 long month names (cut to 12), ending at the first empty item.
//   VEXMON      up to 12 short month names (cut to 3), ending at the first empty item.
//   VEXAMPM     "WINDOWS" (the profile's "s1159"/"s2359") or two items; each cut to 2 characters.
//   VEXDIGRAPH  groups of 3 characters (character, then the two it stands for); up to 16 entries,
//               an incomplete group is ignored.
//   VEXBUTTON   item n (from 0) becomes message 0x7F00 + n; empty items are skipped.
//   VEXLFN      "on" in any case: long file names on; anything else: off.
//   VEXMSGn     the text of runtime message n.
// Unknown keys are ignored. "WINDOWS" and "OEM" are recognised in any case, with blanks around.
#pragma once

#include <string>
#include <string_view>

namespace cinevo::locale {

// Start-up (once): defaults, then the regional settings, then a copy of the collating sequence is
// kept, then the environment file beside the program (EnvironmentFileName of `program_path`;
// the running executable when empty). A missing environment file leaves error code 2 posted.
void Startup(std::string_view program_path = {});

// Reads the profile's "intl" section into the regional settings and the AM/PM texts.
void LoadRegionalSettings();

// "WINDOWS" (any case): the collating sequence, case table and AM/PM texts from the platform, no
// file read. Otherwise the named file is read (matched without regard to case when it does not
// exist as given; its first 16 MiB at most) and every entry applied in order; false with error
// code 2 when it is missing or no regular file, the tables untouched.
bool Load(std::string_view name);

// Sets one table from one key and its value (the escapes of the file already decoded).
void Apply(std::string_view key, std::string_view value);

// The path of the running executable ("" when unknown).
std::string ProgramPath();

}  // namespace cinevo::locale
