// The About window driven as a user drives it, offscreen: what it shows, the E-mail button
// handing its link to the desktop (silently when the desktop refuses), and closing.
#include "app/about_window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "classlib/runtime_window.h"
#include "platform/window/test_application.h"
#include "runtime/ui/desktop_link.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/events.h"
#include "runtime/ui/property.h"
#include "runtime/ui/testing/ui_driver.h"
#include "runtime/ui/window.h"

namespace cinevo::app {
namespace {

namespace ac = about_control;

class AboutWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartEventRuntime());
    previous_ = SetDesktopLinkOpener([this](const std::string& link) {
      links_.push_back(link);
      return accept_links_;
    });
    RegisterAboutWindow();
    ASSERT_EQ(manager_.Init(), classlib::level::kContinue);
    ui_ = std::make_unique<UiDriver>(Win());
    Step();
  }
  void TearDown() override {
    manager_.Kill();
    ui_.reset();
    if (Win().IsOpen()) Win().Close();
    SetDesktopLinkOpener(previous_);
  }
  Window& Win() { return static_cast<classlib::RuntimeWindow&>(manager_.window()).runtime(); }
  std::vector<SeenEvent> Step() {
    return ui_->Run([this] {
      if (!manager_.Dispatch()) Win().ExitLoop();
    });
  }

  AboutManager manager_;
  std::unique_ptr<UiDriver> ui_;
  std::vector<std::string> links_;
  bool accept_links_ = true;
  DesktopLinkOpener previous_;
};

TEST_F(AboutWindowTest, ShowsNameVersionAuthorAndDateInDefinitionOrder) {
  Window& w = Win();
  EXPECT_EQ(w.Caption(), "Info");
  EXPECT_EQ(w.Property(PROP::Text, ac::kTitle), "Cinevo +  v1.01");  // two blanks
  EXPECT_EQ(w.Property(PROP::Text, ac::kMail), "E-mail");
  EXPECT_EQ(w.Property(PROP::Text, ac::kAddress), kAuthorAddress);
  EXPECT_EQ(w.Property(PROP::Text, ac::kDate), "VIII.1998");
  EXPECT_FALSE(w.Property(PROP::Text, ac::kAuthor).empty());
  EXPECT_TRUE(w.IsOpen());
}

TEST_F(AboutWindowTest, EMailHandsTheMailtoLinkToTheDesktopAndStaysOpen) {
  ASSERT_TRUE(ui_->Click(ac::kMail));
  Step();
  EXPECT_EQ(links_, (std::vector<std::string>{std::string("mailto:") + kAuthorAddress}));
  EXPECT_TRUE(Win().IsOpen());
  EXPECT_TRUE(ui_->MessageBoxesShown().empty());
}

TEST_F(AboutWindowTest, ARefusedLinkIsSilentAndClosingEndsTheWindow) {
  accept_links_ = false;
  ASSERT_TRUE(ui_->Click(ac::kMail));
  Step();
  EXPECT_EQ(links_.size(), 1u);
  EXPECT_TRUE(ui_->MessageBoxesShown().empty());
  EXPECT_TRUE(Win().IsOpen());
  ASSERT_TRUE(ui_->CloseWindow());
  Step();
  EXPECT_FALSE(Win().IsOpen());
}

}  // namespace
}  // namespace cinevo::app
