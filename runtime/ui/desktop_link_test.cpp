#include "runtime/ui/desktop_link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cinevo {
namespace {

TEST(DesktopLinkTest, AReplacedOpenerGetsTheLinkAndItsAnswerComesBack) {
  std::vector<std::string> opened;
  DesktopLinkOpener previous = SetDesktopLinkOpener([&](const std::string& link) {
    opened.push_back(link);
    return link.rfind("mailto:", 0) == 0;
  });
  EXPECT_TRUE(OpenDesktopLink("mailto:someone@example.org"));
  EXPECT_FALSE(OpenDesktopLink("gopher://old"));
  EXPECT_FALSE(OpenDesktopLink(""));  // nothing to open: the opener is not asked
  EXPECT_EQ(opened, (std::vector<std::string>{"mailto:someone@example.org", "gopher://old"}));
  SetDesktopLinkOpener(previous);
}

TEST(DesktopLinkTest, WithoutAGuiApplicationNothingIsOpened) {
  // This test program makes no application object: the desktop is never asked.
  EXPECT_FALSE(OpenDesktopLink("mailto:someone@example.org"));
}

}  // namespace
}  // namespace cinevo
