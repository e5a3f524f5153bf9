#include "runtime/core/eval_builtins.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <random>

#include "runtime/core/decimal_stack.h"
#include "runtime/core/locale_tables.h"
#include "runtime/core/picture.h"
#include "runtime/core/std_date.h"
#include "runtime/core/string_stack.h"
#include "runtime/core/value_ref.h"

namespace cinevo {
namespace {

// Texts that the built-ins make (ALL, LEFT, RIGHT, CENTER) are at most this long, so that no
// argument, however large, makes the evaluator reserve unbounded memory.
constexpr int64_t kMaxMadeText = 65535;

enum Fn : uint8_t {
  kInt = 1, kCenter, kAsin, kAge, kAbs, kAcos, kAll, kBor, kAtan, kBand, kBshift, kBxor, kDay,
  kClock, kChoose, kChr, kClip, kCos, kDate, kInrange, kDeformat, kFormat, kGetini, kInstring,
  kRandom, kLower, kLog10, kLeft, kLen, kLoge, kMemory, kMonth, kNumeric, kTan, kSin, kRight,
  kRound, kSqrt, kSub, kVal, kToday, kUpper, kYear, kInlist,
};

constexpr ResultKind I = ResultKind::kInteger;
constexpr ResultKind F = ResultKind::kFloating;
constexpr ResultKind S = ResultKind::kString;

// name, maximum and minimum argument count, number, result kind
constexpr BuiltinInfo kBuiltins[] = {
    {"INT", 1, 1, kInt, I},           {"CENTER", 2, 1, kCenter, S},
    {"ASIN", 1, 1, kAsin, F},         {"AGE", 2, 1, kAge, S},
    {"ABS", 1, 1, kAbs, F},           {"ACOS", 1, 1, kAcos, F},
    {"ALL", 2, 1, kAll, S},           {"BOR", 2, 2, kBor, I},
    {"ATAN", 1, 1, kAtan, F},         {"BAND", 2, 2, kBand, I},
    {"BSHIFT", 2, 2, kBshift, I},     {"BXOR", 2, 2, kBxor, I},
    {"DAY", 1, 1, kDay, I},           {"CLOCK", 0, 0, kClock, I},
    {"CHOOSE", 25, 1, kChoose, S},    {"CHR", 1, 1, kChr, S},
    {"CLIP", 1, 1, kClip, S},         {"COS", 1, 1, kCos, F},
    {"DATE", 3, 3, kDate, I},         {"INRANGE", 3, 3, kInrange, I},
    {"DEFORMAT", 2, 1, kDeformat, S}, {"FORMAT", 2, 1, kFormat, S},
    {"GETINI", 4, 0, kGetini, S},     {"INSTRING", 4, 2, kInstring, I},
    {"RANDOM", 2, 0, kRandom, I},     {"LOWER", 1, 1, kLower, S},
    {"LOG10", 1, 1, kLog10, F},       {"LEFT", 2, 1, kLeft, S},
    {"LEN", 1, 1, kLen, I},           {"LOGE", 1, 1, kLoge, F},
    {"MEMORY", 1, 0, kMemory, I},     {"MONTH", 1, 1, kMonth, I},
    {"NUMERIC", 1, 1, kNumeric, I},   {"TAN", 1, 1, kTan, F},
    {"SIN", 1, 1, kSin, F},           {"RIGHT", 2, 1, kRight, S},
    {"ROUND", 2, 1, kRound, F},       {"SQRT", 1, 1, kSqrt, F},
    {"SUB", 3, 1, kSub, S},           {"VAL", 1, 1, kVal, I},
    {"TODAY", 0, 0, kToday, I},       {"UPPER", 1, 1, kUpper, S},
    {"YEAR", 1, 1, kYear, I},         {"INLIST", 25, 1, kInlist, I},
};

int32_t ClampToInt32(int64_t v, int32_t lo, int32_t hi) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, lo, hi));
}

double Sanitize(double v) { return std::isnan(v) ? 0.0 : v; }

// Compares two argument values the way "=" does: texts as strings, integers as integers, else
// floating with the tolerance.
int CompareValues(ExprNode& a, ExprNode& b) {
  if (a.kind() == ResultKind::kString && b.kind() == ResultKind::kString) {
    std::string_view x = a.Text();
    std::string_view y = b.Text();
    return CompareStrings(x, y);
  }
  if (a.kind() == ResultKind::kInteger && b.kind() == ResultKind::kInteger) {
    int64_t x = a.Int();
    int64_t y = b.Int();
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  return CompareReals(a.Real(), b.Real());
}

enum class Justify { kLeft, kRight, kCenter };

// LEFT, RIGHT and CENTER: the text without its leading and trailing blanks, placed in a field of
// `width` characters (the text's own length when no width is given). A text longer than the
// field keeps its first `width` characters.
void JustifyText(std::string_view text, int64_t width, Justify how, std::string& out) {
  size_t first = text.find_first_not_of(' ');
  std::string_view core;
  if (first != std::string_view::npos) {
    size_t last = text.find_last_not_of(' ');
    core = text.substr(first, last - first + 1);
  }
  size_t w = static_cast<size_t>(std::clamp<int64_t>(width, 0, kMaxMadeText));
  out.clear();
  if (core.size() >= w) {
    out.assign(core.substr(0, w));
    return;
  }
  size_t spare = w - core.size();
  size_t before = how == Justify::kLeft ? 0 : (how == Justify::kRight ? spare : spare / 2);
  out.append(before, ' ');
  out.append(core);
  out.append(spare - before, ' ');
}

std::mt19937_64& Random() {
  // Process-wide like the rest of the evaluator's state; seeded once.
  static std::mt19937_64 engine{std::random_device{}()};
  return engine;
}

// Functions whose value can change between two calls with the same arguments (AGE reads today's
// date when no base date is given).
bool IsPure(uint8_t fn) {
  return fn != kClock && fn != kToday && fn != kRandom && fn != kMemory && fn != kAge;
}

// What every call node shares: the function, its arguments and writing back.
struct CallParts {
  uint8_t fn;
  std::string name;
  std::vector<ListItem> items;
  std::vector<ExprNode*> args;

  CallParts(uint8_t f, std::string_view n, std::vector<ListItem> i)
      : fn(f), name(n), items(std::move(i)), args(ListNodes(items)) {}
  size_t count() const { return args.size(); }
  bool IsConstant() const {
    if (!IsPure(fn)) return false;
    for (ExprNode* a : args) {
      if (!a->IsConstant()) return false;
    }
    return true;
  }
  void Write(std::string& out) const {
    out += name;
    out += '(';
    WriteList(items, out);
    out += ')';
  }
};

class IntegerCall final : public IntegerNode {
 public:
  explicit IntegerCall(CallParts p) : p_(std::move(p)) { set_depth(ListDepth(p_.items) + 1); }

  int64_t Int() override {
    std::vector<ExprNode*>& a = p_.args;
    switch (p_.fn) {
      case kInt: return a[0]->Int();
      case kBor: return a[0]->Int() | a[1]->Int();
      case kBand: return a[0]->Int() & a[1]->Int();
      case kBxor: return a[0]->Int() ^ a[1]->Int();
      case kBshift: {
        // A positive count shifts left, a negative one right keeping the sign (as a division by
        // a power of two rounding down); counts of 64 or more shift everything out.
        int64_t v = a[0]->Int();
        int64_t n = a[1]->Int();
        if (n >= 64) return 0;
        if (n >= 0) return static_cast<int64_t>(static_cast<uint64_t>(v) << n);
        if (n <= -64) return v < 0 ? -1 : 0;
        return v >> -n;
      }
      case kDay: return DayOf(ClampToInt32(a[0]->Int(), -1, kMaxStdDate + 1));
      case kMonth: return MonthOf(ClampToInt32(a[0]->Int(), -1, kMaxStdDate + 1));
      case kYear: return YearOf(ClampToInt32(a[0]->Int(), -1, kMaxStdDate + 1));
      case kDate: {
        // Arguments far beyond any valid date are narrowed to values that are still invalid,
        // so the carrying of months and days stays short.
        int32_t m = ClampToInt32(a[0]->Int(), -1, 200000);
        int32_t d = ClampToInt32(a[1]->Int(), -1, 3200000);
        int32_t y = ClampToInt32(a[2]->Int(), -1, 100000);
        return DateFromMonthDayYear(m, d, y);
      }
      case kClock: return Clock();
      case kToday: return Today();
      case kInrange: {
        double v = a[0]->Real();
        return CompareReals(v, a[1]->Real()) >= 0 && CompareReals(v, a[2]->Real()) <= 0;
      }
      case kInstring: {
        std::string_view needle = a[0]->Text();
        std::string_view hay = a[1]->Text();
        int64_t step = p_.count() > 2 ? a[2]->Int() : 0;
        int64_t start = p_.count() > 3 ? a[3]->Int() : 1;
        return InString(needle, hay, step, start);
      }
      case kRandom: {
        // RANDOM(low, high): a whole number from low to high inclusive (either order);
        // RANDOM(high): from 1 to high; RANDOM(): from 0 to 2,147,483,647.
        int64_t lo = 0, hi = std::numeric_limits<int32_t>::max();
        if (p_.count() == 1) lo = 1, hi = a[0]->Int();
        if (p_.count() == 2) lo = a[0]->Int(), hi = a[1]->Int();
        if (lo > hi) std::swap(lo, hi);
        std::uniform_int_distribution<int64_t> pick(lo, hi);
        return pick(Random());
      }
      case kLen: return static_cast<int64_t>(a[0]->Text().size());
      case kMemory: {
        // MEMORY() or MEMORY(0): bytes of physical memory available now; MEMORY(1): the total.
        bool total = p_.count() > 0 && a[0]->Int() == 1;
        long pages = sysconf(total ? _SC_PHYS_PAGES : _SC_AVPHYS_PAGES);
        long size = sysconf(_SC_PAGESIZE);
        return pages > 0 && size > 0 ? static_cast<int64_t>(pages) * size : 0;
      }
      case kNumeric: return IsNumericText(a[0]->Text()) ? 1 : 0;
      case kVal: {
        std::string_view t = a[0]->Text();
        return t.empty() ? 0 : static_cast<unsigned char>(t[0]);
      }
      case kInlist: {
        // INLIST(value, v1, v2, ...): the position of the first vi equal to value (compared as
        // "=" compares), 0 when none is.
        for (size_t i = 1; i < p_.count(); ++i) {
          if (CompareValues(*a[0], *a[i]) == 0) return static_cast<int64_t>(i);
        }
        return 0;
      }
      default: return 0;
    }
  }
  bool IsConstant() const override { return p_.IsConstant(); }
  void Write(std::string& out) const override { p_.Write(out); }

 private:
  CallParts p_;
};

class FloatingCall final : public FloatingNode {
 public:
  explicit FloatingCall(CallParts p) : p_(std::move(p)) { set_depth(ListDepth(p_.items) + 1); }

  double Real() override {
    std::vector<ExprNode*>& a = p_.args;
    switch (p_.fn) {
      case kAbs: return std::fabs(a[0]->Real());
      case kAsin: return Sanitize(std::asin(a[0]->Real()));
      case kAcos: return Sanitize(std::acos(a[0]->Real()));
      case kAtan: return Sanitize(std::atan(a[0]->Real()));
      case kSin: return Sanitize(std::sin(a[0]->Real()));
      case kCos: return Sanitize(std::cos(a[0]->Real()));
      case kTan: return Sanitize(std::tan(a[0]->Real()));
      case kSqrt: return Sanitize(std::sqrt(a[0]->Real()));
      case kLog10: return Sanitize(std::log10(a[0]->Real()));
      case kLoge: return Sanitize(std::log(a[0]->Real()));
      case kRound: return RoundTo(a[0]->Real(), p_.count() > 1 ? a[1]->Real() : 1.0);
      default: return 0.0;
    }
  }
  bool IsConstant() const override { return p_.IsConstant(); }
  void Write(std::string& out) const override { p_.Write(out); }

 private:
  CallParts p_;
};

class StringCall final : public StringNode {
 public:
  explicit StringCall(CallParts p) : p_(std::move(p)) {
    set_depth(ListDepth(p_.items) + 1);
    // A constant picture (the usual "@N(6)" argument) is compiled once, here.
    if ((p_.fn == kFormat || p_.fn == kDeformat) && p_.count() > 1 && p_.args[1]->IsConstant()) {
      picture_ = CompilePicture(p_.args[1]->Text());
    }
  }

  std::string_view Text() override {
    std::vector<ExprNode*>& a = p_.args;
    switch (p_.fn) {
      case kClip: {
        std::string_view t = a[0]->Text();
        size_t n = t.size();
        while (n > 0 && t[n - 1] == ' ') --n;
        return t.substr(0, n);  // lent from the argument: nothing is copied
      }
      case kUpper:
      case kLower: {
        // Through the locale's case table: a character of the other case class becomes its
        // partner, every other one stays.
        std::string_view t = a[0]->Text();
        text_.resize(t.size());
        const LocaleTables& locale = Locale();
        const uint8_t from = p_.fn == kUpper ? kCharLower : kCharUpper;
        for (size_t i = 0; i < t.size(); ++i) {
          auto c = static_cast<uint8_t>(t[i]);
          text_[i] = static_cast<char>((locale.char_class[c] & from) ? locale.case_partner[c] : c);
        }
        return text_;
      }
      case kSub: {
        std::string_view t = a[0]->Text();
        int64_t start = p_.count() > 1 ? a[1]->Int() : 1;
        int64_t length = p_.count() > 2 ? a[2]->Int() : -1;
        return SubText(t, start, length, p_.count() > 2);
      }
      case kLeft:
      case kRight:
      case kCenter: {
        std::string_view t = a[0]->Text();
        int64_t width = p_.count() > 1 ? a[1]->Int() : static_cast<int64_t>(t.size());
        Justify how = p_.fn == kLeft ? Justify::kLeft
                                     : (p_.fn == kRight ? Justify::kRight : Justify::kCenter);
        JustifyText(t, width, how, text_);
        return text_;
      }
      case kAll: {
        // ALL(text, length): the text repeated to fill `length` characters (default 255); an
        // empty text fills with blanks.
        std::string_view t = a[0]->Text();
        int64_t length = p_.count() > 1 ? a[1]->Int() : 255;
        size_t n = static_cast<size_t>(std::clamp<int64_t>(length, 0, kMaxMadeText));
        text_.clear();
        if (t.empty()) {
          text_.assign(n, ' ');
        } else {
          while (text_.size() < n) text_.append(t.substr(0, n - text_.size()));
        }
        return text_;
      }
      case kChr: {
        int64_t code = a[0]->Int();
        if (code < 0 || code > 255) return {};
        text_.assign(1, static_cast<char>(code));
        return text_;
      }
      case kChoose: {
        // CHOOSE(n, v1, ..., vk): vn when n is 1..k, otherwise the last value (so that
        // CHOOSE(condition, a, b) gives a when the condition is true and b when it is false).
        // CHOOSE(condition) alone gives "1" or "0".
        if (p_.count() == 1) return a[0]->Truth() ? "1" : "0";
        int64_t n = a[0]->Int();
        size_t k = p_.count() - 1;
        size_t pick = n >= 1 && static_cast<uint64_t>(n) <= k ? static_cast<size_t>(n) : k;
        return a[pick]->Text();
      }
      case kAge: {
        int32_t birth = ClampToInt32(a[0]->Int(), -1, kMaxStdDate + 1);
        if (p_.count() > 1) {
          text_ = Age(birth, ClampToInt32(a[1]->Int(), -1, kMaxStdDate + 1));
        } else {
          text_ = Age(birth);
        }
        return text_;
      }
      case kGetini: return {};  // INI files are not read inside expressions
      case kFormat: return Format();
      case kDeformat: return Deformat();
      default: return {};
    }
  }
  bool IsConstant() const override { return p_.IsConstant(); }
  void Write(std::string& out) const override { p_.Write(out); }

 private:
  const CompiledPicture& PictureArgument() {
    if (!picture_) scratch_picture_ = CompilePicture(p_.args[1]->Text());
    return picture_ ? *picture_ : scratch_picture_;
  }

  // FORMAT(value, picture): the value laid out by the picture; without a picture, its text.
  std::string_view Format() {
    ExprNode& v = *p_.args[0];
    if (p_.count() < 2) return v.Text();
    const CompiledPicture& pic = PictureArgument();
    switch (v.kind()) {
      case ResultKind::kInteger: text_ = cinevo::Format(pic, v.Int()); break;
      case ResultKind::kFloating: text_ = cinevo::FormatReal(pic, v.Real()); break;
      case ResultKind::kString: text_ = cinevo::Format(pic, v.Text()); break;
    }
    return text_;
  }

  // DEFORMAT(text, picture): the value the text stands for under the picture, as text (empty
  // when the text does not fit the picture). Without a picture: the digits, signs and decimal
  // points of the text.
  std::string_view Deformat() {
    std::string_view t = p_.args[0]->Text();
    if (p_.count() < 2) {
      text_.clear();
      for (char c : t) {
        if ((c >= '0' && c <= '9') || c == '-' || c == '.') text_ += c;
      }
      return text_;
    }
    DeformatResult r = cinevo::Deformat(PictureArgument(), t);
    text_ = r.ok ? std::move(r.text) : std::string();
    return text_;
  }

  CallParts p_;
  std::string text_;
  std::optional<CompiledPicture> picture_;
  CompiledPicture scratch_picture_;
};

}  // namespace

std::span<const BuiltinInfo> BuiltinFunctions() { return kBuiltins; }

NodePtr MakeCall(uint8_t number, std::string_view name, std::vector<ListItem> args) {
  const BuiltinInfo* info = nullptr;
  for (const BuiltinInfo& b : kBuiltins) {
    if (b.number == number) info = &b;
  }
  if (!info || args.size() < info->min_args || args.size() > info->max_args) return nullptr;
  CallParts parts(number, name, std::move(args));
  switch (info->result) {
    case ResultKind::kInteger: return std::make_unique<IntegerCall>(std::move(parts));
    case ResultKind::kFloating: return std::make_unique<FloatingCall>(std::move(parts));
    case ResultKind::kString: return std::make_unique<StringCall>(std::move(parts));
  }
  return nullptr;
}

std::string_view SubText(std::string_view text, int64_t start, int64_t length, bool has_length) {
  const auto size = static_cast<int64_t>(text.size());
  if (start == 0) start = 1;
  if (start < 0) start = std::max<int64_t>(size + start + 1, 1);
  if (start > size) return {};
  int64_t remaining = size - start + 1;
  int64_t n = !has_length || length < 0 ? remaining : std::min(length, remaining);
  return text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(n));
}

int64_t InString(std::string_view needle, std::string_view haystack, int64_t step, int64_t start) {
  const auto n = static_cast<int64_t>(needle.size());
  const auto h = static_cast<int64_t>(haystack.size());
  if (n == 0 || n > h) return 0;
  if (step == 0) step = n;
  const int64_t last = h - n + 1;  // the last position where the needle fits
  step = std::clamp<int64_t>(step, -(h + 1), h + 1);
  auto matches = [&](int64_t pos) {
    return std::memcmp(haystack.data() + pos - 1, needle.data(), static_cast<size_t>(n)) == 0;
  };
  if (step < 0) {
    if (start > last) start = last;
    for (int64_t pos = start; pos >= 1; pos += step) {
      if (matches(pos)) return pos;
    }
    return 0;
  }
  if (start < 1) start = 1;
  if (start > last) return 0;
  if (step == 1 && n == 1) {
    const void* hit = std::memchr(haystack.data() + start - 1, needle[0], static_cast<size_t>(h - start + 1));
    return hit ? static_cast<const char*>(hit) - haystack.data() + 1 : 0;
  }
  if (step == 1 && n > 4 && h > 256) {
    // Skip table: how far the window may move when its last byte is c (shifts of at most 255).
    std::array<uint8_t, 256> shift;
    const auto far = static_cast<uint8_t>(std::min<int64_t>(n, 255));
    shift.fill(far);
    for (int64_t i = 0; i + 1 < n; ++i) {
      shift[static_cast<uint8_t>(needle[i])] = static_cast<uint8_t>(std::min<int64_t>(n - 1 - i, 255));
    }
    for (int64_t pos = start; pos <= last;) {
      if (matches(pos)) return pos;
      pos += shift[static_cast<uint8_t>(haystack[pos + n - 2])];
    }
    return 0;
  }
  if (step == 1) {
    // Short texts: the needle's first byte found by memchr, the rest compared there.
    const char* const base = haystack.data();
    for (int64_t pos = start; pos <= last; ++pos) {
      const void* hit = std::memchr(base + pos - 1, needle[0], static_cast<size_t>(last - pos + 1));
      if (hit == nullptr) return 0;
      pos = static_cast<const char*>(hit) - base + 1;
      if (matches(pos)) return pos;
    }
    return 0;
  }
  for (int64_t pos = start; pos <= last; pos += step) {
    if (matches(pos)) return pos;
  }
  return 0;
}

double RoundTo(double value, double order) {
  order = std::fabs(order);
  if (!std::isfinite(value) || !std::isfinite(order) || order == 0.0) return value;
  double exponent = std::log10(order);
  double k = std::round(exponent);
  if (std::fabs(exponent - k) < 1e-9 && k >= -30 && k <= 30 && std::fabs(value) < 1e30) {
    // Decimal rounding through the value's 15 significant digits.
    const int places = static_cast<int>(-k);
    DecimalAccumulator d = DecimalFromReal(value);
    const int cut = DecimalAccumulator::kUnits - places;  // the lowest cell kept
    const bool up = d.cells[cut - 1] > 4;
    for (int i = 0; i < cut; ++i) d.cells[i] = 0;
    for (int i = cut; up && i < DecimalAccumulator::kCells; ++i) {
      if (++d.cells[i] < 10) break;
      d.cells[i] = 0;
    }
    d.low = 0;
    d.high = DecimalAccumulator::kCells - 1;
    d.Normalize();
    return DecimalToReal(d);
  }
  double q = value / order;
  double r = q < 0 ? -std::floor(-q + 0.5) : std::floor(q + 0.5);
  return r * order;
}

bool IsNumericText(std::string_view text) {
  size_t i = 0, e = text.size();
  while (i < e && text[i] == ' ') ++i;
  while (e > i && text[e - 1] == ' ') --e;
  if (i < e && (text[i] == '-' || text[i] == '+')) ++i;
  size_t digits = 0;
  bool point = false;
  for (; i < e; ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i < e && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < e && (text[i] == '-' || text[i] == '+')) ++i;
    size_t exp_digits = 0;
    while (i < e && text[i] >= '0' && text[i] <= '9') ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  return i == e;
}

}  // namespace cinevo
