// The date and time pictures that follow the user's regional settings: date pictures 17 (short
// date) and 18 (long date) and time pictures 7 (short time) and 8 (long time).
//
// They are built once at start-up from the "intl" section of the profile and kept process-wide;
// pictures compiled afterwards copy the layout. Until ApplyIntlSettings is called the layouts of
// the default settings are in force.
//
// Short date (picture 17): the first letter gives the order ("d" day-month-year, "y"
//   year-month-day, else month-day-year); "dd" zero-fills the day and "d" blank-fills it, "MM"
//   and "M" likewise for the month; "yyy" or longer gives a four-digit year, else two digits.
//   The separator is the character after the last "M" (a quote before it is skipped); "/" when
//   there is none or it is a letter or digit.
// Long date (picture 18): the month by name (nine positions when "MMMM" appears, else three),
//   day and year filled as for the short date. The order comes from the first field letter
//   ("y", "d" or "M"); weekday fields ("ddd", "dddd") and quoted text are not fields and are
//   skipped when looking for it, so the default "ddd', 'MMMM' 'dd', 'yyyy" is month-day-year.
//   A text without a day, month or year field gives the default. The layouts are those of the
//   fixed pictures: month-day-year "NNNNNNNNN Dd, yyyy", day-month-year "Dd NNNNNNNNN yyyy",
//   year-month-day "yyyy NNNNNNNNN Dd" (with "dd" the day is zero-filled).
// Times (pictures 7 and 8): hours and minutes (and seconds for 8) separated by the "sTime"
//   character; the first hour digit zero-filled when "iTLzero" is 1, blank-filled otherwise;
//   with the 12-hour clock ("iTime" 0) a space and the AM/PM text (from the locale tables)
//   follow.
#pragma once

#include <string>

#include "runtime/core/picture.h"

namespace cinevo {

// The "intl" settings with their defaults for missing keys.
struct IntlSettings {
  int time_24h = 0;          // "iTime": 1 a 24-hour clock, 0 a 12-hour clock
  int hour_leading_zero = 1; // "iTLzero"
  std::string time_separator = ":";  // "sTime", first character used
  std::string short_date = "MM/dd/yy";                       // "sShortDate"
  std::string long_date = "ddd', 'MMMM' 'dd', 'yyyy";        // "sLongDate"
};

// A layout made from the settings.
struct IntlLayout {
  std::array<PictureToken, 24> tokens{};  // ended by kTokEnd
  uint8_t width = 0;
};

// Rebuilds pictures 17, 18 and times 7, 8 from `settings` (process-wide; call at start-up).
void ApplyIntlSettings(const IntlSettings& settings);

// The "intl" settings of an INI file (the profile by default); missing keys take the defaults
// above. The AM/PM texts ("s1159", "s2359") are not part of these: they live in the locale tables.
IntlSettings IntlSettingsFromIni(const std::string& path);
IntlSettings IntlSettingsFromProfile();

// Start-up: ApplyIntlSettings(IntlSettingsFromProfile()).
void LoadIntlPicturesFromProfile();

// The layout of date picture 17 or 18, or time picture 7 or 8.
const IntlLayout& IntlDateLayout(int number);
const IntlLayout& IntlTimeLayout(int number);

}  // namespace cinevo
