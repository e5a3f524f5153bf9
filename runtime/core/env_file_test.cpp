#include "runtime/core/env_file.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace cinevo {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries Parse(std::string_view text) {
  Entries out;
  for (auto& e : ParseEnvFile(text)) out.emplace_back(e.key, e.value);
  return out;
}

using Items = std::vector<std::string>;

TEST(EnvFileTest, KeysDropSpacesAndValuesLoseTrailingBlanks) {
  EXPECT_EQ(Parse("VEX LFN = on \t\r\nVEXAMPM=a,p\n"),
            (Entries{{"VEXLFN", " on"}, {"VEXAMPM", "a,p"}}));
  EXPECT_EQ(Parse("K=a=b"), (Entries{{"K", "a=b"}}));  // the first "=" ends the key
  EXPECT_EQ(Parse("K="), (Entries{{"K", ""}}));
  EXPECT_EQ(Parse("K=last line without end"), (Entries{{"K", "last line without end"}}));
}

TEST(EnvFileTest, MalformedLinesAreSkipped) {
  EXPECT_EQ(Parse("no equals sign\n=no key\n   =still no key\nOK=1\n"), (Entries{{"OK", "1"}}));
  std::string key31(31, 'K'), key32(32, 'K');
  EXPECT_EQ(Parse(key31 + "=a\n" + key32 + "=b\n"), (Entries{{key31, "a"}}));
  // A control byte ends the key; the rest up to "=" does not count.
  EXPECT_EQ(Parse("VEXLFN\tjunk=on\n"), (Entries{{"VEXLFN", "on"}}));
  EXPECT_EQ(Parse("\tX=1\n"), Entries{});  // the key ended before it began
  EXPECT_EQ(Parse(std::string("A\0B=1\n", 6)), (Entries{{"A", "1"}}));
}

TEST(EnvFileTest, EscapesStandForBytes) {
  EXPECT_EQ(Parse("K=<65>")[0].second, "A");
  EXPECT_EQ(Parse("K=x<<y")[0].second, "x<y");
  EXPECT_EQ(Parse("K=<65x<66")[0].second, "AB");  // any byte terminates; the end of line too
  EXPECT_EQ(Parse("K=<a <>")[0].second, "<a <>");
  EXPECT_EQ(Parse("K=<256>")[0].second, "<256>");  // no such byte: kept as written
  EXPECT_EQ(Parse("K=<99999999999999999999>")[0].second, "<99999999999999999999>");
  EXPECT_EQ(Parse("K=<0>")[0].second, std::string(1, '\0'));
  EXPECT_EQ(Parse("K=a<32>  ")[0].second, "a ");  // an escaped trailing space stays
  EXPECT_EQ(Parse("K=<")[0].second, "<");
}

TEST(EnvFileTest, CtrlZEndsTheFileAndLongValuesAreCut) {
  EXPECT_EQ(Parse("A=1\nB=2\x1A\nC=3\n"), (Entries{{"A", "1"}, {"B", "2"}}));
  EXPECT_EQ(Parse("A=1\x1Axyz"), (Entries{{"A", "1"}}));
  std::string long_value(5000, 'v');
  auto e = Parse("K=" + long_value + "\nN=1\n");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].second.size(), kEnvValueMax);
  EXPECT_EQ(e[1], (std::pair<std::string, std::string>{"N", "1"}));
}

TEST(EnvFileTest, ItemsSplitAtSpacesAndCommasWithQuotes) {
  EXPECT_EQ(SplitEnvItems("a b,c , d"), (Items{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitEnvItems("  "), Items{});
  EXPECT_EQ(SplitEnvItems("\"a b\",\"say \"\"hi\"\"\""), (Items{"a b", "say \"hi\""}));
  EXPECT_EQ(SplitEnvItems("a,,b"), (Items{"a", "", "b"}));
  EXPECT_EQ(SplitEnvItems(",a"), (Items{"", "a"}));
  EXPECT_EQ(SplitEnvItems("a,"), (Items{"a"}));
  EXPECT_EQ(SplitEnvItems("a \"\" b"), (Items{"a", "", "b"}));
  EXPECT_EQ(SplitEnvItems("\"open ended"), (Items{"open ended"}));
  EXPECT_EQ(SplitEnvItems("x\"y z\"w"), (Items{"xy zw"}));
}

TEST(EnvFileTest, FileNameReplacesTheExtensionAndUpperCases) {
  EXPECT_EQ(EnvironmentFileName("/opt/cinevo/bin/cinevo"), "/OPT/CINEVO/BIN/CINEVO.ENV");
  EXPECT_EQ(EnvironmentFileName("/opt/app.d/filmo.exe"), "/OPT/APP.D/FILMO.ENV");
  EXPECT_EQ(EnvironmentFileName("/opt/app.d/filmo"), "/OPT/APP.D/FILMO.ENV");
  EXPECT_EQ(EnvironmentFileName("c:\\prog\\film.o.exe"), "C:\\PROG\\FILM.O.ENV");
}

}  // namespace
}  // namespace cinevo
