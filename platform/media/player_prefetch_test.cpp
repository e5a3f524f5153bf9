// Players made ahead on helper threads: what Take hands over, how far ahead the helpers go, and
// that nothing is lost or leaked when files are passed by. No display: null outputs.
#include "platform/media/player_prefetch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/media_command/media_result.h"

namespace cinevo::platform {
namespace {

namespace fs = std::filesystem;

template <typename Pred>
bool WaitFor(Pred done, int ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

class PlayerPrefetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::path media = CINEVO_TEST_MEDIA_DIR;
    if (!fs::exists(media / "clip.mpg")) GTEST_SKIP() << "test clips missing in " << media;
    mpg_ = (media / "clip.mpg").string();
    avi_ = (media / "clip.avi").string();
  }
  std::string mpg_, avi_;
};

TEST_F(PlayerPrefetchTest, TakeGivesTheLoadingPlayerOfThatFileAndOptionsOnly) {
  PlayerPrefetch prefetch;
  MpvPlayerOptions options;
  prefetch.Prepare({mpg_, avi_}, options);
  ASSERT_TRUE(WaitFor([&] { return prefetch.made() == 2; }, 10000));
  MpvPlayerOptions other = options;
  other.keep_open = false;
  EXPECT_EQ(prefetch.Take(mpg_, other), nullptr);  // made for other options: not this one
  EXPECT_EQ(prefetch.Take("/nowhere/else.mpg", options), nullptr);

  std::unique_ptr<MpvPlayer> avi = prefetch.Take(avi_, options);
  ASSERT_NE(avi, nullptr);
  // The helper started its load; the owner's FinishLoad sees it through.
  ASSERT_EQ(avi->FinishLoad(5000), kMediaOk);
  EXPECT_TRUE(avi->info().has_audio);
  EXPECT_NEAR(avi->info().duration, 3.0, 0.05);
  // Taking avi passed mpg by (it came first): it is gone, and a second take finds nothing.
  EXPECT_EQ(prefetch.pending(), 0u);
  EXPECT_EQ(prefetch.Take(avi_, options), nullptr);
}

TEST_F(PlayerPrefetchTest, HelpersStayAtMostKAheadOfTheOwner) {
  PlayerPrefetch prefetch;
  std::vector<std::string> files(PlayerPrefetch::kAhead + 3, mpg_);
  files[0] = avi_;
  prefetch.Prepare(files, MpvPlayerOptions{});
  const size_t ahead = PlayerPrefetch::kAhead;
  ASSERT_TRUE(WaitFor([&] { return prefetch.made() == ahead; }, 10000)) << prefetch.made();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(prefetch.made(), ahead);  // and no further
  EXPECT_EQ(prefetch.pending(), files.size());

  // Each take lets the helpers make one more.
  ASSERT_NE(prefetch.Take(avi_, MpvPlayerOptions{}), nullptr);
  EXPECT_TRUE(WaitFor([&] { return prefetch.made() == ahead; }, 10000)) << prefetch.made();
  EXPECT_EQ(prefetch.pending(), files.size() - 1);
  prefetch.Clear();
  EXPECT_EQ(prefetch.pending(), 0u);
  EXPECT_EQ(prefetch.made(), 0u);
}

TEST_F(PlayerPrefetchTest, AFileThatCannotBePlayedFailsAtFinishLoad) {
  fs::path garbage = fs::temp_directory_path() / ("prefetch_garbage_" + std::to_string(getpid()) + ".avi");
  {
    std::FILE* f = std::fopen(garbage.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::string junk(4096, 'x');
    std::fwrite(junk.data(), 1, junk.size(), f);
    std::fclose(f);
  }
  PlayerPrefetch prefetch;
  prefetch.Prepare({garbage.string()}, MpvPlayerOptions{});
  ASSERT_TRUE(WaitFor([&] { return prefetch.made() == 1; }, 10000));
  std::unique_ptr<MpvPlayer> player = prefetch.Take(garbage.string(), MpvPlayerOptions{});
  ASSERT_NE(player, nullptr);
  EXPECT_EQ(player->FinishLoad(5000), kMediaCannotPlay);
  fs::remove(garbage);
}

TEST_F(PlayerPrefetchTest, AFileNotStartedYetIsLeftToTheOwner) {
  PlayerPrefetch prefetch;
  std::vector<std::string> files(PlayerPrefetch::kAhead + 2, mpg_);
  files.back() = avi_;  // beyond what the helpers make ahead
  prefetch.Prepare(files, MpvPlayerOptions{});
  ASSERT_TRUE(WaitFor([&] { return prefetch.made() == PlayerPrefetch::kAhead; }, 10000));
  // Its job is dropped rather than waited for: the owner starts the engine as soon as a helper
  // would. The players made for the files before it stay until the next take passes them by.
  EXPECT_EQ(prefetch.Take(avi_, MpvPlayerOptions{}), nullptr);
  EXPECT_EQ(prefetch.pending(), files.size() - 1);
}

}  // namespace
}  // namespace cinevo::platform
