// Command semantics on real clips, without a display: null video and audio outputs, but real
// decoding, lengths, modes and ends of files.
#include "platform/media/media_service.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/media_command/media_result.h"

namespace cinevo::platform {
namespace {

namespace fs = std::filesystem;

class MediaServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    media_ = CINEVO_TEST_MEDIA_DIR;
    if (!fs::exists(media_ / "clip.avi")) GTEST_SKIP() << "test clips missing in " << media_;
    tmp_ = fs::temp_directory_path() / ("media_service_test_" + std::to_string(getpid()));
    fs::create_directories(tmp_);
  }
  void TearDown() override {
    service_.CloseAll();
    if (!tmp_.empty()) fs::remove_all(tmp_);
  }

  std::string Clip(const char* name) const { return (media_ / name).string(); }

  int Send(const std::string& command) {
    std::string ignored;
    return service_.Send(command, ignored);
  }
  // Sends a query that must succeed and returns its reply.
  std::string Ask(const std::string& command) {
    std::string reply;
    EXPECT_EQ(service_.Send(command, reply), kMediaOk) << command;
    return reply;
  }
  // Polls the mode until it is `mode` (the engine works asynchronously).
  bool WaitForMode(const std::string& device, const std::string& mode, int ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < deadline) {
      std::string reply;
      if (service_.Send("status " + device + " mode", reply) == kMediaOk && reply == mode) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  static std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
  }

  MediaService service_;
  fs::path media_;
  fs::path tmp_;
};

TEST_F(MediaServiceTest, OpenPutPlayStatusStopClose) {
  std::string avi = Clip("clip.avi");
  ASSERT_EQ(Send("open " + avi + " parent 0 "), kMediaOk);
  EXPECT_EQ(Ask("status " + avi + " mode"), "stopped");
  EXPECT_EQ(Send("put " + avi + " window"), kMediaOk);
  EXPECT_EQ(Send("play " + avi), kMediaOk);
  EXPECT_EQ(Ask("status " + avi + " mode"), "playing");
  EXPECT_EQ(Send("pause " + avi), kMediaOk);
  EXPECT_EQ(Ask("status " + avi + " mode"), "paused");
  EXPECT_EQ(Send("resume " + avi), kMediaOk);
  EXPECT_EQ(Ask("status " + avi + " mode"), "playing");
  EXPECT_EQ(Send("stop " + avi), kMediaOk);
  EXPECT_EQ(Ask("status " + avi + " mode"), "stopped");
  EXPECT_EQ(Send("close " + avi), kMediaOk);
  EXPECT_EQ(service_.device_count(), 0u);
  EXPECT_EQ(Send("status " + avi + " mode"), kMediaUnknownDevice);
  EXPECT_EQ(Send("close " + avi), kMediaUnknownDevice);
}

TEST_F(MediaServiceTest, LengthInMillisecondsAndFramesForEveryClip) {
  for (const char* name : {"clip.avi", "clip.mpg", "clip.mov"}) {
    SCOPED_TRACE(name);
    std::string clip = Clip(name);
    ASSERT_EQ(Send("open " + clip), kMediaOk);
    EXPECT_EQ(Ask("status " + clip + " time format"), "milliseconds");
    EXPECT_EQ(Ask("status " + clip + " length"), "3000");
    EXPECT_EQ(Send("set " + clip + " time format frames"), kMediaOk);
    EXPECT_EQ(Ask("status " + clip + " length"), "75");
    EXPECT_EQ(Ask("status " + clip + " position"), "0");
    EXPECT_EQ(Send("set " + clip + " time format milliseconds"), kMediaOk);
    EXPECT_EQ(Ask("status " + clip + " length"), "3000");
  }
}

TEST_F(MediaServiceTest, WhereFollowsPutWindowAt) {
  std::string mov = Clip("clip.mov");
  ASSERT_EQ(Send("open " + mov + " parent 0"), kMediaOk);
  EXPECT_EQ(Ask("where " + mov + " destination"), "0 0 320 240");  // the native size
  EXPECT_EQ(Send("put " + mov + " window at 0 0 400 300"), kMediaOk);
  // The window's frame and caption are part of the placed rectangle, not of the destination.
  EXPECT_EQ(Ask("where " + mov + " destination"), "0 0 396 278");
  EXPECT_EQ(Send("put " + mov + " window at 50 60 0 0"), kMediaOk);  // move, keep the size
  EXPECT_EQ(Ask("where " + mov + " destination"), "0 0 396 278");
  EXPECT_EQ(Send("put " + mov + " window at 0 0 -5 10"), kMediaBadParameter);
  EXPECT_EQ(Send("put " + mov + " window at 0 0 99999 10"), kMediaBadParameter);
  EXPECT_EQ(Send("put " + mov + " window at -2147483648 0 10 10"), kMediaBadParameter);
  EXPECT_EQ(Ask("where " + mov + " destination"), "0 0 396 278");
}

TEST_F(MediaServiceTest, InfoAndCapabilities) {
  std::string avi = Clip("clip.avi"), mpg = Clip("clip.mpg");
  ASSERT_EQ(Send("open " + avi), kMediaOk);
  ASSERT_EQ(Send("open " + mpg), kMediaOk);
  EXPECT_EQ(Ask("capability " + avi + " has audio"), "true");
  EXPECT_EQ(Ask("capability " + mpg + " has audio"), "false");
  EXPECT_EQ(Ask("capability " + mpg + " has video"), "true");
  EXPECT_EQ(Ask("info " + avi + " window text"), "clip.avi");
  EXPECT_EQ(Ask("info " + avi + " product"), "Cinevo + Media");
  std::string version = Ask("info " + avi + " version");
  EXPECT_NE(version.find("libmpv"), std::string::npos) << version;
  EXPECT_LE(version.size(), 20u);  // fits the details window's field
}

TEST_F(MediaServiceTest, AllAddressesEveryDevice) {
  std::string avi = Clip("clip.avi"), mpg = Clip("clip.mpg");
  EXPECT_EQ(Send("close all"), kMediaOk);  // nothing open is fine
  ASSERT_EQ(Send("open " + avi), kMediaOk);
  ASSERT_EQ(Send("open " + mpg), kMediaOk);
  EXPECT_EQ(Send("play all"), kMediaOk);
  EXPECT_EQ(Ask("status " + avi + " mode"), "playing");
  EXPECT_EQ(Ask("status " + mpg + " mode"), "playing");
  EXPECT_EQ(Send("stop ALL"), kMediaOk);
  EXPECT_EQ(Ask("status " + mpg + " mode"), "stopped");
  EXPECT_EQ(Send("play all from 0"), kMediaOk);
  EXPECT_EQ(Ask("status " + avi + " mode"), "playing");
  EXPECT_EQ(Send("status all mode"), kMediaNotForAll);
  EXPECT_EQ(Send("open all"), kMediaNotForAll);
  EXPECT_EQ(Send("close all"), kMediaOk);
  EXPECT_EQ(service_.device_count(), 0u);
}

TEST_F(MediaServiceTest, SecondOpenOfAnOpenNameIsRefused) {
  std::string avi = Clip("clip.avi");
  ASSERT_EQ(Send("open " + avi + " parent 0 "), kMediaOk);
  EXPECT_EQ(Send("open " + avi + " parent 0 "), kMediaAlreadyOpen);
  EXPECT_EQ(Send("open " + Upper(avi)), kMediaAlreadyOpen);  // names ignore case
  EXPECT_EQ(service_.device_count(), 1u);
  EXPECT_EQ(Ask("status " + avi + " mode"), "stopped");  // the first device is untouched
}

TEST_F(MediaServiceTest, UpperCasedPathsAndPathsWithBlanks) {
  fs::create_directories(tmp_ / "My Movies");
  fs::copy_file(media_ / "clip.mpg", tmp_ / "My Movies" / "a clip.mpg");
  std::string spaced = (tmp_ / "My Movies" / "a clip.mpg").string();
  std::string upper = Upper(spaced);
  ASSERT_EQ(Send("open " + upper + " parent 0 "), kMediaOk);
  EXPECT_EQ(Ask("status " + upper + " length"), "3000");
  EXPECT_EQ(Ask("status " + spaced + " mode"), "stopped");  // same device, other spelling
  EXPECT_EQ(Send("close " + upper), kMediaOk);
  ASSERT_EQ(Send("open \"" + spaced + "\" parent 0"), kMediaOk);
  EXPECT_EQ(Ask("status \"" + spaced + "\" length"), "3000");
  EXPECT_EQ(Send("play " + spaced + " from 1000"), kMediaOk);
}

TEST_F(MediaServiceTest, AMovieThatEndsStaysAtItsEndStopped) {
  std::string mov = Clip("clip.mov");
  ASSERT_EQ(Send("open " + mov), kMediaOk);
  ASSERT_EQ(Send("play " + mov + " from 2700"), kMediaOk);
  ASSERT_TRUE(WaitForMode(mov, "stopped", 3000));
  int position = std::stoi(Ask("status " + mov + " position"));
  EXPECT_GE(position, 2900);
  EXPECT_LE(position, 3000);
  // Playing again starts over.
  EXPECT_EQ(Send("play " + mov), kMediaOk);
  EXPECT_EQ(Ask("status " + mov + " mode"), "playing");
  EXPECT_EQ(Send("play " + mov + " from 3001"), kMediaBadParameter);
  EXPECT_EQ(Send("play " + mov + " from -1"), kMediaBadParameter);
}

TEST_F(MediaServiceTest, BadInputFailsCleanlyAndLeavesNothingOpen) {
  std::ofstream(tmp_ / "garbage.avi") << std::string(4096, 'x');
  std::ofstream(tmp_ / "empty.mpg");
  fs::create_directories(tmp_ / "dir.avi");
  std::string avi = Clip("clip.avi");

  EXPECT_EQ(Send(""), kMediaUnknownCommand);
  EXPECT_EQ(Send("fly " + avi), kMediaUnknownCommand);
  EXPECT_EQ(Send("open"), kMediaMissingParameter);
  EXPECT_EQ(Send("play " + avi), kMediaUnknownDevice);
  EXPECT_EQ(Send("open " + (tmp_ / "missing.avi").string()), kMediaFileNotFound);
  EXPECT_EQ(Send("open " + (tmp_ / "garbage.avi").string()), kMediaCannotPlay);
  EXPECT_EQ(Send("open " + (tmp_ / "empty.mpg").string()), kMediaCannotPlay);
  EXPECT_EQ(Send("open " + (tmp_ / "dir.avi").string()), kMediaFileNotFound);
  EXPECT_EQ(Send("open /" + std::string(300, 'A') + ".AVI parent 0 "), kMediaFileNotFound);
  EXPECT_EQ(Send("open " + avi + " parent 40000"), kMediaBadWindow);
  EXPECT_EQ(Send("open " + avi + " parent x"), kMediaBadParameter);
  EXPECT_EQ(service_.device_count(), 0u);

  ASSERT_EQ(Send("open " + avi), kMediaOk);
  EXPECT_EQ(Send("status " + avi + " colour"), kMediaUnknownKeyword);
  EXPECT_EQ(Send("status " + avi), kMediaMissingParameter);
  char one[1] = {'x'};
  EXPECT_EQ(service_.Send(("status " + avi + " mode").c_str(), one, sizeof one), kMediaReplyTooLong);
  EXPECT_EQ(one[0], '\0');
  EXPECT_EQ(service_.Send(nullptr, one, sizeof one), kMediaMissingParameter);
  EXPECT_EQ(service_.device_count(), 1u);
}

TEST_F(MediaServiceTest, CallerBufferGetsAZeroTerminatedCutReply) {
  std::string avi = Clip("clip.avi");
  ASSERT_EQ(Send("open " + avi), kMediaOk);
  char reply[128];
  std::fill(std::begin(reply), std::end(reply), '#');
  EXPECT_EQ(service_.Send(("status " + avi + " length").c_str(), reply, sizeof reply), kMediaOk);
  EXPECT_STREQ(reply, "3000");
  char four[4];
  EXPECT_EQ(service_.Send(("status " + avi + " length").c_str(), four, sizeof four), kMediaReplyTooLong);
  EXPECT_STREQ(four, "300");
  EXPECT_EQ(service_.Send(("play " + avi).c_str(), four, sizeof four), kMediaOk);
  EXPECT_STREQ(four, "");
  EXPECT_EQ(service_.Send(("stop " + avi).c_str(), nullptr, 0), kMediaOk);
}

// Files named ahead of their opens: every open answers as it would have without, whatever
// state its file's preparation is in.
TEST_F(MediaServiceTest, PreparedOpensAnswerAsPlainOpens) {
  std::ofstream(tmp_ / "garbage.avi") << std::string(4096, 'x');
  std::string avi = Clip("clip.avi"), mpg = Clip("clip.mpg"), mov = Clip("clip.mov");
  std::string garbage = (tmp_ / "garbage.avi").string();
  std::string missing = (tmp_ / "missing.avi").string();
  service_.Prepare({Upper(avi), mpg, garbage, missing, mov});
  EXPECT_EQ(service_.prepared_count(), 4u);  // the missing file is passed over

  ASSERT_EQ(Send("open " + Upper(avi) + " parent 0 "), kMediaOk);
  ASSERT_EQ(Send("open " + mpg), kMediaOk);
  // A file that cannot be played fails at its open and leaves no device behind.
  EXPECT_EQ(Send("open " + garbage), kMediaCannotPlay);
  EXPECT_EQ(Send("open " + missing), kMediaFileNotFound);
  ASSERT_EQ(Send("open " + mov), kMediaOk);
  EXPECT_EQ(service_.device_count(), 3u);
  EXPECT_EQ(service_.prepared_count(), 0u);
  for (const std::string& clip : {avi, mpg, mov}) {
    EXPECT_EQ(Ask("status " + clip + " mode"), "stopped") << clip;
    EXPECT_EQ(Ask("status " + clip + " length"), "3000") << clip;
  }
  EXPECT_EQ(Ask("capability " + avi + " has audio"), "true");
  EXPECT_EQ(Send("play " + mov), kMediaOk);
  EXPECT_EQ(Ask("status " + mov + " mode"), "playing");
}

TEST_F(MediaServiceTest, OpensOutOfOrderAndTwiceStillAnswerRight) {
  std::vector<std::string> names;
  for (int i = 0; i < 4; ++i) {
    fs::path copy = tmp_ / ("copy" + std::to_string(i) + ".mpg");
    fs::copy_file(media_ / "clip.mpg", copy);
    names.push_back(copy.string());
  }
  names.push_back(names[1]);  // the same movie twice in one drop
  service_.Prepare(names);
  ASSERT_EQ(Send("open " + names[2]), kMediaOk);  // the ones before it are passed by
  ASSERT_EQ(Send("open " + names[0]), kMediaOk);
  ASSERT_EQ(Send("open " + names[1]), kMediaOk);
  EXPECT_EQ(Send("open " + names[4]), kMediaAlreadyOpen);
  ASSERT_EQ(Send("open " + names[3]), kMediaOk);
  EXPECT_EQ(service_.device_count(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Ask("status " + names[i] + " length"), "3000") << i;
  // What was prepared and never opened goes with "close all", as do the devices.
  EXPECT_EQ(Send("close all"), kMediaOk);
  EXPECT_EQ(service_.prepared_count(), 0u);
  EXPECT_EQ(service_.device_count(), 0u);
}

TEST_F(MediaServiceTest, ADropLongerThanTheHelpersRunAheadOpensWhole) {
  std::vector<std::string> names;
  const int n = PlayerPrefetch::kAhead + 4;
  for (int i = 0; i < n; ++i) {
    fs::path copy = tmp_ / ("drop" + std::to_string(i) + ".mpg");
    fs::copy_file(media_ / "clip.mpg", copy);
    names.push_back(copy.string());
  }
  service_.Prepare(names);
  for (const std::string& name : names) ASSERT_EQ(Send("open " + name), kMediaOk) << name;
  EXPECT_EQ(service_.device_count(), static_cast<size_t>(n));
  EXPECT_EQ(Send("play all"), kMediaOk);
  EXPECT_EQ(Ask("status " + names.back() + " mode"), "playing");
}

TEST_F(MediaServiceTest, PreparationsLeftBehindAreFreedSafely) {
  std::string avi = Clip("clip.avi"), mpg = Clip("clip.mpg");
  {
    MediaService service;  // goes while its helpers may still be starting engines
    service.Prepare({avi, mpg, Clip("clip.mov")});
  }
  service_.Prepare({avi, mpg});
  service_.Prepare({mpg});  // a new drop replaces the names of the one before
  EXPECT_EQ(service_.prepared_count(), 1u);
  ASSERT_EQ(Send("open " + avi), kMediaOk);
  ASSERT_EQ(Send("open " + mpg), kMediaOk);
  EXPECT_EQ(service_.prepared_count(), 0u);
  service_.Prepare({});
  EXPECT_EQ(service_.prepared_count(), 0u);
}

}  // namespace
}  // namespace cinevo::platform

namespace cinevo::platform {
namespace {

TEST(SendMedia, ProcessWideEntryKeepsDevicesBetweenCalls) {
  std::string avi = std::string(CINEVO_TEST_MEDIA_DIR) + "/clip.avi";
  if (!std::filesystem::exists(avi)) GTEST_SKIP() << "test clips missing";
  char reply[128];
  ASSERT_EQ(SendMedia(("open " + avi + " parent 0 ").c_str(), reply, sizeof reply), kMediaOk);
  EXPECT_EQ(SendMedia(("open " + avi + " parent 0 ").c_str(), reply, sizeof reply), kMediaAlreadyOpen);
  ASSERT_EQ(SendMedia(("capability " + avi + " has audio").c_str(), reply, sizeof reply), kMediaOk);
  EXPECT_STREQ(reply, "true");
  EXPECT_EQ(SendMedia("close all", reply, sizeof reply), kMediaOk);
  EXPECT_EQ(DefaultMediaService().device_count(), 0u);
}

}  // namespace
}  // namespace cinevo::platform
