// Fuzz target for the picture compiler, formatter and deformatter.
// Input: "<picture text>|<value text>" (without "|" the whole input is both). Every picture must
// compile without touching memory outside its input and record, every format must write exactly
// the picture's width, and reading a formatted text back must not break anything.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/core/picture.h"

using namespace cinevo;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t bar = input.find('|');
  std::string_view picture = input.substr(0, bar);
  std::string_view value = bar == std::string_view::npos ? input : input.substr(bar + 1);

  CompiledPicture pic = CompilePicture(picture);
  const size_t width = static_cast<size_t>(pic.Width());
  Check(width <= 255);
  Check(PictureWidth(picture) == (pic.Valid() ? 2 * static_cast<int>(width) + 2 : 0));

  // One byte past the widest edit catches a formatter writing more than the width.
  char out[257];
  out[255] = '\x5a';
  Check(FormatText(pic, value, out) == width);
  Check(out[255] == '\x5a' || width == 255);

  DeformatResult typed = Deformat(pic, value);
  if (typed.ok) {
    Check(FormatDecimal(pic, typed.decimal, out) == width);
    Check(FormatText(pic, typed.text, out) == width);
  }

  int64_t number = 0;
  for (size_t i = 0; i < value.size() && i < 8; ++i) number = (number << 8) | data[size - 1 - i];
  Check(FormatLong(pic, number, out) == width);
  Check(FormatLong(pic, number % 3000000, out) == width);
  Check(FormatReal(pic, static_cast<double>(number) / 977.0, out) == width);

  // What is shown reads back.
  std::string shown(out, width);
  (void)Deformat(pic, shown);
  return 0;
}
