// Standard dates and times.
//
// A standard date is a day number: day 4 is January 1, 1801 (so day 1 is December 29, 1800);
// valid dates run from 4 to 2,994,626 (December 31, 9999); 0 means no date.
// A standard time counts hundredths of a second since midnight plus one: 1 is 00:00:00.00 and
// 8,640,000 is 23:59:59.99; 0 means no time.
// Invalid dates and times are not errors: the conversions return -1 (or 0 where stated).
#pragma once

#include <cstdint>
#include <string>

namespace cinevo {

inline constexpr int32_t kMinStdDate = 4;
inline constexpr int32_t kMaxStdDate = 2994626;
inline constexpr int32_t kMaxStdTime = 8640000;
inline constexpr int kDefaultYearWindow = 80;

struct DateParts {
  int day = 0;
  int month = 0;
  int year = 0;
};

struct TimeParts {
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
  int hundredths = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int month, int year);  // 0 for a month outside 1..12

// The year used to widen two-digit years. Read from the local clock on first use and kept for
// the rest of the run; tests may fix it (0 returns to the clock on next use).
int CurrentYear();
void SetCurrentYear(int year);

// Places a year below 100 into the window (c - w) .. (c - w + 99) around the current year c;
// other years are returned unchanged.
int WidenYear(int year, int window = kDefaultYearWindow);

// Day/month/year to standard date; a year below 100 is widened first. -1 when invalid.
int32_t DateFromParts(int day, int month, int year, int window = kDefaultYearWindow);

// The DATE function: month, day, year with overflow carrying (months above 12 carry into years,
// days beyond the month's length into the following months); then validated. -1 when invalid.
int32_t DateFromMonthDayYear(int month, int day, int year, int window = kDefaultYearWindow);

// Standard date to parts: 0 and the parts, or -1 with all parts 0 outside 4..2,994,626.
int DateToParts(int32_t date, DateParts* parts);
int DayOf(int32_t date);    // DAY:   day of month, 0 when invalid
int MonthOf(int32_t date);  // MONTH: month, 0 when invalid
int YearOf(int32_t date);   // YEAR:  year, 0 when invalid

// DATE-typed storage (4 bytes). Reading carries overflow like the DATE function; a year above
// 9999 reads as December 31, 9999; an invalid field reads as 0. Writing an invalid standard
// date stores zeros.
int32_t DateFromStorage(const uint8_t* field);
void DateToStorage(int32_t date, uint8_t* field);

// Hours/minutes/seconds/hundredths to standard time: all zero gives 0, a part out of range -1.
int32_t TimeFromParts(int hours, int minutes, int seconds, int hundredths);
// 0 and the parts, or -1 with all parts 0 outside 1..8,640,000.
int TimeToParts(int32_t time, TimeParts* parts);

// TIME-typed storage (4 bytes). An out-of-range field reads as 0 (no time). Writing a value
// outside 1..8,640,000 stores zeros.
int32_t TimeFromStorage(const uint8_t* field);
void TimeToStorage(int32_t time, uint8_t* field);

// The local date and time now.
int32_t Today();
int32_t Clock();

// AGE: "<n> DAYS" below 61 days, "<n> MOS" up to 24 whole months, otherwise "<n> YRS"; 255
// asterisks when the birth date is invalid or lies after the base date even 100 years earlier.
std::string Age(int32_t birth);
std::string Age(int32_t birth, int32_t base);

}  // namespace cinevo
