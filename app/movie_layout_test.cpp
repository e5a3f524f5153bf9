// Sizes read from the media service, resizing and the two arrangements.
#include "app/movie_layout.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace cinevo::app {
namespace {

TEST(ParseDestinationTest, TakesWidthAndHeightOfFourNumbers) {
  EXPECT_EQ(ParseDestination("0 0 320 240"), (MovieSize{320, 240}));
  EXPECT_EQ(ParseDestination("0 0 396 278   "), (MovieSize{396, 278}));
  EXPECT_EQ(ParseDestination("12 340 64 48"), (MovieSize{64, 48}));  // left and top not "0 0"
  EXPECT_EQ(ParseDestination("  0  0  7  9"), (MovieSize{7, 9}));
}

TEST(ParseDestinationTest, RefusesWhatIsNotFourWholeNumbers) {
  for (const char* reply : {"", "0 0 320", "0 0 320 240 1", "0 0 3x0 240", "0 0 -5 240",
                            "0 0 320 99999999999", "playing"}) {
    EXPECT_EQ(ParseDestination(reply), std::nullopt) << reply;
  }
}

TEST(ResizedWindowTest, AddsTheFrameScalesAndDropsTheFraction) {
  EXPECT_EQ(ResizedWindow({320, 240}, kIncreaseHundredths), (MovieSize{405, 327}));  // 405, 327.5
  EXPECT_EQ(ResizedWindow({320, 240}, kDecreaseHundredths), (MovieSize{243, 196}));  // 243, 196.5
  EXPECT_EQ(ResizedWindow({0, 0}, kDecreaseHundredths), (MovieSize{3, 16}));
  EXPECT_EQ(ResizedWindow({2147483647, 1}, kIncreaseHundredths).width, 2147483647);  // no overflow
}

std::vector<std::pair<int64_t, int64_t>> Walk(Alignment alignment, int count, MovieSize size) {
  Arranger walk(alignment);
  std::vector<std::pair<int64_t, int64_t>> placed;
  for (int i = 0; i < count; ++i) {
    placed.emplace_back(walk.x(), walk.y());
    walk.Advance(size);
  }
  return placed;
}

TEST(ArrangerTest, TiledSevenWindowsOf320) {
  using P = std::pair<int64_t, int64_t>;
  // Two to a row, each row a window height plus 20 below the last; from 480 down the base steps
  // 20 right and down.
  EXPECT_EQ(Walk(Alignment::kTiled, 7, {320, 240}),
            (std::vector<P>{{0, 0}, {324, 0}, {0, 260}, {324, 260}, {20, 20}, {344, 20}, {20, 280}}));
}

TEST(ArrangerTest, CascadedRowsStepDown22) {
  using P = std::pair<int64_t, int64_t>;
  EXPECT_EQ(Walk(Alignment::kCascadedRows, 5, {320, 240}),
            (std::vector<P>{{0, 0}, {324, 0}, {0, 22}, {324, 22}, {0, 44}}));
  // Small windows fill a row up to 640 first.
  EXPECT_EQ(Walk(Alignment::kCascadedRows, 5, {200, 100}),
            (std::vector<P>{{0, 0}, {204, 0}, {408, 0}, {612, 0}, {0, 22}}));
}

TEST(ArrangerTest, TallWindowsMoveTheBase) {
  using P = std::pair<int64_t, int64_t>;
  // A window as tall as the screen area: every row wraps straight to a new base.
  EXPECT_EQ(Walk(Alignment::kTiled, 5, {700, 500}),
            (std::vector<P>{{0, 0}, {20, 20}, {60, 40}, {100, 60}, {140, 80}}));
}

}  // namespace
}  // namespace cinevo::app
