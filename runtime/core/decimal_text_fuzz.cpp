// Feeds arbitrary bytes to the number readers and checks that what they produce is consistent:
// a decimal read from text prints back to text that reads as the same value, rounding and
// storing into packed fields stay within bounds, and the REAL reader never fails.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/core/decimal_stack.h"
#include "runtime/core/string_stack.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace cinevo;
  std::string_view text(reinterpret_cast<const char*>(data), size);

  DecimalAccumulator value = TextToDecimal(text);
  Check(value.low <= DecimalAccumulator::kUnits && value.high >= DecimalAccumulator::kUnits);
  Check(value.high < DecimalAccumulator::kCells);
  std::string printed = DecimalToText(value);
  Check(CompareDecimals(TextToDecimal(printed), value) == 0);

  double real = TextToReal(text);
  (void)RealToText(real);

  DecimalStack& ds = TheDecimalStack();
  ds.Reset();
  int places = size > 0 ? data[0] % 40 - 4 : 0;
  ds.PushAccumulator(value);
  ds.Round(places);
  ds.PushText(text);
  ds.Add();
  uint8_t field[9];
  ds.PopDecimal(field, sizeof field, places < 0 ? 0 : places);
  ds.PushDecimal(field, sizeof field, places < 0 ? 0 : places);
  ds.PopPDecimal(field, sizeof field, places < 0 ? 0 : places);
  ds.PushPDecimal(field, sizeof field, places < 0 ? 0 : places);
  (void)ds.PopLong();
  Check(ds.Count() == 0);
  return 0;
}
