// The player's windows driven as a user drives them, offscreen, on the generated clips: the main
// window's every accepted control, drops, the play-list window, the player window and the details
// window. The media commands go to the real service through a link that also records them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/play_list_window.h"
#include "app/player_windows.h"
#include "classlib/runtime_window.h"
#include "platform/window/test_application.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/events.h"
#include "runtime/ui/property.h"
#include "runtime/ui/testing/ui_driver.h"
#include "runtime/ui/window.h"

namespace cinevo::app {
namespace {

namespace fs = std::filesystem;
namespace mc = main_control;
namespace pc = player_control;
using Texts = std::vector<std::string>;

// The real service, with every command recorded.
class RecordingSystemLink : public MediaLink {
 public:
  RecordingSystemLink() : real_(MakeSystemMediaLink()) {}
  int Send(std::string_view command, std::string& reply) override {
    sent.emplace_back(command);
    return real_->Send(command, reply);
  }
  int PlaySound(std::string_view path) override {
    sounds.emplace_back(path);
    return real_->PlaySound(path);
  }
  // The commands sent that begin with `verb`.
  Texts Sent(std::string_view verb) const {
    Texts out;
    for (const std::string& c : sent) {
      if (c.starts_with(verb)) out.push_back(c);
    }
    return out;
  }
  Texts sent, sounds;

 private:
  std::unique_ptr<MediaLink> real_;
};

class PlayerWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::path clips = CINEVO_TEST_MEDIA_DIR;
    if (!fs::exists(clips / "clip.avi")) GTEST_SKIP() << "no test clips in " << clips;
    ASSERT_TRUE(StartEventRuntime());
    dir_ = fs::temp_directory_path() / ("player_windows_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // Seven distinct clips (a device is named by its path), one sound, one file that is no movie.
    for (int i = 1; i <= 7; ++i) {
      fs::path to = dir_ / ("clip" + std::to_string(i) + (i % 3 == 0 ? ".mov" : i % 3 == 1 ? ".avi" : ".mpg"));
      fs::copy_file(clips / (i % 3 == 0 ? "clip.mov" : i % 3 == 1 ? "clip.avi" : "clip.mpg"), to);
      clips_.push_back(to.string());
    }
    fs::copy_file(clips / "short.wav", dir_ / "short.wav");
    std::FILE* f = std::fopen((dir_ / "notes.txt").c_str(), "w");
    std::fclose(f);
    RegisterPlayerWindows();
  }
  void TearDown() override {
    player_.CloseAll();
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  std::string Upper(const std::string& path) { return AsciiUpper(path); }

  fs::path dir_;
  Texts clips_;
  RecordingSystemLink link_;
  Player player_{link_};
};

// The main window run step by step: opened, its opening handled, and every later event handed
// to the manager.
class MainWindowTest : public PlayerWindowsTest {
 protected:
  void Open() {
    manager_ = std::make_unique<MainWindowManager>(globals_, player_, calls_);
    ASSERT_EQ(manager_->Init(), classlib::level::kContinue);
    ui_ = std::make_unique<UiDriver>(Runtime());
    Step();
  }
  Window& Runtime() { return static_cast<classlib::RuntimeWindow&>(manager_->window()).runtime(); }
  std::vector<SeenEvent> Step() {
    return ui_->Run([this] { manager_->TakeEvent(); });
  }
  void Accept(int control) {
    ASSERT_TRUE(control < mc::kToolbar ? ui_->ChooseMenu(control) : ui_->Click(control)) << control;
    Step();
  }
  void Drop(const Texts& paths) {
    ASSERT_TRUE(ui_->DropFiles(paths));
    Step();
  }
  Texts Entries() {
    Texts out;
    for (int32_t i = 1; i <= player_.play_list().Count(); ++i) out.push_back(player_.play_list().Get(i));
    return out;
  }
  void TearDown() override {
    if (manager_) {
      manager_->Kill();
      ui_.reset();
      manager_.reset();
    }
    PlayerWindowsTest::TearDown();
  }

  MainWindowContext globals_;
  int about_ = 0, favourites_ = 0, play_lists_ = 0;
  MainWindowCalls calls_{[this] { ++about_; }, [this] { ++favourites_; }, [this] { ++play_lists_; }};
  std::unique_ptr<MainWindowManager> manager_;
  std::unique_ptr<UiDriver> ui_;
};

TEST_F(MainWindowTest, OpensAsLaidOutAndKeepsItsHandleForTheMovies) {
  Open();
  Window& w = Runtime();
  EXPECT_EQ(w.Property(PROP::Text), "Cinevo +");
  EXPECT_EQ(w.ControlCount(), 22);
  struct Row {
    int control;
    const char* text;
    const char* tip;
  };
  for (Row r : std::vector<Row>{{mc::kFileMenu, "&File", "Menu File"},
                                {mc::kOpen, "Open", "Open and play movie"},
                                {mc::kClose, "Close", "Close all"},
                                {mc::kInfo, "Info", "Info"},
                                {mc::kEditPlayList, "Edit ", "Edit play list"},
                                {mc::kAlignmentII, "Alignment II", "Alignment II"},
                                {mc::kAddPlayList, "Add play list", "Add play list to favorites"},
                                {mc::kOpenButton, "Open", "Open (or drop) and play movie-s"},
                                {mc::kCloseAll, "Close all", "Close all"}}) {
    EXPECT_EQ(w.Property(PROP::Text, r.control), r.text) << r.control;
    EXPECT_EQ(w.Property(PROP::Tip, r.control), r.tip) << r.control;
  }
  EXPECT_EQ(player_.main_window_handle(), w.PropertyLong(PROP::Handle));
  EXPECT_NE(player_.main_window_handle(), 0);
}

TEST_F(MainWindowTest, DroppedFilesPlayInOrderSoundsAndOtherFilesAddNothing) {
  Open();
  Drop({clips_[0], clips_[1], clips_[2]});
  EXPECT_EQ(Entries(), (Texts{Upper(clips_[0]) + " , playing", Upper(clips_[1]) + " , playing",
                              Upper(clips_[2]) + " , playing"}));
  std::string parent = " parent " + std::to_string(player_.main_window_handle()) + " ";
  EXPECT_EQ(link_.Sent("open "), (Texts{"open " + Upper(clips_[0]) + parent,
                                        "open " + Upper(clips_[1]) + parent,
                                        "open " + Upper(clips_[2]) + parent}));
  Drop({(dir_ / "short.wav").string(), (dir_ / "notes.txt").string()});
  EXPECT_EQ(link_.sounds, Texts{Upper((dir_ / "short.wav").string())});
  EXPECT_EQ(player_.sound_result(), 0);
  EXPECT_EQ(player_.play_list().Count(), 3);
  EXPECT_EQ(link_.Sent("open ").size(), 3u);
}

TEST_F(MainWindowTest, OpenAsksForOneMovieAndPlaysIt) {
  Open();
  ui_->AnswerFileDialog(clips_[0]);
  Accept(mc::kOpen);
  ui_->CancelFileDialog();
  Accept(mc::kOpenButton);
  ASSERT_EQ(ui_->FileDialogsShown().size(), 2u);
  const FileDialogRequest& asked = ui_->FileDialogsShown()[0];
  EXPECT_EQ(asked.title, "Choose Movie");
  EXPECT_EQ(asked.filter, "Avi|*.AVI|Mpg|*.MPG|Mov|*.MOV|All|*.*");
  EXPECT_EQ(asked.flags, 2u);
  EXPECT_EQ(Entries(), Texts{Upper(clips_[0]) + " , playing"});
}

TEST_F(MainWindowTest, StopPlayContinueAndCloseAllFromMenuAndToolbar) {
  Open();
  Drop({clips_[0], clips_[1]});
  for (int control : {mc::kStop, mc::kStopAll}) {
    Accept(control);
    EXPECT_EQ(player_.status_text(), "0");
    EXPECT_EQ(Entries(), (Texts{Upper(clips_[0]) + " , stopped", Upper(clips_[1]) + " , stopped"}));
    Accept(control == mc::kStop ? mc::kPlay : mc::kPlayAll);
    EXPECT_EQ(Entries()[1], Upper(clips_[1]) + " , playing");
  }
  EXPECT_EQ(link_.Sent("stop all").size(), 2u);
  EXPECT_EQ(link_.Sent("play all from 0").size(), 2u);
  for (int control : {mc::kContinue, mc::kContinueAll}) {
    Accept(mc::kStopAll);
    Accept(control);
    EXPECT_EQ(Entries()[0], Upper(clips_[0]) + " , playing");
  }
  EXPECT_EQ(link_.Sent("play all").size(), 4u);  // two from 0, two continuing
  Accept(mc::kClose);
  EXPECT_TRUE(player_.play_list().Empty());
  Drop({clips_[2]});
  Accept(mc::kCloseAll);
  EXPECT_TRUE(player_.play_list().Empty());
  EXPECT_EQ(link_.Sent("close all").size(), 2u);
}

TEST_F(MainWindowTest, IncreaseAndDecreaseScaleEveryMovieWindow) {
  Open();
  Drop({clips_[0], clips_[1]});
  Accept(mc::kIncrease);
  EXPECT_EQ(link_.Sent("put " + Upper(clips_[0]) + " window at"),
            Texts{"put " + Upper(clips_[0]) + " window at 0 0 405 327"});
  std::string reply;
  link_.Send("where " + Upper(clips_[1]) + " destination", reply);
  EXPECT_EQ(reply, "0 0 401 305");  // the window less its frame and caption
  Accept(mc::kDecrease);
  link_.Send("where " + Upper(clips_[1]) + " destination", reply);
  EXPECT_EQ(reply, "0 0 299 223");  // (401 + 4) x 0.75 = 303 across, (305 + 22) x 0.75 = 245 down
}

TEST_F(MainWindowTest, AlignmentIPlacesSevenWindowsOf320TwoToARow) {
  Open();
  Drop(clips_);
  ASSERT_EQ(player_.play_list().Count(), 7);
  link_.sent.clear();
  Accept(mc::kAlignmentI);
  Texts puts = link_.Sent("put ");
  ASSERT_EQ(puts.size(), 7u);
  EXPECT_EQ(puts[0], "put " + Upper(clips_[0]) + " window at 0 0 0 0");
  EXPECT_EQ(puts[1], "put " + Upper(clips_[1]) + " window at 324 0 0 0");
  EXPECT_EQ(puts[2], "put " + Upper(clips_[2]) + " window at 0 260 0 0");
  EXPECT_EQ(puts[4], "put " + Upper(clips_[4]) + " window at 20 20 0 0");
  link_.sent.clear();
  Accept(mc::kAlignmentII);
  puts = link_.Sent("put ");
  ASSERT_EQ(puts.size(), 7u);
  EXPECT_EQ(puts[2], "put " + Upper(clips_[2]) + " window at 0 22 0 0");
}

TEST_F(MainWindowTest, InfoPlayListAndFavouritesRunTheirWindows) {
  Open();
  Accept(mc::kInfo);
  Accept(mc::kEditPlayList);
  Accept(mc::kEditFavorites);
  EXPECT_EQ(about_, 1);
  EXPECT_EQ(play_lists_, 1);
  EXPECT_EQ(favourites_, 1);
}

TEST_F(MainWindowTest, ClosingSendsCloseAllAndKeepsThePlayList) {
  Open();
  Drop({clips_[0]});
  link_.sent.clear();
  ASSERT_TRUE(ui_->CloseWindow());
  Step();
  EXPECT_EQ(link_.sent, Texts{"close all"});
  EXPECT_EQ(player_.play_list().Count(), 1);
}

}  // namespace
}  // namespace cinevo::app
