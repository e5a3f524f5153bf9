#include "app/movie_layout.h"

#include <charconv>
#include <cstdint>
#include <vector>

namespace cinevo::app {

std::optional<MovieSize> ParseDestination(std::string_view reply) {
  std::vector<long long> numbers;
  size_t i = 0;
  while (i < reply.size()) {
    while (i < reply.size() && reply[i] == ' ') ++i;
    if (i == reply.size()) break;
    size_t end = reply.find(' ', i);
    if (end == std::string_view::npos) end = reply.size();
    long long value = 0;
    auto [ptr, ec] = std::from_chars(reply.data() + i, reply.data() + end, value);
    if (ec != std::errc() || ptr != reply.data() + end) return std::nullopt;
    numbers.push_back(value);
    i = end;
  }
  if (numbers.size() != 4) return std::nullopt;
  long long width = numbers[2], height = numbers[3];
  if (width < 0 || height < 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
  return MovieSize{static_cast<int>(width), static_cast<int>(height)};
}

MovieSize ResizedWindow(MovieSize size, int hundredths) {
  auto scale = [hundredths](long long n) {
    long long v = n * hundredths / 100;  // the fraction is dropped
    return static_cast<int>(v > INT32_MAX ? INT32_MAX : v);
  };
  return {scale(static_cast<long long>(size.width) + 4), scale(static_cast<long long>(size.height) + 22)};
}

void Arranger::Advance(MovieSize size) {
  if (x_ + size.width < 640) {
    x_ = x_ + size.width + 4;
    return;
  }
  x_ = base_;
  if (y_ + size.height < 480) {
    y_ = alignment_ == Alignment::kTiled ? y_ + size.height + 20 : y_ + 22;
  } else {
    base_ += 20;
    x_ += base_;
    y_ = base_;
  }
}

}  // namespace cinevo::app
