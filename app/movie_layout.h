// The arithmetic of resizing and arranging movie windows.
//
// Sizes come from the reply to "where PATH destination": four whole numbers separated by blanks
// (left, top, width, height). Resizing adds the window's frame (4 pixels across, 22 down for the
// border and caption) to the video size and scales the sum by a factor with two decimal places;
// the fraction of the product is dropped.
//
// Arranging walks the movies in play-list order, placing each at the current (X, Y) and then
// moving on: to the right while the row is narrower than 640 pixels, otherwise back to the row
// base and down - a full window height plus 20 (tiled, Alignment I) or 22 pixels (cascaded rows,
// Alignment II) - and once past 480 pixels down, the base steps 20 pixels right and down.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace cinevo::app {

struct MovieSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const MovieSize&, const MovieSize&) = default;
};

// The width and height of a "where ... destination" reply: its last two numbers. Nothing when
// the reply does not hold four whole numbers.
std::optional<MovieSize> ParseDestination(std::string_view reply);

// Scale factors in hundredths.
inline constexpr int kIncreaseHundredths = 125;
inline constexpr int kDecreaseHundredths = 75;

// The window size for a video of `size` scaled by `hundredths` / 100.
MovieSize ResizedWindow(MovieSize size, int hundredths);

enum class Alignment { kTiled, kCascadedRows };

// The walk of an arrangement: Position() is where the next movie goes; Advance() moves on past a
// movie of `size` that was placed there.
class Arranger {
 public:
  explicit Arranger(Alignment alignment) : alignment_(alignment) {}
  int64_t x() const { return x_; }
  int64_t y() const { return y_; }
  void Advance(MovieSize size);

 private:
  Alignment alignment_;
  int64_t x_ = 0;  // wide enough that no size a reply can give overflows it
  int64_t y_ = 0;
  int64_t base_ = 0;
};

}  // namespace cinevo::app
