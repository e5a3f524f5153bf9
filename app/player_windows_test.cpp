// The player's windows driven as a user drives them, offscreen, on the generated clips: the main
// window's every accepted control, drops, the play-list window, the player window and the details
// window. The media commands go to the real service through a link that also records them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/play_list_window.h"
#include "app/player_windows.h"
#include "app/catalogue.h"
#include "runtime/ui/window_widgets.h"
#include "classlib/runtime_window.h"
#include "platform/window/test_application.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/events.h"
#include "runtime/ui/property.h"
#include "runtime/ui/testing/ui_driver.h"
#include "runtime/ui/window.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"
#include "tools/tvx/tvx_export.h"
#include "tools/tvx/tvx_test_support.h"

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
  Texts Entries() {
    Texts out;
    for (int32_t i = 1; i <= player_.play_list().Count(); ++i) out.push_back(player_.play_list().Get(i));
    return out;
  }

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
  void TearDown() override {
    if (manager_) {
      manager_->Kill();
      ui_.reset();
      manager_.reset();
    }
    PlayerWindowsTest::TearDown();
  }

  // Records what "Add play list" writes.
  struct RecordingWriter : FavouritesWriter {
    void OpenFiles() override { ++opens; }
    int AddGroup(std::string_view name) override {
      groups.emplace_back(name);
      return groups.size() > 1 && groups.back() == groups[groups.size() - 2] ? 40 : 0;
    }
    int AddMovie(std::string_view group, std::string_view path) override {
      movies.push_back(std::string(group) + "|" + std::string(path));
      return 0;
    }
    int opens = 0;
    Texts groups, movies;
  } writer_;
  MainWindowContext globals_ = WithWriter();
  MainWindowContext WithWriter() {
    MainWindowContext c;
    c.favourites_writer = [this]() -> FavouritesWriter* { return &writer_; };
    return c;
  }
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

TEST_F(MainWindowTest, AddPlayListStoresTheListAsOneGroupOnlyWhenThereIsOne) {
  Open();
  Accept(mc::kAddPlayList);
  EXPECT_EQ(writer_.opens, 0);  // an empty play list stores nothing
  EXPECT_TRUE(writer_.groups.empty());
  Drop({clips_[0], clips_[1]});
  Accept(mc::kAddPlayList);
  ASSERT_EQ(writer_.groups.size(), 1u);
  const std::string group = writer_.groups[0];
  EXPECT_NE(group.find(':'), std::string::npos) << group;  // the date, a blank, the time
  EXPECT_EQ(writer_.movies, (Texts{group + "|" + AsciiLower(Upper(clips_[0])),
                                   group + "|" + AsciiLower(Upper(clips_[1]))}));
}

// "Add play list" over real data files, read back as the data tool exports them. The group is
// named after the date and the time to the second; two stores within one second make one group,
// the second adding no movies to it. (Should the second turn between the two clicks, there are
// two groups, each with both movies.)
TEST_F(MainWindowTest, AddPlayListWritesTheGroupAndItsMoviesAsTheDataToolExportsThem) {
  isam::RegisterIsamDriver();
  FileDeclaration group_decl = GroupDeclaration(dir_.string());
  FileDeclaration movie_decl = MovieDeclaration(dir_.string());
  FileControlBlock groups(group_decl), movies(movie_decl);
  ASSERT_EQ(Create(groups), 0);
  ASSERT_EQ(Create(movies), 0);
  DirectFavouritesWriter direct(groups, movies);
  globals_.favourites_writer = [&direct]() -> FavouritesWriter* { return &direct; };
  Open();
  Drop({clips_[0], clips_[1]});
  Accept(mc::kAddPlayList);
  Accept(mc::kAddPlayList);
  Close(groups);
  Close(movies);

  auto csv_rows = [](const fs::path& file) {
    std::string out, err;
    EXPECT_EQ(tvx::Invoke(tvx::RunExport, {file.string(), "--csv"}, out, err), 0) << err;
    Texts rows;
    for (size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
      rows.push_back(out.substr(at, end - at));
    }
    return rows;
  };
  const Texts group_rows = csv_rows(dir_ / "GRUPA.TVX");
  const Texts movie_rows = csv_rows(dir_ / "PODGRU.TVX");
  ASSERT_GE(group_rows.size(), 2u);  // the header and a group
  ASSERT_LE(group_rows.size(), 3u);
  const size_t stored = group_rows.size() - 1;
  ASSERT_EQ(movie_rows.size(), 1 + 2 * stored) << "each group holds the two movies once";
  const std::string group = group_rows[1].substr(0, group_rows[1].find(','));
  EXPECT_NE(group.find(':'), std::string::npos) << group;  // the date, a blank, the time
  for (size_t m = 0; m < 2; ++m) {
    const std::string& row = movie_rows[1 + m];
    EXPECT_EQ(row.rfind(group + ",", 0), 0u) << row;
    EXPECT_NE(row.find(AsciiLower(Upper(clips_[m]))), std::string::npos) << row;
  }
}

TEST_F(MainWindowTest, FilesNamedAtStartPlayOnceTheWindowIsOpen) {
  manager_ = std::make_unique<MainWindowManager>(globals_, player_, calls_,
                                                 Texts{clips_[0], (dir_ / "notes.txt").string(), clips_[1]});
  ASSERT_EQ(manager_->Init(), classlib::level::kContinue);
  ui_ = std::make_unique<UiDriver>(Runtime());
  Step();
  EXPECT_EQ(Entries(), (Texts{Upper(clips_[0]) + " , playing", Upper(clips_[1]) + " , playing"}));
  EXPECT_EQ(link_.Sent("open ")[0],
            "open " + Upper(clips_[0]) + " parent " + std::to_string(player_.main_window_handle()) + " ");
}

TEST_F(MainWindowTest, PathsWithCommasAndDropsOfAnyLengthPlayWhole) {
  fs::path odd = dir_ / "a, b ,c.avi";
  fs::copy_file(clips_[0], odd);
  Open();
  Drop({odd.string(), clips_[1]});
  EXPECT_EQ(Entries(), (Texts{Upper(odd.string()) + " , playing", Upper(clips_[1]) + " , playing"}));
  // A drop far longer than the old drop buffer: every name reaches the player (the names are
  // not media files, so nothing plays).
  Texts many;
  for (int i = 0; i < 400; ++i) many.push_back((dir_ / ("not-a-movie-" + std::to_string(i) + ".txt")).string());
  many.push_back(clips_[2]);
  Drop(many);
  EXPECT_EQ(player_.play_list().Count(), 3);
  EXPECT_EQ(player_.play_list().PathAt(3), Upper(clips_[2]));
}

TEST_F(MainWindowTest, APathTooLongForThePlayListIsRefusedWithAMessage) {
  Open();
  fs::path deep = dir_;
  while (deep.string().size() < 260) deep /= "a-rather-long-folder-name";
  fs::create_directories(deep);
  fs::copy_file(clips_[0], deep / "clip.avi");
  Drop({(deep / "clip.avi").string(), clips_[1]});
  EXPECT_EQ(Entries(), Texts{Upper(clips_[1]) + " , playing"});
  ASSERT_EQ(ui_->MessageBoxesShown().size(), 1u);
  EXPECT_NE(ui_->MessageBoxesShown()[0].text.find((deep / "clip.avi").string()), std::string::npos);
}

TEST_F(MainWindowTest, DroppedPlayListsPlayTheirMoviesAndAnUnreadableOneIsNamed) {
  Open();
  fs::path m3u = dir_ / "evening.m3u", bad = dir_ / "broken.xspf";
  std::ofstream(m3u) << "#EXTM3U\n#EXTINF:1,Second\n" << clips_[1] << "\nfile://" << clips_[2] << "\n";
  std::ofstream(bad) << "<playlist><title>&boom;</title></playlist>";
  Drop({clips_[0], m3u.string(), bad.string()});
  EXPECT_EQ(Entries(), (Texts{Upper(clips_[0]) + " , playing", Upper(clips_[1]) + " , playing",
                              Upper(clips_[2]) + " , playing"}));
  ASSERT_EQ(ui_->MessageBoxesShown().size(), 1u);
  EXPECT_NE(ui_->MessageBoxesShown()[0].text.find(bad.string() + ": not a well-formed XSPF list"), std::string::npos)
      << ui_->MessageBoxesShown()[0].text;
}

// A player window run step by step, like the main window above.
template <class Manager>
class Stepped {
 public:
  template <class... Args>
  explicit Stepped(Args&&... args) : manager_(std::forward<Args>(args)...) {
    opened_ = manager_.Init() == classlib::level::kContinue;
    if (opened_) {
      ui_ = std::make_unique<UiDriver>(window());
      Step();
    }
  }
  ~Stepped() {
    manager_.Kill();
    ui_.reset();
    if (window().IsOpen()) window().Close();
  }
  bool opened() const { return opened_; }
  Window& window() { return static_cast<classlib::RuntimeWindow&>(manager_.window()).runtime(); }
  UiDriver& ui() { return *ui_; }
  std::vector<SeenEvent> Step() {
    return ui_->Run([this] {
      if (!manager_.Dispatch()) window().ExitLoop();
    });
  }

 private:
  Manager manager_;
  std::unique_ptr<UiDriver> ui_;
  bool opened_ = false;
};

TEST_F(PlayerWindowsTest, PlayListWindowRunsThePlayerOnARightClickOrADoubleClick) {
  player_.PlayNames({clips_[0], clips_[1]});
  std::vector<std::string> chosen;
  Stepped<PlayListManager> list(player_, [&] { chosen.push_back(player_.selected_movie()); });
  ASSERT_TRUE(list.opened());
  EXPECT_EQ(list.window().Caption(), "Play list");
  EXPECT_EQ(list.window().Property(PROP::Tip, kPlayListControl), "Right click for options");
  ASSERT_TRUE(list.ui().SelectRow(kPlayListControl, 2));
  list.Step();
  EXPECT_TRUE(chosen.empty());  // a left click only selects
  ASSERT_TRUE(list.ui().RightClickRow(kPlayListControl, 2));
  list.Step();
  ASSERT_TRUE(list.ui().DoubleClickRow(kPlayListControl, 1));
  list.Step();
  EXPECT_EQ(chosen, (Texts{Upper(clips_[1]) + " , playing", Upper(clips_[0]) + " , playing"}));
}

TEST_F(PlayerWindowsTest, PlayerWindowTipsNameTheMovieAndEveryButtonClosesIt) {
  player_.PlayNames({clips_[0], clips_[1]});
  player_.set_selected_movie(player_.play_list().Get(2));
  const std::string lower = AsciiLower(Upper(clips_[1]));
  {
    Stepped<PlayerManager> p(player_, [] {});
    ASSERT_TRUE(p.opened());
    EXPECT_EQ(p.window().Property(PROP::Tip, player_control::kStop), "Stop " + lower);
    EXPECT_EQ(p.window().Property(PROP::Tip, player_control::kContinue), "Continue " + lower);
    EXPECT_EQ(p.window().Property(PROP::Tip, player_control::kPlay), "Play " + lower);
    EXPECT_EQ(p.window().Property(PROP::Tip, player_control::kClose), "Close " + lower);
    EXPECT_EQ(p.window().Property(PROP::Tip, player_control::kDetails), "Details " + lower);
    ASSERT_TRUE(p.ui().Click(player_control::kStop));
    p.Step();
    EXPECT_FALSE(p.window().IsOpen());
  }
  EXPECT_EQ(player_.status_text(), "0");
  EXPECT_EQ(Entries(), (Texts{Upper(clips_[0]) + " , playing", Upper(clips_[1]) + " , stopped"}));
  struct Press {
    int button;
    std::string mode;
  };
  for (const Press& press : {Press{player_control::kPlay, "playing"}, Press{player_control::kRefresh, "playing"},
                             Press{player_control::kBack, "playing"}}) {
    Stepped<PlayerManager> p(player_, [] {});
    ASSERT_TRUE(p.ui().Click(press.button));
    p.Step();
    EXPECT_FALSE(p.window().IsOpen()) << press.button;
    EXPECT_EQ(player_.play_list().Get(2), Upper(clips_[1]) + " , " + press.mode) << press.button;
  }
  int details = 0;
  {
    Stepped<PlayerManager> p(player_, [&] { ++details; });
    ASSERT_TRUE(p.ui().Click(player_control::kDetails));
    p.Step();
    EXPECT_EQ(details, 1);
    EXPECT_TRUE(p.window().IsOpen());  // Details leaves it open
    ASSERT_TRUE(p.ui().Click(player_control::kClose));
    p.Step();
    EXPECT_FALSE(p.window().IsOpen());
  }
  EXPECT_EQ(Entries(), Texts{Upper(clips_[0]) + " , playing"});
  EXPECT_EQ(link_.Sent("close "), Texts{"close " + Upper(clips_[1])});
  EXPECT_TRUE(player_.selected_movie().empty());
  Stepped<PlayerManager> blank(player_, [] {});
  EXPECT_FALSE(blank.window().IsOpen());  // nothing selected: it closes at once
}

TEST_F(PlayerWindowsTest, DetailsWindowShowsWhatTheServiceReportsAndBlanksForAClosedMovie) {
  player_.PlayNames({clips_[0]});
  player_.set_selected_movie(player_.play_list().Get(1));
  namespace dc = details_control;
  {
    Stepped<DetailsManager> d(player_);
    ASSERT_TRUE(d.opened());
    Window& w = d.window();
    EXPECT_FALSE(w.Caption().empty());
    EXPECT_NE(w.Caption(), "...");
    EXPECT_EQ(w.Property(PROP::Text, dc::kDestination), "0 0 320 240");
    EXPECT_EQ(w.Property(PROP::Text, dc::kFrames), "75");
    EXPECT_EQ(w.Property(PROP::Text, dc::kMilliseconds), "3000");
    EXPECT_EQ(w.Property(PROP::Text, dc::kAudio), "true");
    EXPECT_FALSE(w.Property(PROP::Text, dc::kStatus).empty());
    EXPECT_EQ(w.Property(PROP::Text, dc::kVersion + -1), "Version:");
    EXPECT_EQ(w.Property(PROP::Text, dc::kMilliseconds + -1), "Milliseconds:");
    ASSERT_TRUE(d.ui().Click(dc::kBack));
    d.Step();
    EXPECT_FALSE(w.IsOpen());
  }
  player_.CloseAllDevices();
  Stepped<DetailsManager> d(player_);
  Window& w = d.window();
  EXPECT_EQ(w.Caption(), "");
  for (int field : {dc::kVersion, dc::kProduct, dc::kStatus, dc::kDestination, dc::kAudio, dc::kFrames,
                    dc::kMilliseconds}) {
    EXPECT_EQ(w.Property(PROP::Text, field), "") << field;
  }
}

}  // namespace
}  // namespace cinevo::app
