// The date and time pictures that follow the user's regional settings: date pictures 17 (short
// date) and 18 (long date) and time pictures 7 (short time) and 8 (long time).
//
// They are made from the regional settings of the locale tables, which the locale loader fills at
// start-up from the "intl" section of the profile, and kept process-wide; a picture compiled
// afterwards copies the layout into its record.
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

#include <array>
#include <string>

#include "runtime/core/locale_tables.h"
#include "runtime/core/picture.h"

namespace cinevo {

// The "intl" settings: the regional settings of the locale tables (filled at start-up from the
// profile by the locale loader; defaults for missing keys).
using IntlSettings = RegionalSettings;

// A layout made from the settings.
struct IntlLayout {
  std::array<PictureToken, 24> tokens{};  // ended by kTokEnd
  uint8_t width = 0;
};

// Replaces the regional settings of the locale tables (process-wide). The layouts follow
// whatever settings the tables hold: they are rebuilt on first use after a change, so pictures
// compiled afterwards see the new layouts.
void ApplyIntlSettings(const IntlSettings& settings);

// The layout of date picture 17 or 18, or time picture 7 or 8, for the current settings.
const IntlLayout& IntlDateLayout(int number);
const IntlLayout& IntlTimeLayout(int number);

}  // namespace cinevo
