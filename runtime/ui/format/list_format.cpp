#include "runtime/ui/format/list_format.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <optional>

namespace cinevo {
namespace {

// Numbers are clamped well inside int so that scaling and adding them cannot overflow.
constexpr long kNumberLimit = 1'000'000;

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

std::optional<Justify> JustifyOf(char c) {
  switch (Upper(c)) {
    case 'L': return Justify::kLeft;
    case 'R': return Justify::kRight;
    case 'C': return Justify::kCenter;
    case 'D': return Justify::kDecimal;
    default: return std::nullopt;
  }
}

// A column or group as written, in dialog units; scaled to pixels once the whole format parsed.
struct RawColumn {
  ListColumn column;
  int width = 0;
  int indent = 0;
  int headerIndent = 0;
  int scaled = 0;
  int hashField = 0;  // from "#n#"; 0 when not given
};

struct RawGroup {
  ListGroup group;
  int width = -1;  // from "(n)" after "]"; -1 when not given
  int headerIndent = 0;
  int scaled = 0;
};

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  // 0 or the 1-based offset of the first bad character.
  int Run() {
    if (s_.empty()) return 1;
    while (pos_ < s_.size()) {
      if (s_[pos_] == '[') {
        if (!Group()) return Fail();
      } else if (!Column(0)) {
        return Fail();
      }
    }
    return 0;
  }

  std::vector<RawColumn> columns;
  std::vector<RawGroup> groups;

 private:
  int Fail() const { return static_cast<int>(std::min(failAt_, s_.size())) + 1; }
  bool Error() {
    failAt_ = pos_;
    return false;
  }
  bool AtEnd() const { return pos_ >= s_.size(); }
  char Peek() const { return AtEnd() ? '\0' : s_[pos_]; }

  // A decimal number with an optional "-", its size held at `limit`.
  bool Number(int* value, long limit = kNumberLimit) {
    size_t start = pos_;
    bool negative = false;
    if (Peek() == '-') {
      negative = true;
      ++pos_;
    }
    if (!IsDigit(Peek())) {
      pos_ = start;
      return Error();
    }
    long v = 0;
    while (IsDigit(Peek())) {
      v = std::min(limit, v * 10 + (s_[pos_] - '0'));
      ++pos_;
    }
    *value = static_cast<int>(negative ? -v : v);
    return true;
  }

  // "(" number ")"
  bool Parenthesised(int* value) {
    if (Peek() != '(') return Error();
    ++pos_;
    if (!Number(value)) return false;
    if (Peek() != ')') return Error();
    ++pos_;
    return true;
  }

  // A colour: hexadecimal digits ended by "H", or a decimal number with an optional "-".
  bool Colour(int32_t* value) {
    size_t end = pos_;
    while (end < s_.size() && IsHexDigit(s_[end])) ++end;
    if (end > pos_ && end < s_.size() && Upper(s_[end]) == 'H') {
      uint32_t v = 0;
      for (size_t i = pos_; i < end; ++i) {
        char c = Upper(s_[i]);
        v = v * 16 + static_cast<uint32_t>(IsDigit(c) ? c - '0' : c - 'A' + 10);
        if (v > 0xFFFFFFu) v = 0xFFFFFFu;  // a colour has 24 bits
      }
      *value = static_cast<int32_t>(v);
      pos_ = end + 1;
      return true;
    }
    // Decimal colours are written as whole 24-bit numbers (16711680 is pure blue).
    int d = 0;
    if (!Number(&d, 0xFFFFFF)) return false;
    *value = d;
    return true;
  }

  // "E(" up to four colours separated by "," ")"; an empty place leaves that colour unset.
  bool Colours(ListColumn& c) {
    ++pos_;  // E
    if (Peek() != '(') return Error();
    ++pos_;
    int n = 0;
    for (;;) {
      if (n == 4) return Error();
      if (Peek() != ',' && Peek() != ')') {
        if (!Colour(&c.colours[static_cast<size_t>(n)])) return false;
      }
      ++n;
      if (Peek() == ',') {
        ++pos_;
        continue;
      }
      if (Peek() == ')') {
        ++pos_;
        break;
      }
      return Error();
    }
    c.colourCount = n;
    return true;
  }

  // "~" text "~" [justify] ["(" indent ")"]
  bool Header(std::string* text, Justify* justify, int* indent) {
    size_t close = s_.find('~', pos_ + 1);
    if (close == std::string_view::npos) return Error();
    *text = std::string(s_.substr(pos_ + 1, close - pos_ - 1));
    pos_ = close + 1;
    if (auto j = JustifyOf(Peek())) {
      *justify = *j;
      ++pos_;
    }
    if (Peek() == '(') return Parenthesised(indent);
    return true;
  }

  // Modifiers shared by columns and groups; false when `c` is not one (nothing consumed).
  static bool Modifier(char c, uint16_t* flags, uint8_t* options) {
    switch (Upper(c)) {
      case '*': *options |= column_option::kColours; return true;
      case 'F': *flags |= column_flag::kFixed; return true;
      case 'I': *flags |= column_flag::kIcon; return true;
      case 'M': *flags |= column_flag::kResizable; return true;
      case '_': *flags |= column_flag::kUnderline; return true;
      case '|': *flags |= column_flag::kRightBorder; return true;
      default: return false;
    }
  }

  // "H" or "S" with an optional "(n)".
  bool HOrS(uint16_t* flags, uint8_t* options, int* hNumber, int* scaled) {
    char c = Upper(s_[pos_++]);
    if (c == 'S') *flags |= column_flag::kScroll;
    if (Peek() != '(') return true;
    if (c == 'H') {
      *options |= column_option::kHNumber;
      return Parenthesised(hNumber);
    }
    return Parenthesised(scaled);
  }

  // "T" ["(" one or more of 1 B I L R ")"]
  bool Tree(ListColumn& c) {
    ++pos_;
    c.flags |= column_flag::kTree;
    if (Peek() != '(') return true;
    ++pos_;
    bool any = false;
    for (;;) {
      switch (Upper(Peek())) {
        case '1': c.options |= column_option::kTreeLevel1; break;
        case 'B': c.options |= column_option::kTreeBoxes; break;
        case 'I': c.options |= column_option::kTreeIcons; break;
        case 'L': c.options |= column_option::kTreeLines; break;
        case 'R': c.options |= column_option::kTreeRoot; break;
        case ')':
          if (!any) return Error();
          ++pos_;
          return true;
        default: return Error();
      }
      any = true;
      ++pos_;
    }
  }

  bool Column(int group) {
    RawColumn raw;
    ListColumn& c = raw.column;
    c.group = group;
    if (!Number(&raw.width)) return false;
    auto j = JustifyOf(Peek());
    if (!j) return Error();
    c.justify = c.headerJustify = *j;
    ++pos_;
    if (Peek() == '(' && !Parenthesised(&raw.indent)) return false;
    raw.headerIndent = raw.indent;
    bool colours = false;
    while (!AtEnd()) {
      char ch = Peek();
      if (Modifier(ch, &c.flags, &c.options)) {
        ++pos_;
        continue;
      }
      switch (Upper(ch)) {
        case '#': {
          ++pos_;
          int field = 0;
          if (!Number(&field)) return false;
          if (field < 1 || Peek() != '#') return Error();
          ++pos_;
          raw.hashField = field;
          continue;
        }
        case '/':
          c.flags |= column_flag::kNewLine;
          ++pos_;
          continue;
        case '?':
          c.flags |= column_flag::kLocator;
          ++pos_;
          continue;
        case '@': {
          size_t close = s_.find('@', pos_ + 1);
          if (close == std::string_view::npos) return Error();
          if (!c.hasPicture) {
            c.hasPicture = true;
            c.pictureText = std::string(s_.substr(pos_ + 1, close - pos_ - 1));
            c.picture = CompilePicture(c.pictureText);
          }
          pos_ = close + 1;
          continue;
        }
        case 'E':
          if (colours) return Error();  // allowed once per column
          colours = true;
          if (!Colours(c)) return false;
          continue;
        case 'H':
        case 'S':
          if (!HOrS(&c.flags, &c.options, &c.hNumber, &raw.scaled)) return false;
          continue;
        case 'T':
          if (!Tree(c)) return false;
          continue;
        case '~':
          if (!Header(&c.header, &c.headerJustify, &raw.headerIndent)) return false;
          continue;
        default:
          break;
      }
      break;  // the column ends here
    }
    columns.push_back(std::move(raw));
    // What follows must begin another item, end the group, or end the format.
    if (AtEnd()) return true;
    char next = Peek();
    if (IsDigit(next) || next == '-') return true;
    if (next == '[' && group == 0) return true;
    if (next == ']' && group != 0) return true;
    return Error();
  }

  bool Group() {
    ++pos_;  // [
    RawGroup raw;
    const int number = static_cast<int>(groups.size()) + 1;
    raw.group.firstColumn = static_cast<int>(columns.size());
    do {
      if (!Column(number)) return false;
    } while (Peek() != ']');
    ++pos_;
    raw.group.lastColumn = static_cast<int>(columns.size()) - 1;
    if (Peek() == '(' && !Parenthesised(&raw.width)) return false;
    ListGroup& g = raw.group;
    int unusedH = 0;
    while (!AtEnd()) {
      char ch = Peek();
      if (Modifier(ch, &g.flags, &g.options)) {
        ++pos_;
        continue;
      }
      if (Upper(ch) == 'H' || Upper(ch) == 'S') {
        if (!HOrS(&g.flags, &g.options, &unusedH, &raw.scaled)) return false;
        continue;
      }
      if (ch == '~') {
        if (!Header(&g.header, &g.headerJustify, &raw.headerIndent)) return false;
        continue;
      }
      break;
    }
    groups.push_back(std::move(raw));
    if (AtEnd() || IsDigit(Peek()) || Peek() == '-' || Peek() == '[') return true;
    return Error();
  }

  std::string_view s_;
  size_t pos_ = 0;
  size_t failAt_ = 0;
};

}  // namespace

int DialogUnits::X(int units) const {
  long long v = static_cast<long long>(units) * std::max(averageCharWidth, 1);
  return static_cast<int>((v >= 0 ? v + 2 : v - 2) / 4);
}

int DialogUnits::Y(int units) const {
  long long v = static_cast<long long>(units) * std::max(charHeight, 1);
  return static_cast<int>((v >= 0 ? v + 4 : v - 4) / 8);
}

int ListLayout::FieldsUsed() const {
  int most = 0;
  for (const ListColumn& c : columns) {
    most = std::max({most, c.field, c.colourField ? c.colourField + 3 : 0, c.iconField,
                     c.treeField});
  }
  return most;
}

int CheckListFormat(std::string_view format) { return Parser(format).Run(); }

bool BuildListColumns(std::string_view format, const DialogUnits& units, ListLayout* out) {
  *out = ListLayout{};
  Parser p(format);
  if (p.Run() != 0) return false;

  // Queue fields, in column order.
  int running = 1;
  for (RawColumn& raw : p.columns) {
    ListColumn& c = raw.column;
    c.field = raw.hashField ? raw.hashField : running;
    int next = c.field + 1;
    if (c.options & column_option::kColours) {
      c.colourField = next;
      next += 4;
    }
    if (c.flags & column_flag::kIcon) c.iconField = next++;
    if (c.flags & column_flag::kTree) c.treeField = next++;
    running = next;
  }

  // Placement: left to right; inside a group "/" starts a new line at the group's left edge.
  int x = 0;
  size_t i = 0;
  size_t g = 0;
  while (i < p.columns.size()) {
    const int group = p.columns[i].column.group;
    const int groupLeft = x;
    int lineX = x;
    int line = 0;
    int right = x;
    do {
      RawColumn& raw = p.columns[i];
      ListColumn& c = raw.column;
      const int width = std::max(0, units.X(raw.width));
      c.left = lineX;
      c.right = lineX + width;
      c.indent = units.X(raw.indent);
      c.headerIndent = units.X(raw.headerIndent);
      c.scaled = units.X(raw.scaled);
      c.line = line;
      right = std::max(right, c.right);
      lineX = c.right;
      if (group != 0 && (c.flags & column_flag::kNewLine)) {
        ++line;
        lineX = groupLeft;
      }
      if (c.flags & column_flag::kLocator && out->locatorColumn == 0) {
        out->locatorColumn = static_cast<int>(i) + 1;
      }
      if (!c.header.empty()) out->hasHeaders = true;
      ++i;
    } while (group != 0 && i < p.columns.size() && p.columns[i].column.group == group);
    int lines = group != 0 && (p.columns[i - 1].column.flags & column_flag::kNewLine) ? line : line + 1;
    lines = std::max(lines, 1);
    if (group != 0) {
      RawGroup& rg = p.groups[g++];
      rg.group.left = groupLeft;
      // A width given after "]" overrides the extent of the group's columns.
      rg.group.right = rg.width >= 0 ? groupLeft + std::max(0, units.X(rg.width)) : right;
      rg.group.lines = lines;
      rg.group.headerIndent = units.X(rg.headerIndent);
      rg.group.scaled = units.X(rg.scaled);
      if (!rg.group.header.empty()) out->hasHeaders = true;
      right = std::max(right, rg.group.right);
      out->groups.push_back(rg.group);
    }
    out->lines = std::max(out->lines, lines);
    x = right;
  }
  out->totalWidth = x;
  out->columns.reserve(p.columns.size());
  for (RawColumn& raw : p.columns) out->columns.push_back(std::move(raw.column));
  return true;
}

}  // namespace cinevo
