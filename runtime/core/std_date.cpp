#include "runtime/core/std_date.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "runtime/core/value_storage.h"

namespace cinevo {
namespace {

constexpr int kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
constexpr int kMonthLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Leap days up to and including year n.
constexpr int64_t L(int64_t n) { return n / 4 - n / 100 + n / 400; }
// Days before January 1 of year y+1 counted from a fixed origin.
constexpr int64_t D(int64_t y) { return 365 * y + L(y - 1); }

// Process-wide by design: the year is read once and kept for the run (0 = not read yet).
int g_current_year = 0;

std::tm LocalNow(int* milliseconds) {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  if (milliseconds) {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    *milliseconds = static_cast<int>(ms.count());
  }
  return tm;
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int month, int year) {
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kMonthLength[month - 1];
}

int CurrentYear() {
  if (g_current_year == 0) g_current_year = LocalNow(nullptr).tm_year + 1900;
  return g_current_year;
}

void SetCurrentYear(int year) { g_current_year = year; }

int WidenYear(int year, int window) {
  if (year < 0 || year >= 100) return year;
  window = std::clamp(window, 0, 100);  // a window only makes sense within one century
  int c = CurrentYear();
  int y = c - c % 100 + year;
  if (y - c >= 100 - window) y -= 100;
  else if (c - y > window) y += 100;
  return y;
}

int32_t DateFromParts(int day, int month, int year, int window) {
  if (year >= 0 && year < 100) year = WidenYear(year, window);
  if (year < 1801 || year > 9999 || month < 1 || month > 12) return -1;
  if (day < 1 || day > DaysInMonth(month, year)) return -1;
  int64_t n = int64_t{year - 1801} * 365 + kDaysBefore[month - 1] + day + 3 + (L(year) - L(1800));
  if (month <= 2 && IsLeapYear(year)) --n;
  return static_cast<int32_t>(n);
}

int32_t DateFromMonthDayYear(int month, int day, int year, int window) {
  if (year >= 0 && year < 100) year = WidenYear(year, window);
  if (month < 1 || day < 1) return -1;  // a month or day of 0 (or below) is invalid
  // Months above 12 carry whole years. Work in 64 bits so huge parts cannot overflow.
  int64_t y = year + (int64_t{month} - 1) / 12;
  int m = (month - 1) % 12 + 1;
  int64_t d = day;
  // Days beyond the month's length carry month by month; once past 9999 the date is invalid
  // anyway, so the walk stops there (this also bounds the loop).
  while (y <= 9999 && d > DaysInMonth(m, static_cast<int>(y))) {
    d -= DaysInMonth(m, static_cast<int>(y));
    if (++m > 12) {
      m = 1;
      ++y;
    }
    // Skip whole 400-year cycles (146,097 days) when far away.
    if (d > 146097 * 2 && m == 1) {
      int64_t cycles = d / 146097 - 1;
      d -= cycles * 146097;
      y += cycles * 400;
    }
  }
  if (y < 1801 || y > 9999) return -1;
  return DateFromParts(static_cast<int>(d), m, static_cast<int>(y), window);
}

int DateToParts(int32_t date, DateParts* parts) {
  DateParts out;
  if (date < kMinStdDate || date > kMaxStdDate) {
    if (parts) *parts = out;
    return -1;
  }
  int64_t n = date + D(1801) - 4;
  int64_t year = n / 365;
  while (D(year) > n) --year;
  int64_t day_of_year = n - D(year) + 1;
  int month = 1;
  while (day_of_year > DaysInMonth(month, static_cast<int>(year))) {
    day_of_year -= DaysInMonth(month, static_cast<int>(year));
    ++month;
  }
  out.day = static_cast<int>(day_of_year);
  out.month = month;
  out.year = static_cast<int>(year);
  if (parts) *parts = out;
  return 0;
}

int DayOf(int32_t date) {
  DateParts p;
  DateToParts(date, &p);
  return p.day;
}
int MonthOf(int32_t date) {
  DateParts p;
  DateToParts(date, &p);
  return p.month;
}
int YearOf(int32_t date) {
  DateParts p;
  DateToParts(date, &p);
  return p.year;
}

int32_t DateFromStorage(const uint8_t* field) {
  int day = field[0];
  int month = field[1];
  int year = LoadU16(field + 2);
  if (year > 9999) return kMaxStdDate;
  int32_t date = DateFromMonthDayYear(month, day, year);
  return date < 0 ? 0 : date;
}

void DateToStorage(int32_t date, uint8_t* field) {
  DateParts p;
  DateToParts(date, &p);  // all parts 0 when invalid
  field[0] = static_cast<uint8_t>(p.day);
  field[1] = static_cast<uint8_t>(p.month);
  StoreU16(field + 2, static_cast<uint16_t>(p.year));
}

int32_t TimeFromParts(int hours, int minutes, int seconds, int hundredths) {
  if (hours == 0 && minutes == 0 && seconds == 0 && hundredths == 0) return 0;
  if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59 ||
      hundredths < 0 || hundredths > 99) {
    return -1;
  }
  return hours * 360000 + minutes * 6000 + seconds * 100 + hundredths + 1;
}

int TimeToParts(int32_t time, TimeParts* parts) {
  TimeParts out;
  if (time < 1 || time > kMaxStdTime) {
    if (parts) *parts = out;
    return -1;
  }
  int v = time - 1;
  out.hours = v / 360000;
  v %= 360000;
  out.minutes = v / 6000;
  v %= 6000;
  out.seconds = v / 100;
  out.hundredths = v % 100;
  if (parts) *parts = out;
  return 0;
}

int32_t TimeFromStorage(const uint8_t* field) {
  int32_t t = TimeFromParts(field[3], field[2], field[1], field[0]);
  return t < 0 ? 0 : t;
}

void TimeToStorage(int32_t time, uint8_t* field) {
  TimeParts p;
  TimeToParts(time, &p);
  field[0] = static_cast<uint8_t>(p.hundredths);
  field[1] = static_cast<uint8_t>(p.seconds);
  field[2] = static_cast<uint8_t>(p.minutes);
  field[3] = static_cast<uint8_t>(p.hours);
}

int32_t Today() {
  std::tm tm = LocalNow(nullptr);
  return DateFromParts(tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900);
}

int32_t Clock() {
  int ms = 0;
  std::tm tm = LocalNow(&ms);
  int32_t t = TimeFromParts(tm.tm_hour, tm.tm_min, tm.tm_sec > 59 ? 59 : tm.tm_sec, ms / 10);
  return t == 0 ? 1 : t;  // midnight exactly is still a time
}

std::string Age(int32_t birth) { return Age(birth, Today()); }

std::string Age(int32_t birth, int32_t base) {
  const std::string kStars(255, '*');
  DateParts b, n;
  if (DateToParts(birth, &b) < 0 || DateToParts(base, &n) < 0) return kStars;
  if (birth > base) {
    // Take 100 years off the birth year; on February 29 of a year that is then no leap year the
    // date is invalid and the result is the asterisks.
    birth = DateFromParts(b.day, b.month, b.year - 100);
    if (birth < 0 || birth > base) return kStars;
    b.year -= 100;
  }
  int32_t days = base - birth;
  if (days < 61) return std::to_string(days) + " DAYS";
  int months = (n.year - b.year) * 12 + (n.month - b.month);
  if (n.day < b.day) --months;
  if (months <= 24) return std::to_string(months) + " MOS";
  int years = n.year - b.year;
  if (n.month < b.month || (n.month == b.month && n.day < b.day)) --years;
  return std::to_string(years) + " YRS";
}

}  // namespace cinevo
