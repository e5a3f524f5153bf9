#include "runtime/core/value_ref.h"

#include <cmath>
#include <limits>

#include "runtime/core/decimal_stack.h"
#include "runtime/core/error.h"
#include "runtime/core/error_codes.h"
#include "runtime/core/std_date.h"
#include "runtime/core/string_stack.h"
#include "runtime/core/value_storage.h"

namespace cinevo {
namespace {

constexpr int kNoKindCode = kErrInternalStrings;
constexpr int kTypingCode = kErrInternalStrings;

int32_t ClampToLong(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

// Truncates toward zero, saturating at the LONG range; NaN gives 0.
int32_t RealToLong(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

uint8_t* Bytes(void* p) { return static_cast<uint8_t*>(p); }

}  // namespace

bool ValueRef::HasKind(TypeCode type) {
  switch (type) {
    case TypeCode::kByte: case TypeCode::kShort: case TypeCode::kUShort: case TypeCode::kDate:
    case TypeCode::kTime: case TypeCode::kLong: case TypeCode::kULong: case TypeCode::kSReal:
    case TypeCode::kReal: case TypeCode::kBFloat4: case TypeCode::kBFloat8:
    case TypeCode::kDecimal: case TypeCode::kPDecimal: case TypeCode::kString:
    case TypeCode::kGroup: case TypeCode::kCString: case TypeCode::kPString: case TypeCode::kAny:
      return true;
    default:
      return false;
  }
}

ValueRef ValueRef::Make(TypeCode type, void* data, size_t size, int places) {
  if (!HasKind(type)) {
    RuntimeFatal(kNoKindCode, "String Stack Error");
    return ValueRef();
  }
  ValueRef r;
  r.type_ = type == TypeCode::kGroup ? TypeCode::kString : type;
  r.data_ = data;
  r.size_ = size;
  r.places_ = places;
  return r;
}

const ValueRef* ValueRef::Target() const {
  const ValueRef* r = this;
  // An ANY chain is followed a bounded number of steps so that a cycle cannot hang.
  for (int hops = 0; r && r->data_ && r->type_ == TypeCode::kAny; ++hops) {
    if (hops == 16) return nullptr;
    r = static_cast<const ValueRef*>(r->data_);
  }
  if (!r || !r->data_) {
    RuntimeFatal(kTypingCode, "Parameter typing error");
    return nullptr;
  }
  return r;
}

TypeCode ValueRef::Kind() const {
  const ValueRef* r = Target();
  if (!r) return TypeCode::kLong;
  switch (r->type_) {
    case TypeCode::kByte: case TypeCode::kShort: case TypeCode::kUShort: case TypeCode::kDate:
    case TypeCode::kTime: case TypeCode::kLong:
      return TypeCode::kLong;
    case TypeCode::kSReal: case TypeCode::kReal: case TypeCode::kBFloat4: case TypeCode::kBFloat8:
      return TypeCode::kReal;
    case TypeCode::kString: case TypeCode::kCString: case TypeCode::kPString:
      return TypeCode::kString;
    default:
      return TypeCode::kDecimal;
  }
}

namespace {

// The text of a string-kind reference (borrowed from the variable).
std::string_view StringOf(const ValueRef& r) {
  const char* p = static_cast<const char*>(r.data());
  switch (r.type()) {
    case TypeCode::kCString: return CStringValue(p, r.size());
    case TypeCode::kPString: return PStringValue(static_cast<const uint8_t*>(r.data()), r.size());
    default: return {p, r.size()};
  }
}

bool IsIntegerType(TypeCode t) {
  return t == TypeCode::kByte || t == TypeCode::kShort || t == TypeCode::kUShort ||
         t == TypeCode::kLong || t == TypeCode::kULong || t == TypeCode::kDate ||
         t == TypeCode::kTime;
}

int64_t LoadInteger(const ValueRef& r) {
  const uint8_t* p = static_cast<const uint8_t*>(r.data());
  switch (r.type()) {
    case TypeCode::kByte: return p[0];
    case TypeCode::kShort: return LoadI16(p);
    case TypeCode::kUShort: return LoadU16(p);
    case TypeCode::kLong: return LoadI32(p);
    case TypeCode::kULong: return LoadU32(p);
    case TypeCode::kDate: return DateFromStorage(p);
    case TypeCode::kTime: return TimeFromStorage(p);
    default: return 0;
  }
}

void StoreInteger(const ValueRef& r, int64_t v) {
  uint8_t* p = Bytes(r.data());
  switch (r.type()) {
    case TypeCode::kByte: p[0] = static_cast<uint8_t>(v); break;
    case TypeCode::kShort: case TypeCode::kUShort: StoreU16(p, static_cast<uint16_t>(v)); break;
    case TypeCode::kLong: case TypeCode::kULong: StoreU32(p, static_cast<uint32_t>(v)); break;
    case TypeCode::kDate: DateToStorage(ClampToLong(v), p); break;
    case TypeCode::kTime: TimeToStorage(ClampToLong(v), p); break;
    default: break;
  }
}

bool IsRealType(TypeCode t) {
  return t == TypeCode::kSReal || t == TypeCode::kReal || t == TypeCode::kBFloat4 ||
         t == TypeCode::kBFloat8;
}

double LoadFloat(const ValueRef& r) {
  const uint8_t* p = static_cast<const uint8_t*>(r.data());
  switch (r.type()) {
    case TypeCode::kSReal: return LoadSReal(p);
    case TypeCode::kReal: return LoadReal(p);
    case TypeCode::kBFloat4: return LoadBFloat4(p);
    case TypeCode::kBFloat8: return LoadBFloat8(p);
    default: return 0;
  }
}

void StoreFloat(const ValueRef& r, double v) {
  uint8_t* p = Bytes(r.data());
  switch (r.type()) {
    case TypeCode::kSReal: StoreSReal(p, static_cast<float>(v)); break;
    case TypeCode::kReal: StoreReal(p, v); break;
    case TypeCode::kBFloat4: StoreBFloat4(p, v); break;
    case TypeCode::kBFloat8: StoreBFloat8(p, v); break;
    default: break;
  }
}

bool IsStringType(TypeCode t) {
  return t == TypeCode::kString || t == TypeCode::kCString || t == TypeCode::kPString;
}

void StoreText(const ValueRef& r, std::string_view text) {
  switch (r.type()) {
    case TypeCode::kString: StoreString(static_cast<char*>(r.data()), r.size(), text); break;
    case TypeCode::kCString: StoreCString(static_cast<char*>(r.data()), r.size(), text); break;
    case TypeCode::kPString: StorePString(Bytes(r.data()), r.size(), text); break;
    default: break;
  }
}

void PushPacked(const ValueRef& r) {
  const uint8_t* p = static_cast<const uint8_t*>(r.data());
  if (r.type() == TypeCode::kDecimal) TheDecimalStack().PushDecimal(p, r.size(), r.places());
  else TheDecimalStack().PushPDecimal(p, r.size(), r.places());
}

void PopPacked(const ValueRef& r) {
  uint8_t* p = Bytes(r.data());
  if (r.type() == TypeCode::kDecimal) TheDecimalStack().PopDecimal(p, r.size(), r.places());
  else TheDecimalStack().PopPDecimal(p, r.size(), r.places());
}

}  // namespace

int32_t ValueRef::ToLong() const {
  const ValueRef* r = Target();
  if (!r) return 0;
  TypeCode t = r->type_;
  if (IsIntegerType(t)) return ClampToLong(LoadInteger(*r));  // a ULONG above 2^31-1 saturates
  if (IsRealType(t)) return RealToLong(LoadFloat(*r));
  r->PushDecimal();
  TheDecimalStack().Truncate();
  return ClampToLong(TheDecimalStack().PopLong());
}

double ValueRef::ToReal() const {
  const ValueRef* r = Target();
  if (!r) return 0;
  TypeCode t = r->type_;
  if (IsIntegerType(t)) return static_cast<double>(LoadInteger(*r));
  if (IsRealType(t)) return LoadFloat(*r);
  if (IsStringType(t)) return TextToReal(StringOf(*r));
  PushPacked(*r);
  return TheDecimalStack().PopReal();
}

void ValueRef::PushDecimal() const {
  const ValueRef* r = Target();
  DecimalStack& ds = TheDecimalStack();
  if (!r) {
    ds.PushLong(0);
    return;
  }
  TypeCode t = r->type_;
  if (IsIntegerType(t)) ds.PushLong(LoadInteger(*r));
  else if (IsRealType(t)) ds.PushReal(LoadFloat(*r));
  else if (IsStringType(t)) ds.PushText(StringOf(*r));
  else PushPacked(*r);
}

void ValueRef::PushString() const {
  const ValueRef* r = Target();
  StringStack& ss = TheStringStack();
  if (!r) {
    ss.PushBorrowed(nullptr, 0);
    return;
  }
  TypeCode t = r->type_;
  if (IsStringType(t)) {
    std::string_view v = StringOf(*r);
    ss.PushBorrowed(v.data(), static_cast<int32_t>(v.size()));
  } else if (IsIntegerType(t)) {
    int64_t v = LoadInteger(*r);
    if (v > std::numeric_limits<int32_t>::max()) ss.PushText(std::to_string(v));
    else ss.PushLong(static_cast<int32_t>(v));
  } else if (IsRealType(t)) {
    ss.PushReal(LoadFloat(*r));
  } else {
    PushPacked(*r);
    ss.PushText(TheDecimalStack().PopText());
  }
}

std::string ValueRef::ToText() const {
  PushString();
  return TheStringStack().PopToHeap();
}

void ValueRef::SetLong(int32_t value) const {
  const ValueRef* r = Target();
  if (!r) return;
  TypeCode t = r->type_;
  if (IsIntegerType(t)) StoreInteger(*r, value);
  else if (IsRealType(t)) StoreFloat(*r, value);
  else if (IsStringType(t)) StoreText(*r, LongToText(value));
  else {
    TheDecimalStack().PushLong(value);
    PopPacked(*r);
  }
}

void ValueRef::SetReal(double value) const {
  const ValueRef* r = Target();
  if (!r) return;
  TypeCode t = r->type_;
  if (t == TypeCode::kULong) {
    StoreInteger(*r, std::isnan(value) ? 0 : value <= 0 ? 0 : value >= 4294967295.0 ? 4294967295LL
                                                                  : static_cast<int64_t>(value));
  } else if (IsIntegerType(t)) {
    StoreInteger(*r, RealToLong(value));
  } else if (IsRealType(t)) {
    StoreFloat(*r, value);
  } else if (IsStringType(t)) {
    StoreText(*r, RealToText(value));
  } else {
    TheDecimalStack().PushReal(value);
    PopPacked(*r);
  }
}

void ValueRef::PopDecimal() const {
  const ValueRef* r = Target();
  DecimalStack& ds = TheDecimalStack();
  if (!r) {
    ds.Drop();
    return;
  }
  TypeCode t = r->type_;
  if (IsIntegerType(t)) {
    ds.Truncate();
    int64_t v = ds.PopLong();
    if (t == TypeCode::kULong) StoreInteger(*r, v < 0 ? 0 : v > 4294967295LL ? 4294967295LL : v);
    else StoreInteger(*r, ClampToLong(v));
  } else if (IsRealType(t)) {
    StoreFloat(*r, ds.PopReal());
  } else if (IsStringType(t)) {
    StoreText(*r, ds.PopText());
  } else {
    PopPacked(*r);
  }
}

void ValueRef::PopString() const {
  const ValueRef* r = Target();
  StringStack& ss = TheStringStack();
  if (!r) {
    ss.Drop();
    return;
  }
  if (r->type_ == TypeCode::kString) {
    ss.PopToString(static_cast<char*>(r->data_), r->size_);
  } else if (r->type_ == TypeCode::kCString) {
    ss.PopToCString(static_cast<char*>(r->data_), r->size_);
  } else {
    r->SetText(ss.PopToHeap());
  }
}

void ValueRef::SetText(std::string_view text) const {
  const ValueRef* r = Target();
  if (!r) return;
  TypeCode t = r->type_;
  if (IsStringType(t)) {
    StoreText(*r, text);
  } else if (IsRealType(t)) {
    StoreFloat(*r, TextToReal(text));
  } else {
    TheDecimalStack().PushText(text);
    r->PopDecimal();
  }
}

TypeCode ComparisonKind(const ValueRef& a, const ValueRef& b) {
  TypeCode ka = a.Kind();
  TypeCode kb = b.Kind();
  if ((IsStringLike(ka) && kb == TypeCode::kString) || (IsStringLike(kb) && ka == TypeCode::kString))
    return TypeCode::kString;
  if (ka == TypeCode::kLong && kb == TypeCode::kLong) return TypeCode::kLong;
  if (ka == TypeCode::kReal || kb == TypeCode::kReal) return TypeCode::kReal;
  return TypeCode::kDecimal;
}

int CompareReals(double a, double b) {
  double diff = a - b;
  if (diff == 0) return 0;
  if (std::isfinite(diff)) {
    int ed = std::ilogb(diff);
    int ea = a == 0 ? 0 : std::ilogb(a);
    int eb = b == 0 ? 0 : std::ilogb(b);
    if (ed < ea - 50 && ed < eb - 50) return 0;
  }
  if (a < b) return -1;
  if (a > b) return 1;
  return 0;
}

int CompareRefs(const ValueRef& a, const ValueRef& b) {
  switch (ComparisonKind(a, b)) {
    case TypeCode::kString: {
      a.PushString();
      b.PushString();
      int c = TheStringStack().Compare();
      return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    case TypeCode::kLong: {
      int32_t x = a.ToLong();
      int32_t y = b.ToLong();
      return x < y ? -1 : x > y ? 1 : 0;
    }
    case TypeCode::kReal:
      return CompareReals(a.ToReal(), b.ToReal());
    default:
      a.PushDecimal();
      b.PushDecimal();
      return TheDecimalStack().Compare();
  }
}

}  // namespace cinevo
