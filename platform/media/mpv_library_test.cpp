// The engine's library is loaded on first use, not with the program, and completely.
#include "platform/media/mpv_library.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace cinevo::platform {
namespace {

// True when a file whose name holds `name` is mapped into this process.
bool Mapped(const std::string& name) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (line.find(name) != std::string::npos) return true;
  }
  return false;
}

TEST(MpvLibrary, LoadedInTheBackgroundOnlyWhenAskedAndWhole) {
  // Nothing in this program has needed an engine yet.
  EXPECT_FALSE(Mapped("libmpv.so"));
  PreloadMpvLibrary(0);  // returns at once; the helper thread loads it
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!Mapped("libmpv.so") && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(Mapped("libmpv.so"));
  PreloadMpvLibrary(0);  // a second call does nothing

  const MpvApi* api = MpvLibrary();
  ASSERT_NE(api, nullptr);
  EXPECT_EQ(MpvLibrary(), api);  // loaded once
  EXPECT_EQ(&LoadedMpv(), api);
#define CINEVO_EXPECT_FOUND(name) EXPECT_NE(api->name, nullptr) << #name;
  CINEVO_MPV_FUNCTIONS(CINEVO_EXPECT_FOUND)
#undef CINEVO_EXPECT_FOUND
  // The library found is the one the program was built against.
  EXPECT_EQ(api->mpv_client_api_version() >> 16, MPV_CLIENT_API_VERSION >> 16);
}

}  // namespace
}  // namespace cinevo::platform
