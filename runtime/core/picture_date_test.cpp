#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "runtime/core/locale.h"
#include "runtime/core/picture.h"
#include "runtime/core/picture_intl.h"
#include "runtime/core/std_date.h"

namespace cinevo {
namespace {

class PictureDate : public ::testing::Test {
 protected:
  void SetUp() override { SetCurrentYear(2018); }
  void TearDown() override {
    SetCurrentYear(0);
    ApplyIntlSettings(IntlSettings{});
  }
  static std::string Show(std::string_view picture, int day, int month, int year) {
    return Format(CompilePicture(picture), int64_t{DateFromParts(day, month, year)});
  }
  static int32_t Read(std::string_view picture, std::string_view text) {
    DeformatResult r = Deformat(CompilePicture(picture), text);
    return r.ok ? static_cast<int32_t>(r.number) : -1;
  }
};

TEST_F(PictureDate, FillAndSeparatorModifiers) {
  EXPECT_EQ(Show("@D2", 5, 1, 1998), " 1/05/1998");
  EXPECT_EQ(Show("@D02", 5, 1, 1998), "01/05/1998");
  EXPECT_EQ(Show("@D2-", 5, 1, 1998), " 1-05-1998");
  // The fill stands only where the layout lets a leading digit go blank ("Mm/dd/yyyy": the
  // month); the day's leading zero is always shown.
  EXPECT_EQ(Show("@D*2", 5, 1, 1998), "*1/05/1998");
  EXPECT_EQ(Show("@D*6", 5, 1, 1998), "*5/01/1998");
  EXPECT_EQ(Show("@D*2", 25, 11, 1998), "11/25/1998");
  EXPECT_EQ(Show("@D_6_", 5, 1, 1998), " 5 01 1998");
  EXPECT_EQ(Show("@D6_", 5, 1, 1998), " 5 01 1998");
  EXPECT_EQ(Show("@D6`", 5, 1, 1998), " 5,01,1998");
  EXPECT_EQ(Show("@d5.", 5, 1, 1998), " 5.01.98");
  EXPECT_EQ(Show("@D05.", 5, 1, 1998), "05.01.98");
  EXPECT_EQ(Show("@D010", 5, 1, 1998), "1998/01/05");  // the year never loses digits
}

TEST_F(PictureDate, EveryNumericLayoutAroundMonthAndYearEnds) {
  struct Case {
    const char* picture;
    const char* dec31_1999;
    const char* jan1_2000;
  } cases[] = {
      {"@D1", "12/31/99", " 1/01/00"},     {"@D2", "12/31/1999", " 1/01/2000"},
      {"@D5", "31/12/99", " 1/01/00"},     {"@D6", "31/12/1999", " 1/01/2000"},
      {"@D9", "99/12/31", "00/01/01"},     {"@D10", "1999/12/31", "2000/01/01"},
      {"@D11", "991231", "000101"},        {"@D12", "19991231", "20000101"},
      {"@D13", "12/99", " 1/00"},          {"@D14", "12/1999", " 1/2000"},
      {"@D15", "99/12", "00/01"},          {"@D16", "1999/12", "2000/01"},
      {"@D17", "12/31/99", "01/01/00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Show(c.picture, 31, 12, 1999), c.dec31_1999) << c.picture;
    EXPECT_EQ(Show(c.picture, 1, 1, 2000), c.jan1_2000) << c.picture;
  }
  EXPECT_EQ(Show("@D1", 30, 4, 2018), " 4/30/18");
  EXPECT_EQ(Show("@D1", 1, 5, 2018), " 5/01/18");
}

TEST_F(PictureDate, LeapDays) {
  EXPECT_EQ(Show("@D1", 29, 2, 2000), " 2/29/00");
  EXPECT_EQ(Show("@D6", 29, 2, 2000), "29/02/2000");
  EXPECT_EQ(Show("@D6", 1, 3, 2000), " 1/03/2000");
  EXPECT_EQ(Show("@D12", 29, 2, 2016), "20160229");
  EXPECT_EQ(Read("@D6", "29/02/2000"), DateFromParts(29, 2, 2000));
  EXPECT_EQ(Read("@D6", "29/02/1900"), -1);
  EXPECT_EQ(Read("@D6", "29/02/2019"), -1);
  EXPECT_EQ(Read("@D2", "2/30/2000"), -1);
  EXPECT_EQ(Read("@D2", "4/31/2000"), -1);
}

TEST_F(PictureDate, MonthNameLayoutsAreCompact) {
  EXPECT_EQ(Show("@D3", 5, 5, 1998), "May 5, 1998 ");
  EXPECT_EQ(Show("@D3", 25, 12, 1998), "Dec 25, 1998");
  EXPECT_EQ(Show("@D4", 30, 9, 1998), "September 30, 1998");
  EXPECT_EQ(Show("@D4", 5, 5, 1998), "May 5, 1998       ");
  EXPECT_EQ(Show("@D7", 5, 5, 1998), "5 May 98 ");
  EXPECT_EQ(Show("@D8", 31, 12, 1999), "31 Dec 1999");
  EXPECT_EQ(Show("@D8-", 5, 5, 1998), "5-May-1998 ");
  EXPECT_EQ(Show("@D08", 5, 5, 1998), "05 May 1998");
  EXPECT_EQ(Show("@D19", 1, 1, 2000), "1 January 2000   ");
  EXPECT_EQ(Show("@D20", 29, 2, 2000), "February 29 2000 ");
  EXPECT_EQ(Show("@D18", 5, 1, 1998), "January 05, 1998  ");
}

TEST_F(PictureDate, NoDateAndOutOfRangeShowBlanks) {
  CompiledPicture p = CompilePicture("@D2");
  EXPECT_EQ(Format(p, int64_t{0}), std::string(10, ' '));
  EXPECT_EQ(Format(p, int64_t{-5}), std::string(10, ' '));
  EXPECT_EQ(Format(p, int64_t{kMaxStdDate + 1}), std::string(10, ' '));
  EXPECT_EQ(Format(p, int64_t{kMinStdDate}), " 1/01/1801");
  EXPECT_EQ(Format(p, int64_t{kMaxStdDate}), "12/31/9999");
}

TEST_F(PictureDate, TwoDigitYearsFollowTheCenturyWindow) {
  EXPECT_EQ(Read("@D1", "1/05/37"), DateFromParts(5, 1, 2037));
  EXPECT_EQ(Read("@D1", "1/05/38"), DateFromParts(5, 1, 1938));
  EXPECT_EQ(Read("@D1", "1/05/00"), DateFromParts(5, 1, 2000));
  // ">" 10 reaches ten years ahead: 1929 .. 2028.
  EXPECT_EQ(Read("@D1>10", "1/05/28"), DateFromParts(5, 1, 2028));
  EXPECT_EQ(Read("@D1>10", "1/05/29"), DateFromParts(5, 1, 1929));
  // "<" 10 reaches ten years back: 2008 .. 2107.
  EXPECT_EQ(Read("@D1<10", "1/05/08"), DateFromParts(5, 1, 2008));
  EXPECT_EQ(Read("@D1<10", "1/05/07"), DateFromParts(5, 1, 2107));
  // A four-digit year is taken as it is.
  EXPECT_EQ(Read("@D1", "1/05/1937"), DateFromParts(5, 1, 1937));
}

TEST_F(PictureDate, DeformatIsGenerous) {
  const int32_t d = DateFromParts(5, 1, 1998);
  EXPECT_EQ(Read("@D2", " 1/05/1998"), d);
  EXPECT_EQ(Read("@D2", "1/5/1998"), d);
  EXPECT_EQ(Read("@D2", "01-05-1998"), d);
  EXPECT_EQ(Read("@D2", "  1.5.98  "), d);
  EXPECT_EQ(Read("@D2", "01051998"), d);
  EXPECT_EQ(Read("@D2", "010598"), d);
  EXPECT_EQ(Read("@D2", "Jan 5 1998"), d);
  EXPECT_EQ(Read("@D6", "5 january 1998"), d);
  EXPECT_EQ(Read("@D4", "January 5, 1998"), d);
  EXPECT_EQ(Read("@D4", "jan 05 1998"), d);
  EXPECT_EQ(Read("@D3", "1 5 1998"), d);
  EXPECT_EQ(Read("@D13", "1/98"), DateFromParts(1, 1, 1998));
  EXPECT_EQ(Read("@D2", ""), 0);
  EXPECT_EQ(Read("@D2", "    "), 0);
}

TEST_F(PictureDate, DeformatRejectsWhatIsNoDate) {
  EXPECT_EQ(Read("@D2", "13/05/1998"), -1);
  EXPECT_EQ(Read("@D2", "0/05/1998"), -1);
  EXPECT_EQ(Read("@D2", "1/05"), -1);
  EXPECT_EQ(Read("@D2", "1/05/1998/7"), -1);
  EXPECT_EQ(Read("@D2", "abc"), -1);
  EXPECT_EQ(Read("@D2", "Ja 5 1998"), -1);
  EXPECT_EQ(Read("@D2", "1/05/0098"), -1);
  EXPECT_EQ(Read("@D2", "1/05/1700"), -1);
  EXPECT_EQ(Read("@D2", "0105199"), -1);
  EXPECT_EQ(Read("@D2", "1/1/1/1/1/1/1/1/1/1/1"), -1);
}

TEST_F(PictureDate, EveryPictureReadsBackWhatItShows) {
  const int32_t from = DateFromParts(25, 12, 1995);
  const int32_t to = DateFromParts(10, 3, 2005);
  for (int n = 1; n <= 20; ++n) {
    CompiledPicture p = CompilePicture("@D" + std::to_string(n));
    ASSERT_TRUE(p.Valid()) << n;
    const bool whole_months = n >= 13 && n <= 16;
    for (int32_t d = from; d <= to; ++d) {
      if (whole_months && DayOf(d) != 1) continue;
      std::string shown = Format(p, int64_t{d});
      DeformatResult r = Deformat(p, shown);
      ASSERT_TRUE(r.ok) << n << " '" << shown << "'";
      ASSERT_EQ(r.number, d) << n << " '" << shown << "'";
    }
  }
}

TEST_F(PictureDate, ShortDateFromRegionalSettings) {
  IntlSettings s;
  s.short_date = "dd.MM.yyyy";
  ApplyIntlSettings(s);
  EXPECT_EQ(Show("@D17", 5, 1, 1998), "05.01.1998");
  s.short_date = "d/M/yy";
  ApplyIntlSettings(s);
  EXPECT_EQ(Show("@D17", 5, 1, 1998), " 5/ 1/98");
  EXPECT_EQ(Read("@D17", "5/1/98"), DateFromParts(5, 1, 1998));
  s.short_date = "yyyy-MM-dd";
  ApplyIntlSettings(s);
  EXPECT_EQ(Show("@D17", 5, 1, 1998), "1998-01-05");
  EXPECT_EQ(Show("@D17.", 5, 1, 1998), "1998.01.05");  // modifiers still apply
  s.short_date = "yyyyMMdd";  // no separator after the month: the default one
  ApplyIntlSettings(s);
  EXPECT_EQ(Show("@D17", 5, 1, 1998), "1998/01/05");
  s.short_date = "";
  ApplyIntlSettings(s);
  EXPECT_EQ(Show("@D17", 5, 1, 1998), " 1/ 5/98");
}

TEST_F(PictureDate, LongDateFromRegionalSettings) {
  IntlSettings s;
  s.long_date = "d MMMM yyyy";
  ApplyIntlSettings(s);
  EXPECT_EQ(Show("@D18", 5, 1, 1998), "5 January 1998   ");
  s.long_date = "dddd, d. MMM yyyy";  // the weekday is no day field
  ApplyIntlSettings(s);
  EXPECT_EQ(Show("@D18", 5, 1, 1998), "5 Jan 1998 ");
  s.long_date = "yyyy MMMM dd";
  ApplyIntlSettings(s);
  EXPECT_EQ(Show("@D18", 5, 1, 1998), "1998 January 05  ");
  s.long_date = "gg yyyy";  // another letter first: the default long date
  ApplyIntlSettings(s);
  EXPECT_EQ(Show("@D18", 5, 1, 1998), "January 05, 1998  ");
  EXPECT_EQ(Read("@D18", "January 05, 1998"), DateFromParts(5, 1, 1998));
}

TEST_F(PictureDate, RegionalSettingsFromTheIntlSectionOfTheProfile) {
  const std::string path = ::testing::TempDir() + "picture_intl_test.ini";
  const char* old = std::getenv("CINEVO_PROFILE");
  const std::string saved = old ? old : "";
  setenv("CINEVO_PROFILE", path.c_str(), 1);
  {
    std::ofstream f(path);
    f << "[other]\nsTime=-\n[Intl]\niTime=1\nstime=.x\nsShortDate=dd.MM.yyyy\n";
  }
  locale::LoadRegionalSettings();
  EXPECT_EQ(Show("@D17", 5, 1, 1998), "05.01.1998");
  EXPECT_EQ(Show("@D18", 5, 1, 1998), "January 05, 1998  ");  // missing key: the default
  EXPECT_EQ(Format(CompilePicture("@T8"), int64_t{TimeFromParts(19, 5, 7, 0)}), "19.05.07");
  std::remove(path.c_str());
  locale::LoadRegionalSettings();  // no file: every default again
  EXPECT_EQ(Show("@D17", 5, 1, 1998), "01/05/98");
  EXPECT_EQ(Format(CompilePicture("@T8"), int64_t{TimeFromParts(19, 5, 7, 0)}), "07:05:07 PM");
  if (old) {
    setenv("CINEVO_PROFILE", saved.c_str(), 1);
  } else {
    unsetenv("CINEVO_PROFILE");
  }
}

// Times.

std::string ShowTime(std::string_view picture, int h, int m, int s) {
  return Format(CompilePicture(picture), int64_t{TimeFromParts(h, m, s, 0) == 0 ? 1 : TimeFromParts(h, m, s, 0)});
}

int32_t ReadTime(std::string_view picture, std::string_view text) {
  DeformatResult r = Deformat(CompilePicture(picture), text);
  return r.ok ? static_cast<int32_t>(r.number) : -1;
}

TEST_F(PictureDate, TimeLayouts) {
  EXPECT_EQ(ShowTime("@T1", 9, 5, 7), " 9:05");
  EXPECT_EQ(ShowTime("@T01", 9, 5, 7), "09:05");
  EXPECT_EQ(ShowTime("@T1", 23, 59, 59), "23:59");
  EXPECT_EQ(ShowTime("@T1", 0, 0, 0), " 0:00");
  EXPECT_EQ(ShowTime("@T2", 9, 5, 7), " 905");
  EXPECT_EQ(ShowTime("@T3", 13, 45, 7), " 1:45PM");
  EXPECT_EQ(ShowTime("@T3", 0, 30, 0), "12:30AM");
  EXPECT_EQ(ShowTime("@T3", 12, 0, 0), "12:00PM");
  EXPECT_EQ(ShowTime("@T3", 11, 59, 0), "11:59AM");
  EXPECT_EQ(ShowTime("@T4", 13, 45, 7), "13:45:07");
  EXPECT_EQ(ShowTime("@T4.", 13, 45, 7), "13.45.07");
  EXPECT_EQ(ShowTime("@T5", 13, 45, 7), "134507");
  EXPECT_EQ(ShowTime("@T6", 13, 45, 7), " 1:45:07PM");
  EXPECT_EQ(ShowTime("@T06", 13, 45, 7), "01:45:07PM");
  EXPECT_EQ(ShowTime("@T7", 13, 45, 7), "01:45 PM");
  EXPECT_EQ(ShowTime("@T8", 9, 5, 7), "09:05:07 AM");
  CompiledPicture p = CompilePicture("@T4");
  EXPECT_EQ(Format(p, int64_t{0}), "        ");
  EXPECT_EQ(Format(p, int64_t{kMaxStdTime}), "23:59:59");
  EXPECT_EQ(Format(p, int64_t{kMaxStdTime + 1}), "        ");
}

TEST_F(PictureDate, TimeLayoutsFromRegionalSettings) {
  IntlSettings s;
  s.time_24h = 1;
  s.hour_leading_zero = 0;
  s.time_separator = ".";
  ApplyIntlSettings(s);
  EXPECT_EQ(ShowTime("@T7", 9, 5, 7), " 9.05");
  EXPECT_EQ(ShowTime("@T8", 19, 5, 7), "19.05.07");
  EXPECT_EQ(ShowTime("@T08", 9, 5, 7), "09.05.07");
  EXPECT_EQ(ShowTime("@T8-", 9, 5, 7), " 9-05-07");
  EXPECT_EQ(ReadTime("@T8", " 9.05.07"), TimeFromParts(9, 5, 7, 0));
  s.time_separator = "";
  ApplyIntlSettings(s);
  EXPECT_EQ(ShowTime("@T7", 9, 5, 7), " 9:05");
}

TEST_F(PictureDate, TimeDeformat) {
  EXPECT_EQ(ReadTime("@T1", " 9:05"), TimeFromParts(9, 5, 0, 0));
  EXPECT_EQ(ReadTime("@T1", "9.5"), TimeFromParts(9, 5, 0, 0));
  EXPECT_EQ(ReadTime("@T1", "0905"), TimeFromParts(9, 5, 0, 0));
  EXPECT_EQ(ReadTime("@T4", "134507"), TimeFromParts(13, 45, 7, 0));
  EXPECT_EQ(ReadTime("@T3", "1:45PM"), TimeFromParts(13, 45, 0, 0));
  EXPECT_EQ(ReadTime("@T3", "1:45 pm"), TimeFromParts(13, 45, 0, 0));
  EXPECT_EQ(ReadTime("@T3", "1:45 p"), TimeFromParts(13, 45, 0, 0));
  EXPECT_EQ(ReadTime("@T3", "12:30AM"), TimeFromParts(0, 30, 0, 0));
  EXPECT_EQ(ReadTime("@T3", "12:00 AM"), 1);  // midnight is a time, not "no time"
  EXPECT_EQ(ReadTime("@T1", "0:00"), 1);
  EXPECT_EQ(ReadTime("@T3", "13:00"), TimeFromParts(13, 0, 0, 0));
  EXPECT_EQ(ReadTime("@T1", ""), 0);
  EXPECT_EQ(ReadTime("@T3", "13:45PM"), -1);
  EXPECT_EQ(ReadTime("@T1", "24:00"), -1);
  EXPECT_EQ(ReadTime("@T1", "9:60"), -1);
  EXPECT_EQ(ReadTime("@T1", "9:05x"), -1);
  EXPECT_EQ(ReadTime("@T1", "1234567"), -1);
  EXPECT_EQ(ReadTime("@T1", "9:123"), -1);
}

TEST_F(PictureDate, EveryTimePictureReadsBackWhatItShows) {
  for (int n = 1; n <= 8; ++n) {
    CompiledPicture p = CompilePicture("@T" + std::to_string(n));
    const bool seconds = n == 4 || n == 5 || n == 6 || n == 8;
    for (int minute = 0; minute < 24 * 60; minute += 7) {
      int32_t t = TimeFromParts(minute / 60, minute % 60, seconds ? minute % 60 : 0, 0);
      if (t == 0) t = 1;
      std::string shown = Format(p, int64_t{t});
      DeformatResult r = Deformat(p, shown);
      ASSERT_TRUE(r.ok) << n << " '" << shown << "'";
      ASSERT_EQ(r.number, t) << n << " '" << shown << "'";
    }
  }
}

}  // namespace
}  // namespace cinevo
