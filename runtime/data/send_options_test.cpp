#include "runtime/data/send_options.h"

#include <gtest/gtest.h>

namespace cinevo {
namespace {

TEST(SendOptionsTest, KeywordWithAndWithoutValue) {
  auto tcf = MatchSendOption("TCF=c:\\data\\log.tcf", "TCF");
  ASSERT_TRUE(tcf);
  EXPECT_TRUE(tcf->has_value);
  EXPECT_EQ(tcf->value, "c:\\data\\log.tcf");

  auto query = MatchSendOption("  fullbuild  ", "FULLBUILD");
  ASSERT_TRUE(query);
  EXPECT_FALSE(query->has_value);

  auto set = MatchSendOption("FullBuild = on ", "FULLBUILD");
  ASSERT_TRUE(set);
  EXPECT_TRUE(set->has_value);
  EXPECT_EQ(set->value, "on");
  EXPECT_TRUE(SendValueIsOn(set->value));

  auto empty = MatchSendOption("FLAGS=", "FLAGS");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->has_value);
  EXPECT_EQ(empty->value, "");
}

TEST(SendOptionsTest, OtherKeywordsDoNotMatch) {
  EXPECT_FALSE(MatchSendOption("FLAGSX=1", "FLAGS"));
  EXPECT_FALSE(MatchSendOption("FLAG", "FLAGS"));
  EXPECT_FALSE(MatchSendOption("TCF", "FULLBUILD"));
  EXPECT_FALSE(MatchSendOption("FLAGS 3", "FLAGS"));  // a value needs "="
  EXPECT_FALSE(MatchSendOption("", "TCF"));
  EXPECT_FALSE(MatchSendOption("TCF=x", ""));
}

TEST(SendOptionsTest, OnOffAndNumbers) {
  EXPECT_FALSE(SendValueIsOn("OFF"));
  EXPECT_FALSE(SendValueIsOn("ONE"));
  EXPECT_FALSE(SendValueIsOn(""));
  EXPECT_EQ(SendOnOff(true), "ON");
  EXPECT_EQ(SendOnOff(false), "OFF");
  EXPECT_EQ(ParseSendNumber(" 42 "), 42);
  EXPECT_EQ(ParseSendNumber("-7"), -7);
  EXPECT_EQ(ParseSendNumber("+7"), 7);
  EXPECT_FALSE(ParseSendNumber("7x"));
  EXPECT_FALSE(ParseSendNumber(""));
  EXPECT_FALSE(ParseSendNumber("99999999999999999999999"));
}

}  // namespace
}  // namespace cinevo
