#include "classlib/thumb_step.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace cinevo::classlib {

namespace {

constexpr int kEntries = 100;
constexpr int kRuntimeLength = 4;
constexpr size_t kLimitLength = 80;
constexpr size_t kRootLength = 39;

constexpr char kNameTableText[] =
    "   ALBAMEARNBAKBATBENBIABOBBRABROBUACACCARCENCHRCOECONCORCRUDASDELDIADONDURELDEVEFELFISFLO"
    "FREFUTGARGIBGOLGOSGREGUTHAMHEMHOBHOTINGJASJONKAGKEAKIRKORKYOLATLEOLIGLOUMACMAQMARMAUMCKMER"
    "MILMONMORNATNOLOKEPAGPAUPETPINPORPULRAUREYROBROSRUBSALSCASCHSCRSHASIGSKISNASOUSTESTISUNTAY"
    "TIRTUCVANWACWASWEIWIEWIMWOLYOR";
static_assert(sizeof(kNameTableText) - 1 == 300);

// Two blanks; AF AN AT; for B..P and R..Y the letter with blank, F, N, T; for Q and Z the letter
// with blank and N.
constexpr auto kAlphaTableText = [] {
  struct Text {
    char bytes[201] = {};
  } t;
  int n = 0;
  auto put = [&](char a, char b) {
    t.bytes[n++] = a;
    t.bytes[n++] = b;
  };
  put(' ', ' ');
  put('A', 'F');
  put('A', 'N');
  put('A', 'T');
  for (char c = 'B'; c <= 'Z'; ++c) {
    if (c == 'Q' || c == 'Z') {
      put(c, ' ');
      put(c, 'N');
    } else {
      put(c, ' ');
      put(c, 'F');
      put(c, 'N');
      put(c, 'T');
    }
  }
  return t;
}();
static_assert(kAlphaTableText.bytes[199] == 'N' && kAlphaTableText.bytes[198] == 'Z');

constexpr std::string_view kPunctuation = "`!\"\xA3$%^&*()'-=_+[]#;~@:/.,?\\| ";

// Byte-wise comparison, the shorter operand filled with blanks.
int ComparePadded(std::string_view a, std::string_view b) {
  size_t n = std::max(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : ' ';
    unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : ' ';
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

int Mirror(int position, bool descending) { return descending ? kEntries - position : position; }

}  // namespace

const std::string_view kNameTable(kNameTableText, 300);
const std::string_view kAlphaTable(kAlphaTableText.bytes, 200);

// --- StringStep ---------------------------------------------------------------------------------

void StringStep::Init(uint8_t controls, LookupMode mode) {
  controls_ = controls;
  mode_ = mode;
  root_.clear();
  runtime_.clear();
  sortChars_.clear();
  switch (mode) {
    case LookupMode::kName:
      table_ = kNameTable;
      testLen_ = 3;
      break;
    case LookupMode::kAlpha:
      table_ = kAlphaTable;
      testLen_ = 2;
      break;
    case LookupMode::kRuntime: {
      testLen_ = kRuntimeLength;
      const bool caseSensitive = (controls & step::kCaseSensitive) != 0;
      for (int c = 1; c <= 255; ++c) {
        const char ch = static_cast<char>(c);
        bool allowed = false;
        if ((controls & step::kPunctuation) && kPunctuation.find(ch) != std::string_view::npos) allowed = true;
        if ((controls & step::kDigits) && c >= '0' && c <= '9') allowed = true;
        if ((controls & step::kLetters) && std::isalpha(c) && c < 128 && (caseSensitive || std::isupper(c))) {
          allowed = true;
        }
        if (allowed) sortChars_.push_back(ch);
      }
      // A table over no characters would divide by zero; the blank stands in for all of them.
      if (sortChars_.empty()) sortChars_ = " ";
      runtime_.assign(kEntries * kRuntimeLength, sortChars_.front());
      table_ = runtime_;
      break;
    }
  }
}

void StringStep::Kill() {
  runtime_.clear();
  sortChars_.clear();
  if (mode_ == LookupMode::kRuntime) table_ = {};
}

std::string StringStep::Fold(std::string_view text) const {
  std::string s(text);
  if (!(controls_ & step::kCaseSensitive)) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return s;
}

int StringStep::GetPercentile(std::string_view value) const {
  if (table_.empty()) return 1;
  std::string_view text = value;
  if (!root_.empty()) {
    // The characters after the root's length, whatever they begin with.
    text = root_.size() < value.size() ? value.substr(root_.size(), testLen_ + 1) : std::string_view{};
  }
  const std::string folded = Fold(text);
  int i = 0;
  while (i < kEntries && ComparePadded(Entry(i), folded) <= 0) ++i;
  i = Mirror(i, Descending());
  return i == 0 ? 1 : i;
}

std::string StringStep::GetValue(int position) const {
  int p = std::clamp(position, 0, kEntries);
  p = Mirror(p, Descending());
  if (p == 0) p = 1;
  if (table_.empty()) return root_;
  return root_ + std::string(Entry(p - 1));
}

int64_t StringStep::ValueOf(std::string_view text) const {
  const int64_t n = static_cast<int64_t>(sortChars_.size());
  const std::string folded = Fold(text);
  int64_t v = 0;
  for (int k = 0; k < kRuntimeLength; ++k) {
    int64_t digit = 0;
    if (static_cast<size_t>(k) < folded.size()) {
      size_t at = sortChars_.find(folded[k]);
      if (at != std::string::npos) digit = static_cast<int64_t>(at);
    }
    v = v * n + digit;
  }
  return v;
}

std::string StringStep::TextOf(int64_t value) const {
  const int64_t n = static_cast<int64_t>(sortChars_.size());
  std::string out(kRuntimeLength, ' ');
  if (n == 0) return out;
  for (int k = kRuntimeLength - 1; k >= 0; --k) {
    int64_t digit = value % n;
    if (digit < 0) digit += n;
    out[k] = sortChars_[static_cast<size_t>(digit)];
    value = (value - digit) / n;
  }
  return out;
}

void StringStep::SetLimits(std::string_view lowest, std::string_view highest) {
  if (mode_ != LookupMode::kRuntime || sortChars_.empty()) return;
  std::string low(TrimRight(lowest).substr(0, kLimitLength));
  std::string high(TrimRight(highest).substr(0, kLimitLength));
  low = Fold(low);
  high = Fold(high);
  // The limits may come in either order (a descending browse reads its highest value first).
  if (low > high) std::swap(low, high);

  size_t shorter = std::min(low.size(), high.size());
  size_t p = 0;  // 0-based: the first position at which they differ
  while (p < shorter && low[p] == high[p]) ++p;
  root_ = low.substr(0, std::min(p, kRootLength));
  // When the root was cut, the characters compared below start right after it.
  p = root_.size();

  auto four = [&](const std::string& s, char fill) {
    std::string out = p < s.size() ? s.substr(p, kRuntimeLength) : std::string{};
    out.resize(kRuntimeLength, fill);
    return out;
  };
  const int64_t a = ValueOf(four(low, sortChars_.front()));
  const int64_t b = ValueOf(four(high, sortChars_.back()));

  // Entries spread evenly from the lowest (entry 0) to the highest (entry 99), always ascending.
  runtime_.resize(kEntries * kRuntimeLength);
  for (int i = 0; i < kEntries; ++i) {
    const int64_t v = a + (b - a) * i / (kEntries - 1);
    runtime_.replace(static_cast<size_t>(i) * kRuntimeLength, kRuntimeLength, TextOf(v));
  }
  table_ = runtime_;
}

// --- NumericStep --------------------------------------------------------------------------------

namespace {
double Number(std::string_view text) {
  std::string s(text);
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  return std::isfinite(v) ? v : 0.0;
}
}  // namespace

void NumericStep::SetLimits(std::string_view lowest, std::string_view highest) {
  low_ = Number(lowest);
  high_ = Number(highest);
  if (low_ > high_) std::swap(low_, high_);
}

int NumericStep::GetPercentile(std::string_view value) const {
  const double v = Number(value);
  int p;
  if (high_ <= low_) {
    p = v < low_ ? 1 : kEntries;
  } else {
    const double f = (v - low_) / (high_ - low_);
    p = 1 + static_cast<int>(std::floor(std::clamp(f, 0.0, 1.0) * (kEntries - 1) + 1e-9));
  }
  p = Mirror(p, Descending());
  return std::clamp(p, 1, kEntries);
}

std::string NumericStep::GetValue(int position) const {
  int p = std::clamp(position, 0, kEntries);
  p = Mirror(p, Descending());
  if (p == 0) p = 1;
  const double v = low_ + (high_ - low_) * (p - 1) / (kEntries - 1);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

}  // namespace cinevo::classlib
