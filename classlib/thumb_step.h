// Thumb step tables: how a browse's scroll thumb maps to key values.
//
// A browse over a large ordered file cannot know how far between its first and its last record
// a record lies, yet its thumb must show a position (1 ... 100) and jump to one when dragged. A
// step table answers both questions from the sort order's free key value alone:
//
//   GetPercentile(value)  the thumb position of a record whose key value is `value`;
//   GetValue(position)    a key value at which to position the browse for a thumb position.
//
// StringStep keeps 100 ascending boundary texts: the position of a value is the number of
// boundaries at or below it. Three tables exist: a built-in table of common surname beginnings
// (Name), a built-in table of two-letter boundaries (Alpha), and a table computed from the lowest
// and the highest key value of the browse (Runtime). A runtime table divides the range evenly: the
// common beginning of the two limits (the root) is set aside, the next four characters of each are
// read as numbers in the base of the allowed characters (SORTCHARS), and the 100 boundaries are
// spread evenly from the lowest to the highest.
//
// NumericStep does the same for numeric keys by plain proportion between the two limits.
//
// Descending keys run from high to low: the tables stay ascending and only the positions are
// mirrored (p becomes 100 - p), so GetPercentile and GetValue stay each other's inverse.
//
// Invariants:
//  1. A string table holds exactly 100 entries of TESTLEN characters, in ascending order.
//  2. ValueOf(TextOf(v)) == v for every 0 <= v < n^4 (n the number of SORTCHARS).
//  3. GetPercentile returns 1 ... 100.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cinevo::classlib {

// StepControls flags.
namespace step {
inline constexpr uint8_t kLetters = 1;
inline constexpr uint8_t kPunctuation = 2;
inline constexpr uint8_t kDigits = 4;
inline constexpr uint8_t kCaseSensitive = 8;
inline constexpr uint8_t kDescending = 16;
}  // namespace step

// LookupMode of a string table.
enum class LookupMode : uint8_t { kName = 1, kAlpha = 2, kRuntime = 3 };

// The built-in tables, stored as one text each and used in place.
extern const std::string_view kNameTable;   // 100 entries of 3 characters
extern const std::string_view kAlphaTable;  // 100 entries of 2 characters

class StepTable {
 public:
  virtual ~StepTable() = default;
  virtual int GetPercentile(std::string_view value) const = 0;  // 1 ... 100
  virtual std::string GetValue(int position) const = 0;
  virtual void Kill() {}
  virtual void SetLimits(std::string_view lowest, std::string_view highest) = 0;
  virtual bool UsesRuntimeTable() const = 0;

  uint8_t Controls() const { return controls_; }
  void SetControls(uint8_t flags) { controls_ = flags; }
  bool Descending() const { return (controls_ & step::kDescending) != 0; }

 protected:
  uint8_t controls_ = 0;
};

class StringStep : public StepTable {
 public:
  void Init(uint8_t controls, LookupMode mode);
  int GetPercentile(std::string_view value) const override;
  std::string GetValue(int position) const override;
  void Kill() override;
  void SetLimits(std::string_view lowest, std::string_view highest) override;
  bool UsesRuntimeTable() const override { return mode_ == LookupMode::kRuntime; }

  // Runtime tables: four characters as a number in the base of SORTCHARS (a character that is
  // not allowed, or missing, counts as the lowest one), and back.
  int64_t ValueOf(std::string_view text) const;
  std::string TextOf(int64_t value) const;

  LookupMode Mode() const { return mode_; }
  int TestLength() const { return testLen_; }
  const std::string& Root() const { return root_; }
  const std::string& SortChars() const { return sortChars_; }
  // Entry i (0-based) of the table.
  std::string_view Entry(int i) const { return table_.substr(static_cast<size_t>(i) * testLen_, testLen_); }

 private:
  std::string Fold(std::string_view text) const;  // upper-cased unless case sensitive

  LookupMode mode_ = LookupMode::kAlpha;
  std::string_view table_;   // a built-in table, or runtime_
  std::string runtime_;      // the computed table (Runtime)
  std::string root_;         // at most 39 characters
  std::string sortChars_;    // allowed characters in code order (Runtime)
  int testLen_ = 2;
};

// Numeric keys: positions in proportion between the lowest and the highest value.
class NumericStep : public StepTable {
 public:
  void Init(uint8_t controls) { controls_ = controls; }
  int GetPercentile(std::string_view value) const override;
  std::string GetValue(int position) const override;
  void SetLimits(std::string_view lowest, std::string_view highest) override;
  bool UsesRuntimeTable() const override { return true; }

  double Low() const { return low_; }
  double High() const { return high_; }

 private:
  double low_ = 0;
  double high_ = 0;
};

}  // namespace cinevo::classlib
