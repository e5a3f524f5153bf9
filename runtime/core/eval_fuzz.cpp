// Compile-and-evaluate fuzz target: any text is compiled; a compiled tree is evaluated in every
// kind, written back, and the written-back text must compile again to a tree that writes back
// the same way (and, for a constant expression, has the same value).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/core/eval.h"
#include "runtime/core/value_ref.h"

namespace {

struct Variables {
  int32_t n = 17;
  int16_t s = -4;
  double r = 2.5;
  char a[8] = {'a', 'b', 'c', ' ', ' ', ' ', ' ', ' '};
  char c[6] = "xy";
  int32_t d = 80000;  // a standard date
  uint8_t pd[4] = {0x00, 0x12, 0x34, 0x5F};  // PDECIMAL 1234.5 with 1 place

  Variables() {
    using cinevo::Bind;
    using cinevo::TypeCode;
    using cinevo::ValueRef;
    Bind("N", ValueRef::Make(TypeCode::kLong, &n));
    Bind("S", ValueRef::Make(TypeCode::kShort, &s));
    Bind("R", ValueRef::Make(TypeCode::kReal, &r));
    Bind("A", ValueRef::Make(TypeCode::kString, a, sizeof a));
    Bind("PRE:C", ValueRef::Make(TypeCode::kCString, c, sizeof c));
    Bind("D", ValueRef::Make(TypeCode::kDate, &d));
    Bind("P#", ValueRef::Make(TypeCode::kPDecimal, pd, sizeof pd, 1));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Variables variables;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto e = cinevo::CompiledExpression::Compile(text);
  if (!e) return 0;
  (void)e->Integer();
  (void)e->Floating();
  std::string value = e->String();
  (void)e->Truth();
  std::string back = e->WriteBack();
  auto again = cinevo::CompiledExpression::Compile(back);
  if (!again) std::abort();  // a written-back text must compile
  if (again->WriteBack() != back) std::abort();
  if (e->IsConstant() && again->String() != value) std::abort();
  return 0;
}
