// The player's routines: the exact command texts they send, what they do with the answers, and
// the play list they leave behind. Most cases run against a recording link; the last ones run the
// real media service on the generated clips (no display: null video and audio outputs).
#include "app/player.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/ui/message_box.h"

namespace cinevo::app {
namespace {

using Texts = std::vector<std::string>;

// Records every command and answers from rules: the first rule whose text the command holds
// decides; otherwise "status ... mode" answers "playing", "where" answers "0 0 320 240" and
// anything else succeeds with no reply.
class RecordingLink : public MediaLink {
 public:
  struct Rule {
    std::string contains;
    int result;
    std::string reply;
  };

  int Send(std::string_view command, std::string& reply) override {
    sent.emplace_back(command);
    for (const Rule& rule : rules) {
      if (command.find(rule.contains) != std::string_view::npos) {
        reply = rule.reply;
        return rule.result;
      }
    }
    reply.clear();
    if (command.starts_with("status ") && command.ends_with(" mode")) reply = "playing";
    if (command.starts_with("where ")) reply = "0 0 320 240";
    return 0;
  }
  int PlaySound(std::string_view path) override {
    sounds.emplace_back(path);
    return 0;
  }
  void Prepare(const std::vector<std::string>& paths) override { prepared.push_back(paths); }

  std::vector<Rule> rules;
  Texts sent;
  Texts sounds;
  std::vector<Texts> prepared;  // each Prepare call's paths
};

class PlayerTest : public ::testing::Test {
 protected:
  PlayerTest() { player_.set_main_window_handle(7); }

  Texts Entries() {
    Texts out;
    for (int32_t i = 1; i <= player_.play_list().Count(); ++i) out.push_back(player_.play_list().Get(i));
    return out;
  }
  // Plays `paths` and forgets the commands that took.
  void Start(const Texts& paths) {
    for (const std::string& p : paths) ASSERT_EQ(player_.PlayMovieFile(p), PlayOutcome::kPlaying) << p;
    link_.sent.clear();
  }

  RecordingLink link_;
  Player player_{link_};
};

TEST_F(PlayerTest, PlayMovieFileOpensShowsPlaysAndAppends) {
  EXPECT_EQ(player_.PlayMovieFile("/home/ana/Films/clip.avi  "), PlayOutcome::kPlaying);
  EXPECT_EQ(link_.sent, (Texts{"open /HOME/ANA/FILMS/CLIP.AVI parent 7 ",
                               "put /HOME/ANA/FILMS/CLIP.AVI window",
                               "play /HOME/ANA/FILMS/CLIP.AVI",
                               "status /HOME/ANA/FILMS/CLIP.AVI mode"}));
  EXPECT_EQ(Entries(), Texts{"/HOME/ANA/FILMS/CLIP.AVI , playing"});
  // A negative handle is written as a signed number.
  player_.set_main_window_handle(-3);
  player_.PlayMovieFile("/b.mpg");
  EXPECT_EQ(link_.sent[4], "open /B.MPG parent -3 ");
}

TEST_F(PlayerTest, NamesAreSortedByTheirExtensionAnywhereInThePath) {
  EXPECT_EQ(player_.PlayMovieFile("/m/tone.wav"), PlayOutcome::kSound);
  EXPECT_EQ(link_.sounds, Texts{"/M/TONE.WAV"});
  EXPECT_EQ(player_.PlayMovieFile("/m/notes.txt"), PlayOutcome::kIgnored);
  EXPECT_EQ(player_.PlayMovieFile("/m/clip.mkv"), PlayOutcome::kIgnored);
  EXPECT_EQ(player_.PlayMovieFile(""), PlayOutcome::kIgnored);
  EXPECT_TRUE(link_.sent.empty());
  EXPECT_TRUE(player_.play_list().Empty());
  // ".AVI" in a folder name makes it a movie; ".WAV" anywhere makes it a sound.
  EXPECT_EQ(player_.PlayMovieFile("/m/old.avi/clip"), PlayOutcome::kPlaying);
  EXPECT_EQ(player_.PlayMovieFile("/m/x.wav.mov"), PlayOutcome::kSound);
  EXPECT_EQ(player_.PlayMovieFile("/m/c.Mov"), PlayOutcome::kPlaying);
  EXPECT_EQ(Entries(), (Texts{"/M/OLD.AVI/CLIP , playing", "/M/C.MOV , playing"}));
}

TEST_F(PlayerTest, TheFirstFailingCommandEndsTheStartAndNothingIsAppended) {
  for (const char* failing : {"open ", "put ", "play "}) {
    link_.rules = {{failing, 6, ""}};
    link_.sent.clear();
    EXPECT_EQ(player_.PlayMovieFile("/m/a.avi"), PlayOutcome::kFailed) << failing;
    EXPECT_TRUE(link_.sent.back().starts_with(failing)) << link_.sent.back();
    EXPECT_EQ(player_.last_result(), 6);
  }
  EXPECT_TRUE(player_.play_list().Empty());
  // The service refuses a second open of an open path: the list keeps one entry.
  link_.rules = {};
  player_.PlayMovieFile("/m/a.avi");
  link_.rules = {{"open ", 4, ""}};
  EXPECT_EQ(player_.PlayMovieFile("/M/A.AVI"), PlayOutcome::kFailed);
  EXPECT_EQ(player_.play_list().Count(), 1);
  // A failed mode query leaves the mode blank.
  link_.rules = {{" mode", 3, ""}};
  player_.PlayMovieFile("/m/b.avi");
  EXPECT_EQ(player_.play_list().Get(2), "/M/B.AVI ,");
}

TEST_F(PlayerTest, DroppedNamesPlayInOrderAndTooLongPathsAreRefusedInOneMessage) {
  ScriptedMessageBoxes boxes;
  player_.PlayDropped("/m/one.avi,/m/t,wo.mpg,/m/three.mov");
  EXPECT_EQ(Entries(), (Texts{"/M/ONE.AVI , playing", "/M/T,WO.MPG , playing",
                              "/M/THREE.MOV , playing"}));
  EXPECT_TRUE(boxes.Shown().empty());

  std::string longest = "/" + std::string(kMaxEntryPath - 5, 'd') + ".avi";  // just fits
  std::string too_long = "/" + std::string(kMaxEntryPath - 4, 'd') + ".avi";
  std::string also_long = "/" + std::string(400, 'e') + ".mpg";
  Texts refused = player_.PlayNames({too_long, longest, also_long});
  EXPECT_EQ(refused, (Texts{too_long, also_long}));
  ASSERT_EQ(player_.play_list().Count(), 4);
  EXPECT_EQ(player_.play_list().PathAt(4), AsciiUpper(longest));
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_NE(boxes.Shown()[0].text.find(too_long), std::string::npos);
  EXPECT_NE(boxes.Shown()[0].text.find(also_long), std::string::npos);
  for (const std::string& c : link_.sent) EXPECT_EQ(c.find("EEEE"), std::string::npos) << c;
}

TEST_F(PlayerTest, ADropNamesItsMoviesToTheServiceBeforeTheFirstOpen) {
  std::string too_long = "/" + std::string(kMaxEntryPath, 'd') + ".avi";
  ScriptedMessageBoxes boxes;
  player_.PlayNames({"/m/one.avi", "/m/song.wav", "/m/notes.txt", too_long, "/m/two.mpg "});
  // Only the names that will be opened, as they will be opened; the sound still plays.
  ASSERT_EQ(link_.prepared.size(), 1u);
  EXPECT_EQ(link_.prepared[0], (Texts{"/M/ONE.AVI", "/M/TWO.MPG"}));
  EXPECT_EQ(link_.sounds, Texts{"/M/SONG.WAV"});
  EXPECT_EQ(player_.play_list().Count(), 2);
  // A single movie has nothing to gain.
  player_.PlayNames({"/m/three.mov", "/m/song.wav"});
  EXPECT_EQ(link_.prepared.size(), 1u);
}

TEST_F(PlayerTest, CommandsForAllKeepTheirResultAndOnlyCloseAllEmptiesTheList) {
  Start({"/m/a.avi", "/m/b.mpg"});
  link_.rules = {{"stop all", 0, ""}, {" mode", 0, "stopped"}};
  player_.StopAll();
  EXPECT_EQ(link_.sent, (Texts{"stop all", "status /M/A.AVI mode", "status /M/B.MPG mode"}));
  EXPECT_EQ(Entries(), (Texts{"/M/A.AVI , stopped", "/M/B.MPG , stopped"}));
  EXPECT_EQ(player_.status_text(), "0");

  link_.rules = {{"play all from 0", 9, ""}};
  link_.sent.clear();
  player_.PlayAllFromStart();
  EXPECT_EQ(link_.sent.front(), "play all from 0");
  EXPECT_EQ(player_.status_text(), "9");
  EXPECT_EQ(Entries(), (Texts{"/M/A.AVI , playing", "/M/B.MPG , playing"}));

  link_.rules = {};
  link_.sent.clear();
  player_.ContinueAll();
  EXPECT_EQ(link_.sent.front(), "play all");
  EXPECT_EQ(player_.status_text(), "0");

  link_.sent.clear();
  player_.CloseAll();
  EXPECT_EQ(link_.sent, Texts{"close all"});
  EXPECT_TRUE(player_.play_list().Empty());

  Start({"/m/c.mov"});
  player_.CloseAllDevices();  // the main window closing: the list stays
  EXPECT_EQ(link_.sent, Texts{"close all"});
  EXPECT_EQ(player_.play_list().Count(), 1);
}

TEST_F(PlayerTest, RefreshRewritesEveryEntryFromItsPath) {
  Start({"/m/a , b.avi", "/m/c.mov"});
  link_.rules = {{"/M/C.MOV mode", 3, ""}};  // a device that is gone
  player_.RefreshPlayList();
  EXPECT_EQ(link_.sent, (Texts{"status /M/A , B.AVI mode", "status /M/C.MOV mode"}));
  EXPECT_EQ(Entries(), (Texts{"/M/A , B.AVI , playing", "/M/C.MOV ,"}));
  link_.rules = {};
  link_.sent.clear();
  player_.RefreshPlayList();  // a blank mode does not lose the path
  EXPECT_EQ(link_.sent[1], "status /M/C.MOV mode");
  EXPECT_EQ(Entries()[1], "/M/C.MOV , playing");
}

TEST_F(PlayerTest, ResizeScalesEveryReadableWindowToTheCorner) {
  Start({"/m/a.avi", "/m/b.mpg", "/m/c.mov"});
  link_.rules = {{"where /M/B.MPG", 10, ""}, {"where /M/C.MOV", 0, "0 0 100 50"}};
  player_.ResizeAll(kIncreaseHundredths);
  EXPECT_EQ(link_.sent, (Texts{"where /M/A.AVI destination", "put /M/A.AVI window at 0 0 405 327",
                               "where /M/B.MPG destination",  // no size: skipped
                               "where /M/C.MOV destination", "put /M/C.MOV window at 0 0 130 90",
                               "status /M/A.AVI mode", "status /M/B.MPG mode",
                               "status /M/C.MOV mode"}));
  link_.sent.clear();
  link_.rules = {};
  player_.ResizeAll(kDecreaseHundredths);
  EXPECT_EQ(link_.sent[1], "put /M/A.AVI window at 0 0 243 196");
}

TEST_F(PlayerTest, ArrangingSevenWindowsOf320) {
  Texts paths;
  for (int i = 1; i <= 7; ++i) paths.push_back("/m/" + std::to_string(i) + ".avi");
  Start(paths);
  player_.Arrange(Alignment::kTiled);
  Texts puts;
  for (const std::string& c : link_.sent) {
    if (c.starts_with("put ")) puts.push_back(c);
  }
  EXPECT_EQ(puts, (Texts{"put /M/1.AVI window at 0 0 0 0", "put /M/2.AVI window at 324 0 0 0",
                         "put /M/3.AVI window at 0 260 0 0", "put /M/4.AVI window at 324 260 0 0",
                         "put /M/5.AVI window at 20 20 0 0", "put /M/6.AVI window at 344 20 0 0",
                         "put /M/7.AVI window at 20 280 0 0"}));
  // A movie whose size cannot be read is skipped and takes no place.
  link_.rules = {{"where /M/1.AVI", 3, ""}};
  link_.sent.clear();
  player_.Arrange(Alignment::kCascadedRows);
  EXPECT_EQ(link_.sent[1], "where /M/2.AVI destination");
  EXPECT_EQ(link_.sent[2], "put /M/2.AVI window at 0 0 0 0");
  EXPECT_EQ(link_.sent[4], "put /M/3.AVI window at 324 0 0 0");
  EXPECT_EQ(link_.sent[6], "put /M/4.AVI window at 0 22 0 0");
}

TEST_F(PlayerTest, PlayerWindowCommandsActOnTheSelectedEntry) {
  Start({"/m/a.avi", "/m/b,c.mpg"});
  std::string selected = "/M/B,C.MPG , playing";
  player_.StopMovie(selected);
  player_.ContinueMovie(selected);
  player_.PlayMovieFromStart(selected);
  Texts commands;
  for (const std::string& c : link_.sent) {
    if (!c.starts_with("status ")) commands.push_back(c);
  }
  EXPECT_EQ(commands, (Texts{"stop /M/B,C.MPG", "play /M/B,C.MPG", "play /M/B,C.MPG from 0"}));
  EXPECT_EQ(link_.sent.size(), 9u);  // each followed by a refresh of both entries
  // A blank selection sends nothing.
  link_.sent.clear();
  player_.StopMovie("");
  player_.CloseMovie("   ");
  EXPECT_TRUE(link_.sent.empty());
}

TEST_F(PlayerTest, CloseRemovesExactlyTheFirstEntryOfThatPath) {
  Start({"/m/a.avi.avi", "/x/m/a.avi", "/m/a.avi", "/m/b.avi"});
  link_.rules = {{"open ", 4, ""}};
  player_.PlayMovieFile("/m/a.avi");  // refused: still one entry for it
  player_.play_list().Append("/M/A.AVI , playing");  // as if it had been opened twice
  link_.rules = {};
  link_.sent.clear();
  player_.set_selected_movie("/M/A.AVI , playing");
  player_.CloseMovie(player_.selected_movie());
  EXPECT_EQ(link_.sent.front(), "close /M/A.AVI");
  EXPECT_EQ(player_.status_text(), "0");
  EXPECT_EQ(Entries(), (Texts{"/M/A.AVI.AVI , playing", "/X/M/A.AVI , playing",
                              "/M/B.AVI , playing", "/M/A.AVI , playing"}));
  EXPECT_EQ(player_.selected_movie(), "");
}

TEST_F(PlayerTest, DetailsAskTenQuestionsInOrder) {
  link_.rules = {{"window text", 0, "Clip.avi"},
                 {"version", 0, "Cinevo + media 0.1"},
                 {"product", 0, "a product name longer than twenty"},
                 {"destination", 0, "0 0 320 240"},
                 {"has audio", 0, "true"},
                 {"length", 0, "3000"}};
  MovieDetails d = player_.ReadDetails("/M/CLIP.AVI , playing");
  EXPECT_EQ(link_.sent, (Texts{"info /M/CLIP.AVI window text", "info /M/CLIP.AVI version",
                               "info /M/CLIP.AVI product", "status /M/CLIP.AVI mode",
                               "where /M/CLIP.AVI destination", "capability /M/CLIP.AVI has audio",
                               "set /M/CLIP.AVI time format milliseconds",
                               "status /M/CLIP.AVI length",
                               "set /M/CLIP.AVI time format frames",
                               "status /M/CLIP.AVI length"}));
  EXPECT_EQ(d.caption, "Clip.avi");
  EXPECT_EQ(d.version, "Cinevo + media 0.1");
  EXPECT_EQ(d.product, "a product name longe");  // cut to the field's 20 characters
  EXPECT_EQ(d.status, "playing");
  EXPECT_EQ(d.destination, "0 0 320 240");
  EXPECT_EQ(d.audio, "true");
  EXPECT_EQ(d.milliseconds, "3000");
  EXPECT_EQ(d.frames, "3000");
}

TEST_F(PlayerTest, DetailsOfAClosedDeviceAreBlank) {
  link_.rules = {{"/M/GONE.AVI", 3, ""}};
  MovieDetails d = player_.ReadDetails("/M/GONE.AVI , playing");
  EXPECT_EQ(link_.sent.size(), 10u);
  EXPECT_EQ(d.caption, "");
  for (const std::string* field : {&d.version, &d.product, &d.status, &d.destination, &d.audio,
                                   &d.frames, &d.milliseconds}) {
    EXPECT_EQ(*field, "");
  }
  link_.sent.clear();
  d = player_.ReadDetails("");
  EXPECT_TRUE(link_.sent.empty());
}

// The real media service, without a display.
class PlayerMediaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clips_ = CINEVO_TEST_MEDIA_DIR;
    if (!std::filesystem::exists(clips_ / "clip.avi")) GTEST_SKIP() << "no test clips in " << clips_;
    link_ = MakeSystemMediaLink();
    player_ = std::make_unique<Player>(*link_);
  }
  void TearDown() override {
    if (player_) player_->CloseAll();
  }

  std::filesystem::path clips_;
  std::unique_ptr<MediaLink> link_;
  std::unique_ptr<Player> player_;
};

TEST_F(PlayerMediaTest, PlaysTheClipsUnderTheirUpperCasePaths) {
  for (const char* name : {"clip.avi", "clip.mpg", "clip.mov"}) {
    EXPECT_EQ(player_->PlayMovieFile((clips_ / name).string()), PlayOutcome::kPlaying) << name;
  }
  ASSERT_EQ(player_->play_list().Count(), 3);
  std::string first = AsciiUpper((clips_ / "clip.avi").string());
  EXPECT_EQ(player_->play_list().Get(1), first + " , playing");
  EXPECT_EQ(player_->PlayMovieFile((clips_ / "missing.avi").string()), PlayOutcome::kFailed);
  EXPECT_EQ(player_->PlayMovieFile((clips_ / "short.wav").string()), PlayOutcome::kSound);
  EXPECT_EQ(player_->sound_result(), 0);
  EXPECT_EQ(player_->play_list().Count(), 3);

  player_->StopAll();
  EXPECT_EQ(player_->status_text(), "0");
  EXPECT_EQ(player_->play_list().Get(1), first + " , stopped");

  MovieDetails d = player_->ReadDetails(player_->play_list().Get(1));
  EXPECT_EQ(d.status, "stopped");
  EXPECT_EQ(d.destination, "0 0 320 240");
  EXPECT_EQ(d.audio, "true");
  EXPECT_EQ(d.frames, "75");  // 3 seconds at 25 frames a second
  EXPECT_EQ(d.milliseconds, "3000");

  player_->CloseMovie(player_->play_list().Get(1));
  EXPECT_EQ(player_->play_list().Count(), 2);
  d = player_->ReadDetails(first + " , stopped");  // its device is closed now
  EXPECT_EQ(d.caption, "");
  EXPECT_EQ(d.status, "");
  EXPECT_EQ(d.frames, "");
}

}  // namespace
}  // namespace cinevo::app
