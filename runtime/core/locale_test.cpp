#include "runtime/core/locale.h"

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "runtime/core/error.h"
#include "runtime/core/locale_tables.h"

namespace cinevo {
namespace {

namespace fs = std::filesystem;

class LocaleTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("cinevo_locale_" + std::to_string(::getpid()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    const char* p = std::getenv("CINEVO_PROFILE");
    had_profile_ = p != nullptr;
    if (p) saved_profile_ = p;
    setenv("CINEVO_PROFILE", (dir_ / "profile.ini").c_str(), 1);
    Locale().ResetToDefaults();
  }
  void TearDown() override {
    Locale().ResetToDefaults();
    std::setlocale(LC_ALL, "C");
    if (had_profile_) setenv("CINEVO_PROFILE", saved_profile_.c_str(), 1); else unsetenv("CINEVO_PROFILE");
    fs::remove_all(dir_);
  }
  void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  void WriteProfile(const std::string& text) { WriteFile(dir_ / "profile.ini", text); }

  LocaleTables& t = Locale();
  fs::path dir_;
  bool had_profile_ = false;
  std::string saved_profile_;
};

TEST_F(LocaleTest, MonthNamesChangeOnlyAsFarAsTheListGoes) {
  locale::Apply("VEXMONTH", "Sijecanj, Veljaca Ozujak");
  EXPECT_EQ(t.month_long[0], "Sijecanj");
  EXPECT_EQ(t.month_long[2], "Ozujak");
  EXPECT_EQ(t.month_long[3], "April");
  locale::Apply("vexmonth", "\"A very long month name\",,Never");
  EXPECT_EQ(t.month_long[0], "A very long ");  // cut to 12
  EXPECT_EQ(t.month_long[1], "Veljaca");       // the empty item ended the list
  EXPECT_EQ(t.month_long[2], "Ozujak");
  locale::Apply("VEXMON", "Sij Velj Ozu Tra Svi Lip Srp Kol Ruj Lis Stu Pro Extra");
  EXPECT_EQ(t.month_short[1], "Vel");
  EXPECT_EQ(t.month_short[11], "Pro");
}

TEST_F(LocaleTest, AmPmFromItemsOrFromTheProfile) {
  locale::Apply("VEXAMPM", "vorm,nachm");
  EXPECT_EQ(t.am, "vo");
  EXPECT_EQ(t.pm, "na");
  WriteProfile("[intl]\ns1159=a.m.\n");
  locale::Apply("VEXAMPM", " windows ");
  EXPECT_EQ(t.am, "a.");
  EXPECT_EQ(t.pm, "PM");  // missing key: the default
}

TEST_F(LocaleTest, FlagsMessagesAndButtons) {
  locale::Apply("VEXLFN", "ON");
  EXPECT_TRUE(t.long_file_names);
  locale::Apply("VexLfn", "yes");
  EXPECT_FALSE(t.long_file_names);
  locale::Apply("VEXBUTTON", "&Da,,&Ne \"&Odustani\"");
  EXPECT_EQ(t.messages[0x7F00], "&Da");
  EXPECT_EQ(t.messages.count(0x7F01), 0u);  // empty item skipped, but counted
  EXPECT_EQ(t.messages[0x7F02], "&Ne");
  EXPECT_EQ(t.messages[0x7F03], "&Odustani");
  locale::Apply("VEXMSG30", " Nema zapisa");
  EXPECT_EQ(t.messages[30], " Nema zapisa");
  size_t before = t.messages.size();
  locale::Apply("VEXMSG", "x");
  locale::Apply("VEXMSG3a", "x");
  locale::Apply("VEXMSG12345678901", "x");
  locale::Apply("VEXNOTHING", "x");
  EXPECT_EQ(t.messages.size(), before);
}

TEST_F(LocaleTest, CollatingSequenceFromAList) {
  locale::Apply("VEXCOLSEQ", "aAbB");
  EXPECT_EQ(t.collation['a'], 0);
  EXPECT_EQ(t.collation['A'], 1);
  EXPECT_EQ(t.collation['B'], 3);
  EXPECT_EQ(t.collation[0], 4);  // the characters not listed follow in code order
  EXPECT_EQ(t.collation[255], 255);
  bool used[256] = {};
  for (int c = 0; c < 256; ++c) {
    EXPECT_FALSE(used[t.collation[c]]) << c;  // still a permutation
    used[t.collation[c]] = true;
  }
  locale::Apply("VEXCOLSEQ", "");
  for (int c = 0; c < 256; ++c) ASSERT_EQ(t.collation[c], c);
}

// The weights must put the bytes 2..254 in the order of the C library's collation.
void ExpectCollationFollowsStrcoll(const LocaleTables& t, bool utf8) {
  for (int a = 2; a <= 254; ++a) {
    for (int b = a + 1; b <= 254; ++b) {
      auto text = [utf8](int c) {
        std::string s(1, static_cast<char>(c));
        return utf8 ? platform::AnsiToUtf8(s) : s;
      };
      int r = std::strcoll(text(a).c_str(), text(b).c_str());
      if (r < 0) {
        ASSERT_LT(t.collation[a], t.collation[b]) << a << " " << b;
      } else if (r > 0) {
        ASSERT_GT(t.collation[a], t.collation[b]) << a << " " << b;
      }
    }
  }
  EXPECT_EQ(t.collation[0], 0);
  EXPECT_EQ(t.collation[1], 1);
  EXPECT_EQ(t.collation[255], 255);
}

TEST_F(LocaleTest, WindowsCollatingSequenceFollowsTheCLibrary) {
  locale::Apply("VEXCOLSEQ", "WINDOWS");
  ExpectCollationFollowsStrcoll(t, false);  // the "C" locale: byte order
  EXPECT_EQ(t.collation['A'], 'A');
  if (!std::setlocale(LC_ALL, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
  locale::Apply("VEXCOLSEQ", "windows");
  ExpectCollationFollowsStrcoll(t, true);
  // In code-point order the euro sign (0x80, U+20AC) comes after y-diaeresis (0xFF is 255, fixed)
  // and after e-acute (0xE9).
  EXPECT_GT(t.collation[0x80], t.collation[0xE9]);
  // The OEM copy gives e-acute (CP850 0x82) the weight of its ANSI counterpart.
  EXPECT_EQ(t.other_collation[0x82], t.collation[0xE9]);
}

TEST_F(LocaleTest, CaseTableFromItemsOrFromTheCLibrary) {
  locale::Apply("VEXCASE", "\"\xC0\xC9Q\" \"\xE0\xE9q\"");
  EXPECT_EQ(ToLowerChar(0xC0), 0xE0);
  EXPECT_EQ(ToUpperChar(0xE9), 0xC9);
  EXPECT_TRUE(IsAlphaChar(0xC9));
  EXPECT_EQ(ToLowerChar('A'), 'a');  // ASCII stays the default
  locale::Apply("VEXCASE", "");
  EXPECT_EQ(ToLowerChar(0xC0), 0xC0);

  locale::Apply("VEXCASE", "WINDOWS");  // the "C" locale knows no letters above 127
  EXPECT_FALSE(IsUpperChar(0xC0));
  if (!std::setlocale(LC_ALL, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
  locale::Apply("VEXCASE", "WINDOWS");
  EXPECT_EQ(ToLowerChar(0xC0), 0xE0);  // A-grave
  EXPECT_EQ(ToLowerChar(0x8A), 0x9A);  // S-caron
  EXPECT_EQ(ToUpperChar(0xFF), 0x9F);  // y-diaeresis
  EXPECT_FALSE(IsUpperChar(0xD7));     // the multiplication sign is no letter
  EXPECT_FALSE(IsAlphaChar(0xDF));     // sharp s has no upper-case partner in the ANSI page
  EXPECT_EQ(ToUpperChar('z'), 'Z');
}

TEST_F(LocaleTest, DigraphsComeInGroupsOfThree) {
  locale::Apply("VEXDIGRAPH", "\xDFss \xC6" "AE\xE6" "aeX");
  EXPECT_EQ(t.digraphs[0].ch, '\xDF');
  EXPECT_EQ(std::string(t.digraphs[0].expands, 2), "ss");
  EXPECT_EQ(t.digraphs[2].ch, '\xE6');
  EXPECT_EQ(t.digraphs[3].ch, 0);  // the incomplete group was ignored; the table ends here
  EXPECT_EQ(static_cast<uint8_t>(t.digraphs_oem[0].ch), platform::AnsiToOemChar(0xDF));
  std::string many;
  for (int i = 0; i < 20; ++i) many += "xyz";
  locale::Apply("VEXDIGRAPH", many);
  EXPECT_EQ(t.digraphs[15].ch, 'x');
}

TEST_F(LocaleTest, OemCharacterSetConvertsValuesButNotTheCollatingList) {
  locale::Apply("VEXCHARSET", "OEM");
  ASSERT_TRUE(t.oem_charset);
  locale::Apply("VEXMONTH", "\x82t\x82");  // CP850 e-acute
  EXPECT_EQ(t.month_long[0], "\xE9t\xE9");
  locale::Apply("VEXCOLSEQ", "\x82" "a");
  EXPECT_EQ(t.other_collation[0x82], 0);  // the OEM copy from the list as written
  EXPECT_EQ(t.collation[0xE9], 0);        // the ANSI copy from the converted list
  EXPECT_EQ(t.collation['a'], 1);
  locale::Apply("VEXCHARSET", "ANSI");
  EXPECT_FALSE(t.oem_charset);
  locale::Apply("VEXMONTH", "\x82");
  EXPECT_EQ(t.month_long[0], "\x82");
}

TEST_F(LocaleTest, LoadReadsTheFileWithCaseInsensitivePathAndEscapes) {
  WriteFile(dir_ / "Filmo.env", "VEXMONTH=<65>pril\r\nVEXAMPM=x<<,y\r\nnonsense line\r\nVEXLFN=on\x1AVEXLFN=off\n");
  EXPECT_TRUE(locale::Load((dir_ / "FILMO.ENV").string()));
  EXPECT_EQ(t.month_long[0], "April");
  EXPECT_EQ(t.am, "x<");
  EXPECT_EQ(t.pm, "y");
  EXPECT_TRUE(t.long_file_names);
}

TEST_F(LocaleTest, MissingOrUnreadableFilePostsErrorTwoAndChangesNothing) {
  locale::Apply("VEXMONTH", "Jan");
  PostError(30);
  EXPECT_FALSE(locale::Load((dir_ / "none.env").string()));
  EXPECT_EQ(ErrorCode(), 2);
  PostError(30);
  EXPECT_FALSE(locale::Load(dir_.string()));  // a folder
  EXPECT_EQ(ErrorCode(), 2);
  PostError(30);
  EXPECT_FALSE(locale::Load("/dev/zero"));  // no regular file: never read
  EXPECT_EQ(ErrorCode(), 2);
  EXPECT_EQ(t.month_long[0], "Jan");
}

TEST_F(LocaleTest, LoadWindowsTakesThePlatformTablesWithoutAFile) {
  WriteProfile("[intl]\ns1159=dop\ns2359=pop\n");
  locale::Apply("VEXCOLSEQ", "zyx");
  EXPECT_TRUE(locale::Load("Windows"));
  EXPECT_EQ(t.am, "do");
  EXPECT_EQ(t.pm, "po");
  EXPECT_EQ(t.collation['z'], 'z');  // the "C" locale: byte order again
}

TEST_F(LocaleTest, StartupAppliesDefaultsRegionalSettingsThenTheFileBesideTheProgram) {
  WriteProfile("[intl]\niTime=1\nsTime=.x\ns1159=vorm\nsShortDate=dd.MM.yyyy\n");
  WriteFile(dir_ / "prog.env", "VEXAMPM=,PP\nVEXCOLSEQ=ba\n");
  t.month_long[0] = "changed";
  locale::Startup((dir_ / "prog.bin").string());
  EXPECT_EQ(t.month_long[0], "January");
  EXPECT_EQ(t.regional.time_24h, 1);
  EXPECT_EQ(t.regional.hour_leading_zero, 1);
  EXPECT_EQ(t.regional.time_separator, ".");
  EXPECT_EQ(t.regional.short_date, "dd.MM.yyyy");
  EXPECT_EQ(t.regional.am, "vo");
  EXPECT_EQ(t.am, "");    // the file's empty first item
  EXPECT_EQ(t.pm, "PP");
  EXPECT_EQ(t.collation['b'], 0);
  EXPECT_EQ(t.startup_collation['b'], 'b');  // the copy taken before the file

  PostError(0);
  locale::Startup((dir_ / "other").string());  // no OTHER.ENV: defaults plus settings, error 2
  EXPECT_EQ(ErrorCode(), 2);
  EXPECT_EQ(t.am, "vo");
  EXPECT_EQ(t.collation['b'], 'b');
}

}  // namespace
}  // namespace cinevo
