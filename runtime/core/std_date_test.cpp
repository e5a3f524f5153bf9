#include "runtime/core/std_date.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

namespace cinevo {
namespace {

// Fixes the current year for two-digit years and restores the clock afterwards.
class StdDateTest : public testing::Test {
 protected:
  void SetUp() override { SetCurrentYear(2018); }
  void TearDown() override { SetCurrentYear(0); }
};

TEST_F(StdDateTest, DayNumberingAndItsEnds) {
  EXPECT_EQ(DateFromParts(1, 1, 1801), 4);
  EXPECT_EQ(DateFromParts(31, 12, 9999), kMaxStdDate);
  EXPECT_EQ(DateFromParts(1, 3, 1801) - DateFromParts(28, 2, 1801), 1);
  EXPECT_EQ(DateFromParts(1, 3, 2000) - DateFromParts(29, 2, 2000), 1);
  EXPECT_EQ(DateFromParts(1, 1, 2001) - DateFromParts(1, 1, 2000), 366);
  EXPECT_EQ(DateFromParts(1, 1, 1901) - DateFromParts(1, 1, 1900), 365);
  EXPECT_EQ(DateFromParts(29, 2, 1900), -1);
  EXPECT_GT(DateFromParts(29, 2, 2000), 0);
  EXPECT_EQ(DateFromParts(31, 12, 1800), -1);
  EXPECT_EQ(DateFromParts(1, 1, 10000), -1);
  EXPECT_EQ(DateFromParts(0, 1, 2000), -1);
  EXPECT_EQ(DateFromParts(31, 4, 2000), -1);
  EXPECT_EQ(DateFromParts(1, 13, 2000), -1);
}

TEST_F(StdDateTest, PartsRoundTripOverTheWholeRange) {
  // Every day of a leap and a century year, plus a stride through the whole range.
  for (int32_t d = DateFromParts(1, 1, 1900); d < DateFromParts(1, 1, 1901); ++d) {
    DateParts p;
    ASSERT_EQ(DateToParts(d, &p), 0);
    ASSERT_EQ(DateFromParts(p.day, p.month, p.year), d);
  }
  for (int32_t d = DateFromParts(1, 1, 2000); d < DateFromParts(1, 1, 2001); ++d) {
    DateParts p;
    ASSERT_EQ(DateToParts(d, &p), 0);
    ASSERT_EQ(DateFromParts(p.day, p.month, p.year), d);
  }
  for (int32_t d = kMinStdDate; d <= kMaxStdDate; d += 997) {
    DateParts p;
    ASSERT_EQ(DateToParts(d, &p), 0);
    ASSERT_EQ(DateFromParts(p.day, p.month, p.year), d) << d;
  }
  DateParts last;
  DateToParts(kMaxStdDate, &last);
  EXPECT_EQ(last.day, 31);
  EXPECT_EQ(last.month, 12);
  EXPECT_EQ(last.year, 9999);
  EXPECT_EQ(DayOf(4), 1);
  EXPECT_EQ(MonthOf(4), 1);
  EXPECT_EQ(YearOf(4), 1801);
}

TEST_F(StdDateTest, OutOfRangeDatesGiveMinusOneAndZeroParts) {
  for (int32_t bad : {0, 3, -5, kMaxStdDate + 1}) {
    DateParts p{9, 9, 9};
    EXPECT_EQ(DateToParts(bad, &p), -1);
    EXPECT_EQ(p.day + p.month + p.year, 0);
    EXPECT_EQ(YearOf(bad), 0);
  }
}

TEST_F(StdDateTest, TwoDigitYearsFollowTheWindow) {
  EXPECT_EQ(WidenYear(37), 2037);
  EXPECT_EQ(WidenYear(38), 1938);
  EXPECT_EQ(WidenYear(0), 2000);
  EXPECT_EQ(WidenYear(99), 1999);
  EXPECT_EQ(WidenYear(1999), 1999);
  EXPECT_EQ(WidenYear(18, 50), 2018);
  EXPECT_EQ(WidenYear(67, 50), 2067);  // window 1968 .. 2067
  EXPECT_EQ(WidenYear(68, 50), 1968);
  EXPECT_EQ(DateFromParts(1, 1, 37), DateFromParts(1, 1, 2037));
  // Windows beyond one century are clamped instead of overflowing.
  EXPECT_EQ(WidenYear(17, INT_MIN), 2117);  // window 0: 2018 .. 2117
  EXPECT_EQ(WidenYear(18, INT_MAX), 1918);  // window 100: 1918 .. 2017
  SetCurrentYear(2095);
  EXPECT_EQ(WidenYear(14), 2114);  // 2095 - 80 .. 2095 + 19
  EXPECT_EQ(WidenYear(15), 2015);
}

TEST_F(StdDateTest, DateFunctionCarriesOverflowingMonthsAndDays) {
  EXPECT_EQ(DateFromMonthDayYear(13, 1, 2000), DateFromParts(1, 1, 2001));
  EXPECT_EQ(DateFromMonthDayYear(25, 1, 2000), DateFromParts(1, 1, 2002));
  EXPECT_EQ(DateFromMonthDayYear(2, 30, 2000), DateFromParts(1, 3, 2000));  // leap year
  EXPECT_EQ(DateFromMonthDayYear(2, 30, 2001), DateFromParts(2, 3, 2001));
  EXPECT_EQ(DateFromMonthDayYear(12, 32, 1999), DateFromParts(1, 1, 2000));
  EXPECT_EQ(DateFromMonthDayYear(1, 366, 2000), DateFromParts(31, 12, 2000));
  EXPECT_EQ(DateFromMonthDayYear(1, 1000000, 2000),
            DateFromParts(1, 1, 2000) + 1000000 - 1);  // day 1,000,000 counted from Jan 1
  EXPECT_EQ(DateFromMonthDayYear(1, 3000000, 2000), -1);  // beyond 9999
  EXPECT_EQ(DateFromMonthDayYear(1, 0, 2000), -1);
  EXPECT_EQ(DateFromMonthDayYear(0, 1, 2000), -1);
  EXPECT_EQ(DateFromMonthDayYear(12, 31, 9999), kMaxStdDate);
  EXPECT_EQ(DateFromMonthDayYear(12, 32, 9999), -1);
  EXPECT_EQ(DateFromMonthDayYear(2147483647, 2147483647, 2147483647), -1);
}

TEST_F(StdDateTest, DateStorage) {
  uint8_t field[4];
  int32_t d = DateFromParts(15, 6, 2024);
  DateToStorage(d, field);
  EXPECT_EQ(field[0], 15);
  EXPECT_EQ(field[1], 6);
  EXPECT_EQ(field[2], 2024 & 0xFF);
  EXPECT_EQ(field[3], 2024 >> 8);
  EXPECT_EQ(DateFromStorage(field), d);

  const uint8_t overflowing[4] = {31, 2, 2024 & 0xFF, 2024 >> 8};
  EXPECT_EQ(DateFromStorage(overflowing), DateFromParts(2, 3, 2024));
  const uint8_t far_year[4] = {1, 1, 0x10, 0x27};  // year 10000
  EXPECT_EQ(DateFromStorage(far_year), kMaxStdDate);
  const uint8_t zeros[4] = {0, 0, 0, 0};
  EXPECT_EQ(DateFromStorage(zeros), 0);
  const uint8_t too_early[4] = {1, 1, 0x08, 0x07};  // 1800
  EXPECT_EQ(DateFromStorage(too_early), 0);

  DateToStorage(-1, field);
  EXPECT_EQ(field[0] | field[1] | field[2] | field[3], 0);
}

TEST_F(StdDateTest, TimeFromAndToParts) {
  EXPECT_EQ(TimeFromParts(0, 0, 0, 0), 0);
  EXPECT_EQ(TimeFromParts(0, 0, 0, 1), 2);
  EXPECT_EQ(TimeFromParts(23, 59, 59, 99), kMaxStdTime);
  EXPECT_EQ(TimeFromParts(24, 0, 0, 0), -1);
  EXPECT_EQ(TimeFromParts(0, 60, 0, 0), -1);
  EXPECT_EQ(TimeFromParts(0, 0, 60, 0), -1);
  EXPECT_EQ(TimeFromParts(0, 0, 0, 100), -1);
  EXPECT_EQ(TimeFromParts(-1, 0, 0, 0), -1);

  TimeParts p;
  EXPECT_EQ(TimeToParts(1, &p), 0);
  EXPECT_EQ(p.hours + p.minutes + p.seconds + p.hundredths, 0);  // 1 is midnight
  EXPECT_EQ(TimeToParts(TimeFromParts(13, 45, 7, 89), &p), 0);
  EXPECT_EQ(p.hours, 13);
  EXPECT_EQ(p.minutes, 45);
  EXPECT_EQ(p.seconds, 7);
  EXPECT_EQ(p.hundredths, 89);
  for (int32_t bad : {0, -1, kMaxStdTime + 1}) {
    TimeParts q{1, 2, 3, 4};
    EXPECT_EQ(TimeToParts(bad, &q), -1);
    EXPECT_EQ(q.hours + q.minutes + q.seconds + q.hundredths, 0);
  }
}

TEST_F(StdDateTest, TimeStorage) {
  uint8_t field[4];
  TimeToStorage(TimeFromParts(13, 45, 7, 89), field);
  EXPECT_EQ(field[0], 89);
  EXPECT_EQ(field[1], 7);
  EXPECT_EQ(field[2], 45);
  EXPECT_EQ(field[3], 13);
  EXPECT_EQ(TimeFromStorage(field), TimeFromParts(13, 45, 7, 89));
  const uint8_t bad[4] = {0, 0, 0, 24};
  EXPECT_EQ(TimeFromStorage(bad), 0);
}

TEST_F(StdDateTest, TodayAndClockAreValid) {
  int32_t today = Today();
  EXPECT_GE(today, kMinStdDate);
  EXPECT_LE(today, kMaxStdDate);
  int32_t now = Clock();
  EXPECT_GE(now, 1);
  EXPECT_LE(now, kMaxStdTime);
}

TEST_F(StdDateTest, AgeInDaysMonthsAndYears) {
  int32_t base = DateFromParts(15, 6, 2020);
  EXPECT_EQ(Age(base - 60, base), "60 DAYS");
  EXPECT_EQ(Age(base, base), "0 DAYS");
  EXPECT_EQ(Age(base - 61, base), "2 MOS");
  EXPECT_EQ(Age(DateFromParts(15, 6, 2018), base), "24 MOS");
  EXPECT_EQ(Age(DateFromParts(16, 6, 2018), base), "23 MOS");  // day of month not reached
  EXPECT_EQ(Age(DateFromParts(15, 5, 2018), base), "2 YRS");   // 25 months
  EXPECT_EQ(Age(DateFromParts(16, 6, 1990), base), "29 YRS");
  EXPECT_EQ(Age(DateFromParts(15, 6, 1990), base), "30 YRS");
}

TEST_F(StdDateTest, AgeOfALaterBirthDateTakesOffACentury) {
  int32_t base = DateFromParts(15, 6, 2020);
  EXPECT_EQ(Age(DateFromParts(1, 1, 2050), base), "70 YRS");  // read as 1950
  const std::string stars(255, '*');
  EXPECT_EQ(Age(DateFromParts(1, 1, 2150), base), stars);  // still later
  EXPECT_EQ(Age(0, base), stars);
  EXPECT_EQ(Age(DateFromParts(1, 1, 1850), DateFromParts(1, 1, 1820)), stars);  // 1750 invalid
  EXPECT_EQ(Age(DateFromParts(29, 2, 2000), DateFromParts(1, 1, 1950)), stars);  // 1900-02-29
}

}  // namespace
}  // namespace cinevo
