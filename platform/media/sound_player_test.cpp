#include "platform/media/sound_player.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/media_command/media_result.h"

namespace cinevo::platform {
namespace {

namespace fs = std::filesystem;

TEST(SoundPlayer, PlaysAWaveToItsEndBeforeReturning) {
  fs::path wav = fs::path(CINEVO_TEST_MEDIA_DIR) / "short.wav";
  if (!fs::exists(wav)) GTEST_SKIP() << "test clips missing";
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(PlaySoundFile(wav.string()), kMediaOk);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(250));  // the sound lasts 300 ms
}

TEST(SoundPlayer, UpperCasedNameIsFound) {
  fs::path dir = fs::path(CINEVO_TEST_MEDIA_DIR);
  if (!fs::exists(dir / "short.wav")) GTEST_SKIP() << "test clips missing";
  EXPECT_EQ(PlaySoundFile((dir / "SHORT.WAV").string()), kMediaOk);
}

TEST(SoundPlayer, MissingCorruptAndSilentFilesFail) {
  fs::path tmp = fs::temp_directory_path() / ("sound_player_test_" + std::to_string(getpid()));
  fs::create_directories(tmp);
  std::ofstream(tmp / "bad.wav") << "RIFF not really";
  EXPECT_EQ(PlaySoundFile((tmp / "none.wav").string()), kMediaFileNotFound);
  EXPECT_EQ(PlaySoundFile(tmp.string()), kMediaFileNotFound);
  EXPECT_EQ(PlaySoundFile((tmp / "bad.wav").string()), kMediaCannotPlay);
  fs::path mpg = fs::path(CINEVO_TEST_MEDIA_DIR) / "clip.mpg";
  if (fs::exists(mpg)) {
    EXPECT_EQ(PlaySoundFile(mpg.string()), kMediaCannotPlay);  // no audio
  }
  fs::remove_all(tmp);
}

}  // namespace
}  // namespace cinevo::platform
