#include "runtime/data/view/view_planner.h"

#include <cctype>
#include <cstdlib>
#include <optional>

#include "runtime/core/error.h"
#include "runtime/core/eval.h"
#include "runtime/core/eval_symbols.h"
#include "runtime/core/locale_tables.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/file_errors.h"
#include "runtime/data/view/view_records.h"

namespace cinevo::view {
namespace {

bool IdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ':'; }

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Calls `at(i, depth)` for every character outside quotes; `at` returns false to stop.
template <typename F>
void ScanTopLevel(std::string_view text, F at) {
  int depth = 0;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '\'') quoted = false;  // a doubled quote closes and opens again
      continue;
    }
    if (c == '\'') {
      quoted = true;
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (!at(i, depth)) return;
  }
}

// A word of the text that starts at i: the identifier characters from there.
std::string_view WordAt(std::string_view text, size_t i) {
  if (i > 0 && IdentChar(text[i - 1])) return {};
  size_t j = i;
  while (j < text.size() && IdentChar(text[j])) ++j;
  return text.substr(i, j - i);
}

// ---------------------------------------------------------------------------------------------
// Terms.

enum class TermOp { kEqual, kAtLeast, kAtMost };

struct Term {
  int field = 0;         // 1-based field of the primary file
  bool upper = false;    // the field was written as UPPER(field)
  TermOp op = TermOp::kEqual;
  std::string image;     // the constant as a field image
  bool exact_upper = true;  // the constant text equals its upper case
};

int FieldByLabel(const FileDeclaration& d, std::string_view label) {
  for (size_t i = 0; i < d.fields.size(); ++i) {
    if (d.fields[i].type == TypeCode::kEnd) break;
    if (SameWord(d.fields[i].label, label)) return static_cast<int>(i) + 1;
  }
  return 0;
}

// "FIELD" or "UPPER(FIELD)": the field's number, or 0.
int ParseFieldSide(const FileDeclaration& d, std::string_view s, bool& upper) {
  s = Trim(s);
  upper = false;
  if (s.size() > 6 && SameWord(s.substr(0, 5), "UPPER")) {
    std::string_view rest = Trim(s.substr(5));
    if (rest.size() >= 2 && rest.front() == '(' && rest.back() == ')') {
      upper = true;
      s = Trim(rest.substr(1, rest.size() - 2));
    }
  }
  for (char c : s) {
    if (!IdentChar(c)) return 0;
  }
  return FieldByLabel(d, s);
}

// A constant expression: compiled where no variable can be seen, so that any name but a
// built-in function fails. The runtime's error is left as it was.
std::unique_ptr<CompiledExpression> CompileConstant(std::string_view text) {
  const int before = ErrorCode();
  PushScope(false);
  auto x = CompiledExpression::Compile(text);
  PopScope();
  if (before == 0) {
    ClearRuntimeError();
  } else {
    PostError(before);
  }
  return x;
}

bool MakeImage(const FieldDeclaration& f, CompiledExpression& x, std::string& image, bool& exact_upper) {
  image.assign(f.size, '\0');
  uint8_t* p = reinterpret_cast<uint8_t*>(image.data());
  if (f.type == TypeCode::kString) {
    if (x.kind() != ResultKind::kString) return false;
    std::string text = x.String();
    std::string_view t = text;
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    if (t.size() > f.size) return false;  // no value of the field can equal or bound it
    StoreString(image.data(), f.size, t);
    for (char c : t) {
      uint8_t u = static_cast<uint8_t>(c);
      if (Locale().char_class[u] & kCharLower) exact_upper = false;
    }
    return true;
  }
  if (x.kind() != ResultKind::kInteger) return false;
  const int64_t v = x.Integer();
  auto fits = [&](int64_t lo, int64_t hi) { return v >= lo && v <= hi; };
  switch (f.type) {
    case TypeCode::kByte:
      if (!fits(0, 255)) return false;
      p[0] = static_cast<uint8_t>(v);
      return true;
    case TypeCode::kShort:
      if (!fits(-32768, 32767)) return false;
      StoreU16(p, static_cast<uint16_t>(v));
      return true;
    case TypeCode::kUShort:
      if (!fits(0, 65535)) return false;
      StoreU16(p, static_cast<uint16_t>(v));
      return true;
    case TypeCode::kLong:
      if (!fits(INT32_MIN, INT32_MAX)) return false;
      StoreU32(p, static_cast<uint32_t>(v));
      return true;
    case TypeCode::kULong:
    case TypeCode::kDate:
    case TypeCode::kTime:
      if (!fits(0, UINT32_MAX)) return false;
      StoreU32(p, static_cast<uint32_t>(v));
      return true;
    default:
      return false;
  }
}

std::optional<Term> ParseTerm(const FileDeclaration& d, std::string_view text) {
  size_t op_at = std::string_view::npos, op_len = 0;
  int count = 0;
  ScanTopLevel(text, [&](size_t i, int depth) {
    char c = text[i];
    if (depth != 0 || (c != '=' && c != '<' && c != '>' && c != '~')) return true;
    ++count;
    if (op_at == std::string_view::npos) {
      op_at = i;
      op_len = (i + 1 < text.size() && (text[i + 1] == '=' || text[i + 1] == '<' || text[i + 1] == '>')) ? 2 : 1;
    }
    return true;
  });
  if (op_at == std::string_view::npos || count != static_cast<int>(op_len)) return std::nullopt;
  std::string_view op = text.substr(op_at, op_len);
  Term t;
  if (op == "=") {
    t.op = TermOp::kEqual;
  } else if (op == ">=") {
    t.op = TermOp::kAtLeast;
  } else if (op == "<=") {
    t.op = TermOp::kAtMost;
  } else {
    return std::nullopt;
  }
  t.field = ParseFieldSide(d, text.substr(0, op_at), t.upper);
  if (t.field == 0) return std::nullopt;
  const FieldDeclaration& f = d.fields[t.field - 1];
  if (!RangeType(f.type) || !f.ElementCount() || f.ElementCount() != 1) return std::nullopt;
  if (t.upper && f.type != TypeCode::kString) return std::nullopt;
  auto value = CompileConstant(text.substr(op_at + op_len));
  if (!value) return std::nullopt;
  if (!MakeImage(f, *value, t.image, t.exact_upper)) return std::nullopt;
  return t;
}

// ---------------------------------------------------------------------------------------------
// Choosing a key.

struct Candidate {
  KeyRange range;
  std::vector<bool> used;  // terms that leave the filter
  std::string range_text;
  bool excludes_null = false;
  int score = 0;
};

std::string Quoted(const FieldDeclaration& f, const std::string& image) {
  if (f.type != TypeCode::kString) {
    int64_t v = 0;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(image.data());
    switch (f.type) {
      case TypeCode::kByte: v = p[0]; break;
      case TypeCode::kShort: v = static_cast<int16_t>(LoadU16(p)); break;
      case TypeCode::kUShort: v = LoadU16(p); break;
      case TypeCode::kLong: v = static_cast<int32_t>(LoadU32(p)); break;
      default: v = LoadU32(p); break;
    }
    return std::to_string(v);
  }
  std::string_view t = image;
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  return "'" + std::string(t) + "'";
}

bool IsNullImage(const FieldDeclaration& f, const std::string& image) {
  for (char c : image) {
    if (c != (f.type == TypeCode::kString ? ' ' : '\0')) return false;
  }
  return true;
}

Candidate RangeOn(const FileDeclaration& d, int key, const std::vector<std::optional<Term>>& terms) {
  Candidate c;
  c.range.key = key;
  c.used.assign(terms.size(), false);
  const KeyDeclaration& k = d.keys[key];
  const bool nocase = (k.flags & kKeyNoCase) != 0;
  auto usable = [&](const Term& t, bool bound) {
    if (d.fields[t.field - 1].type != TypeCode::kString) return true;
    if (bound) return nocase ? (t.upper && t.exact_upper) : !t.upper;
    return nocase || !t.upper;
  };
  for (size_t i = 0; i < k.components.size(); ++i) {
    const int field = std::abs(k.components[i]);
    const FieldDeclaration& f = d.fields[field - 1];
    int equal = -1;
    for (size_t j = 0; j < terms.size(); ++j) {
      if (terms[j] && terms[j]->field == field && terms[j]->op == TermOp::kEqual && usable(*terms[j], false)) {
        equal = static_cast<int>(j);
        break;
      }
    }
    if (equal >= 0) {
      const Term& t = *terms[equal];
      c.range.fixed.push_back(t.image);
      // Exact: a plain term over a key that respects case, an upper-case term over one that
      // ignores it, and any number.
      c.used[equal] = f.type != TypeCode::kString || (nocase ? (t.upper && t.exact_upper) : !t.upper);
      if (!IsNullImage(f, t.image)) c.excludes_null = true;
      if (!c.range_text.empty()) c.range_text += " AND ";
      c.range_text += (t.upper ? "UPPER(" + f.label + ")" : f.label) + " = " + Quoted(f, t.image);
      c.score += 2;
      continue;
    }
    std::string null_image(f.size, f.type == TypeCode::kString ? ' ' : '\0');
    for (const auto& t : terms) {
      if (!t || t->field != field || t->op == TermOp::kEqual || !usable(*t, true)) continue;
      std::string& bound = t->op == TermOp::kAtLeast ? c.range.low : c.range.high;
      bool& has = t->op == TermOp::kAtLeast ? c.range.has_low : c.range.has_high;
      if (has) continue;
      has = true;
      bound = t->image;
      if (t->op == TermOp::kAtLeast ? CompareImages(f, nocase, bound, null_image) > 0
                                    : CompareImages(f, nocase, bound, null_image) < 0) {
        c.excludes_null = true;
      }
      if (!c.range_text.empty()) c.range_text += " AND ";
      c.range_text += (t->upper ? "UPPER(" + f.label + ")" : f.label) + (t->op == TermOp::kAtLeast ? " >= " : " <= ") +
                      Quoted(f, t->image);
    }
    if (c.range.has_low || c.range.has_high) c.score += 1;
    break;
  }
  return c;
}

// How the order text matches key `key` from component `from` on: 1 forward, -1 backwards, 0 not.
// `to_end` tells whether it reaches the key's last component.
int OrderMatch(const FileDeclaration& d, int key, size_t from, const std::vector<OrderText>& order, bool& to_end) {
  const KeyDeclaration& k = d.keys[key];
  const bool nocase = (k.flags & kKeyNoCase) != 0;
  if (order.empty() || from + order.size() > k.components.size()) return 0;
  int direction = 0;
  for (size_t i = 0; i < order.size(); ++i) {
    const int comp = k.components[from + i];
    bool upper = false;
    const int field = ParseFieldSide(d, order[i].expression, upper);
    if (field != std::abs(comp)) return 0;
    const bool text = d.fields[field - 1].type == TypeCode::kString;
    if (!text && upper) return 0;
    if (text && upper != nocase) return 0;
    if (!text && !RangeType(d.fields[field - 1].type)) return 0;
    const int dir = (order[i].descending == (comp < 0)) ? 1 : -1;
    if (direction != 0 && dir != direction) return 0;
    direction = dir;
  }
  to_end = from + order.size() == k.components.size();
  return direction;
}

std::string JoinTerms(const std::vector<std::string>& terms, const std::vector<bool>& used) {
  std::string out;
  for (size_t i = 0; i < terms.size(); ++i) {
    if (i < used.size() && used[i]) continue;
    if (!out.empty()) out += " AND ";
    out += terms[i];
  }
  return out;
}

}  // namespace

bool SplitConjunction(std::string_view text, std::vector<std::string>& terms) {
  terms.clear();
  bool has_or = false;
  size_t start = 0;
  std::vector<std::pair<size_t, size_t>> cuts;
  ScanTopLevel(text, [&](size_t i, int depth) {
    if (depth != 0 || !IdentChar(text[i])) return true;
    std::string_view w = WordAt(text, i);
    if (SameWord(w, "OR") || SameWord(w, "XOR")) has_or = true;
    if (SameWord(w, "AND")) cuts.push_back({i, i + 3});
    return true;
  });
  if (has_or) return false;
  for (auto [from, to] : cuts) {
    std::string_view t = Trim(text.substr(start, from - start));
    if (!t.empty()) terms.emplace_back(t);
    start = to;
  }
  std::string_view t = Trim(text.substr(start));
  if (!t.empty()) terms.emplace_back(t);
  return true;
}

std::vector<OrderText> SplitOrder(std::string_view text) {
  std::vector<OrderText> items;
  size_t start = 0;
  std::vector<size_t> commas;
  ScanTopLevel(text, [&](size_t i, int depth) {
    if (depth == 0 && text[i] == ',') commas.push_back(i);
    return true;
  });
  commas.push_back(text.size());
  for (size_t end : commas) {
    std::string_view item = Trim(text.substr(start, end - start));
    start = end + 1;
    OrderText o;
    if (!item.empty() && (item.front() == '+' || item.front() == '-')) {
      o.descending = item.front() == '-';
      item = Trim(item.substr(1));
    }
    if (item.empty()) continue;
    o.expression = std::string(item);
    items.push_back(std::move(o));
  }
  return items;
}

ViewPlan PlainPlan(const ViewDeclaration& view, std::string_view filter, std::string_view order) {
  ViewPlan p;
  p.range.key = view.key;
  p.filter = std::string(Trim(filter));
  p.materialise = !SplitOrder(order).empty();
  p.by_pointer = view.key == kNoKey;
  return p;
}

namespace {

// Whether a file the VIEW joins, at any depth, has a field labelled `label`.
bool JoinedFileHas(const std::vector<JoinDeclaration>& joins, std::string_view label) {
  for (const JoinDeclaration& j : joins) {
    if (FieldByLabel(*j.file->declaration, label) != 0 || JoinedFileHas(j.joins, label)) return true;
  }
  return false;
}

// ViewPlan::screen_field of a plan that sorts in memory.
int ScreenField(const ViewDeclaration& view, const std::vector<OrderText>& items, const ViewPlan& plan) {
  if (!plan.materialise || plan.range.key >= 0 || items.empty()) return 0;
  const std::string_view label = items[0].expression;
  const int field = FieldByLabel(*view.primary->declaration, label);
  if (field == 0 || view.primary->declaration->fields[static_cast<size_t>(field) - 1].type != TypeCode::kString) return 0;
  return JoinedFileHas(view.joins, label) ? 0 : field;
}

}  // namespace

ViewPlan PlanView(const ViewDeclaration& view, std::string_view filter, std::string_view order) {
  ViewPlan plain = PlainPlan(view, filter, order);
  const FileDeclaration& d = *view.primary->declaration;
  const std::vector<OrderText> items = SplitOrder(order);

  std::vector<std::string> texts;
  std::vector<std::optional<Term>> terms;
  if (SplitConjunction(filter, texts)) {
    for (const std::string& t : texts) terms.push_back(ParseTerm(d, t));
  }

  std::optional<Candidate> best;
  bool best_delivers_order = false;
  for (size_t key = 0; key < d.keys.size(); ++key) {
    const KeyDeclaration& k = d.keys[key];
    if (k.IsIndex()) continue;
    const bool own = static_cast<int>(key) == view.key;
    if (!own && view.key != kNoKey) continue;  // another key would change the order of the rows
    Candidate c = RangeOn(d, static_cast<int>(key), terms);
    if ((k.flags & kKeyOpt) && !own && !c.excludes_null) continue;
    // Whether the key gives the order so that nothing need be sorted.
    // The order may name the components the range fixes too: their values are equal in every row.
    bool to_end = false;
    int match = 0;
    for (size_t from = 0; !items.empty() && match == 0 && from <= c.range.fixed.size(); ++from) {
      match = OrderMatch(d, static_cast<int>(key), from, items, to_end);
    }
    bool delivers = false;
    if (items.empty()) {
      delivers = own;
    } else if (match == 1) {
      delivers = own || (to_end && (view.key == kNoKey));
    } else if (match == -1) {
      delivers = to_end && !(k.flags & kKeyDup);
      if (delivers) c.range.backwards = true;
    }
    if (c.score == 0 && !delivers) continue;
    if (c.score == 0 && own && items.empty()) continue;  // the plain stream already reads this way
    const int rank = c.score * 2 + (delivers ? 1 : 0);
    const int best_rank = best ? best->score * 2 + (best_delivers_order ? 1 : 0) : -1;
    if (rank > best_rank) {
      best = std::move(c);
      best_delivers_order = delivers;
    }
  }
  if (!best) {
    plain.screen_field = ScreenField(view, items, plain);
    return plain;
  }

  ViewPlan p;
  p.range = best->range;
  p.range_text = best->range_text;
  p.filter = terms.empty() ? plain.filter : JoinTerms(texts, best->used);
  p.materialise = !best_delivers_order;
  p.by_pointer = view.key == kNoKey;
  p.screen_field = ScreenField(view, items, p);
  return p;
}

std::string ExplainPlan(const ViewDeclaration& view, const ViewPlan& plan) {
  const FileDeclaration& d = *view.primary->declaration;
  std::string out;
  if (plan.range.key < 0) {
    out += "key: none (record order)\n";
  } else {
    out += "key: " + d.keys[plan.range.key].label + (plan.range.backwards ? " (backwards)\n" : " (forward)\n");
  }
  out += "range: " + (plan.range_text.empty() ? std::string("whole file") : plan.range_text) + "\n";
  out += "filter: " + (plan.filter.empty() ? std::string("none") : plan.filter) + "\n";
  out += std::string("materialised: ") + (plan.materialise ? "yes" : "no") + "\n";
  return out;
}

}  // namespace cinevo::view
