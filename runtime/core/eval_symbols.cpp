#include "runtime/core/eval_symbols.h"

#include <memory>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/core/error_codes.h"
#include "runtime/core/eval_builtins.h"

namespace cinevo {
namespace {

uint8_t NameUpper(uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 'a' + 'A') : c; }

// Case-insensitive (ASCII) byte order of two names.
int CompareNames(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    int d = NameUpper(static_cast<uint8_t>(a[i])) - NameUpper(static_cast<uint8_t>(b[i]));
    if (d != 0) return d;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

struct TreeNode {
  SymbolEntry entry;
  std::unique_ptr<TreeNode> left;
  std::unique_ptr<TreeNode> right;
};

// One symbol tree with its dummy root. Insertion and search walk iteratively and the destructor
// unlinks nodes one by one, so a tree filled in sorted order (a long chain) is no danger.
class SymbolTree {
 public:
  SymbolTree() {
    root_ = std::make_unique<TreeNode>();
    root_->entry.kind = SymbolKind::kRoot;
    root_->entry.name = "MMMMMMM";
  }
  ~SymbolTree() {
    std::vector<std::unique_ptr<TreeNode>> pending;
    pending.push_back(std::move(root_));
    while (!pending.empty()) {
      std::unique_ptr<TreeNode> node = std::move(pending.back());
      pending.pop_back();
      if (node->left) pending.push_back(std::move(node->left));
      if (node->right) pending.push_back(std::move(node->right));
    }
  }
  SymbolTree(const SymbolTree&) = delete;
  SymbolTree& operator=(const SymbolTree&) = delete;

  // The entry of `name`, created when absent. The root dummy is never handed out for reuse: a
  // name equal to it goes to its right subtree like any greater name.
  SymbolEntry* Insert(std::string_view name) {
    TreeNode* node = root_.get();
    while (true) {
      int c = CompareNames(name, node->entry.name);
      if (c == 0 && node != root_.get()) return &node->entry;
      std::unique_ptr<TreeNode>& next = c < 0 ? node->left : node->right;
      if (!next) {
        next = std::make_unique<TreeNode>();
        next->entry.name = std::string(name);
        return &next->entry;
      }
      node = next.get();
    }
  }

  const SymbolEntry* Find(std::string_view name) const {
    const TreeNode* node = root_.get();
    while (node) {
      int c = CompareNames(name, node->entry.name);
      if (c == 0 && node != root_.get()) return &node->entry;
      node = c < 0 ? node->left.get() : node->right.get();
    }
    return nullptr;
  }

 private:
  std::unique_ptr<TreeNode> root_;
};

struct ScopeRecord {
  std::unique_ptr<SymbolTree> saved;
  bool stop = false;
  std::unique_ptr<ScopeRecord> next;
};

// Process-wide by design: the program binds names that later compiles look up.
struct SymbolState {
  std::unique_ptr<SymbolTree> current = std::make_unique<SymbolTree>();
  std::unique_ptr<ScopeRecord> scopes;  // top of the scope stack
  int depth = 0;
  std::unique_ptr<SymbolTree> builtins;

  ~SymbolState() {
    // Unlink the scope records one by one (a long stack must not recurse on destruction).
    while (scopes) scopes = std::move(scopes->next);
  }
};

SymbolState& State() {
  static SymbolState state;
  return state;
}

const SymbolTree& Builtins() {
  SymbolState& s = State();
  if (!s.builtins) {
    s.builtins = std::make_unique<SymbolTree>();
    for (const BuiltinInfo& b : BuiltinFunctions()) {
      SymbolEntry* e = s.builtins->Insert(b.name);
      e->kind = SymbolKind::kFunction;
      e->result = b.result;
      e->max_args = b.max_args;
      e->function = b.number;
    }
    static constexpr std::pair<const char*, EvalOp> kKeywords[] = {
        {"NOT", kOpNot}, {"OR", kOpOr}, {"XOR", kOpXor}, {"AND", kOpAnd}};
    for (const auto& [name, op] : kKeywords) {
      SymbolEntry* e = s.builtins->Insert(name);
      e->kind = SymbolKind::kOperator;
      e->result = ResultKind::kInteger;
      e->op = op;
    }
  }
  return *s.builtins;
}

// The name part of a BIND argument: letters, digits, "_" and ":", plus one "#", "$" or '"'.
std::string_view BindName(std::string_view text) {
  size_t n = 0;
  while (n < text.size()) {
    auto c = static_cast<unsigned char>(text[n]);
    bool ok = c == '_' || c == ':' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
              (c >= 'a' && c <= 'z') || IsNameChar(c);
    if (!ok) break;
    ++n;
  }
  if (n < text.size() && (text[n] == '#' || text[n] == '$' || text[n] == '"')) ++n;
  return text.substr(0, n);
}

}  // namespace

ResultKind ResultKindOf(TypeCode type) {
  auto v = static_cast<uint8_t>(type);
  if (v <= 6) return ResultKind::kInteger;
  if (v <= 17) return ResultKind::kFloating;
  return ResultKind::kString;
}

ResultKind ResultKindOf(const ValueRef& ref) {
  if (ref.type() != TypeCode::kAny) return ResultKindOf(ref.type());
  switch (ref.Kind()) {
    case TypeCode::kLong: return ResultKind::kInteger;
    case TypeCode::kString: return ResultKind::kString;
    default: return ResultKind::kFloating;
  }
}

bool Bind(std::string_view name, const ValueRef& variable) {
  std::string_view key = BindName(name);
  if (key.empty() || !variable.Valid()) {
    PostError(kErrInvalidExpression);
    return false;
  }
  SymbolEntry* e = State().current->Insert(key);
  e->kind = SymbolKind::kVariable;
  e->result = ResultKindOf(variable);
  e->variable = variable;  // replaces (releases) any earlier reference
  e->op = kOpNone;
  e->max_args = 0;
  e->function = 0;
  return true;
}

void PushScope(bool see_outer) {
  SymbolState& s = State();
  auto record = std::make_unique<ScopeRecord>();
  record->saved = std::move(s.current);
  record->stop = !see_outer;
  record->next = std::move(s.scopes);
  s.scopes = std::move(record);
  s.current = std::make_unique<SymbolTree>();
  ++s.depth;
}

void PopScope() {
  SymbolState& s = State();
  if (!s.scopes) {
    RuntimeFatal(kErrMismatchedScope, "Mismatched POPSCOPE");
    return;
  }
  std::unique_ptr<ScopeRecord> top = std::move(s.scopes);
  s.current = std::move(top->saved);
  s.scopes = std::move(top->next);
  --s.depth;
}

int ScopeDepth() { return State().depth; }

const SymbolEntry* LookupSymbol(std::string_view name) {
  SymbolState& s = State();
  if (const SymbolEntry* e = s.current->Find(name)) return e;
  for (const ScopeRecord* r = s.scopes.get(); r; r = r->next.get()) {
    if (r->stop) break;
    if (const SymbolEntry* e = r->saved->Find(name)) return e;
  }
  return Builtins().Find(name);
}

EvalOp LookupOperatorKeyword(std::string_view name) {
  const SymbolEntry* e = LookupSymbol(name);
  return e && e->kind == SymbolKind::kOperator ? e->op : kOpNone;
}

void ResetSymbols() {
  SymbolState& s = State();
  while (s.scopes) s.scopes = std::move(s.scopes->next);
  s.current = std::make_unique<SymbolTree>();
  s.depth = 0;
}

}  // namespace cinevo
