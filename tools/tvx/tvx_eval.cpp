#include "tools/tvx/tvx_eval.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <string>
#include <string_view>

#include "runtime/core/error.h"
#include "runtime/core/eval.h"
#include "runtime/core/eval_builtins.h"
#include "runtime/core/value_ref.h"

namespace cinevo::tvx {
namespace {

// The storage of one bound variable; it lives until the expression has been evaluated.
struct BoundValue {
  int32_t long_value = 0;
  double real_value = 0.0;
  std::string text;
};

void Usage(std::FILE* err) {
  std::fprintf(err, "usage: tvx eval EXPRESSION [--bind NAME=VALUE ...]\n");
}

// Binds NAME=VALUE with the type its value suggests; false when the argument has no name.
bool BindArgument(std::string_view arg, std::deque<BoundValue>& store) {
  size_t eq = arg.find('=');
  if (eq == std::string_view::npos || eq == 0) return false;
  std::string name(arg.substr(0, eq));
  std::string_view value = arg.substr(eq + 1);
  BoundValue& v = store.emplace_back();
  if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
    v.text.assign(value.substr(1, value.size() - 2));
    return Bind(name, ValueRef::Make(TypeCode::kString, v.text.data(), v.text.size()));
  }
  if (IsNumericText(value)) {
    std::string copy(value);
    errno = 0;
    char* end = nullptr;
    long long whole = std::strtoll(copy.c_str(), &end, 10);
    bool is_whole = errno == 0 && end && *end == '\0' && whole >= std::numeric_limits<int32_t>::min() &&
                    whole <= std::numeric_limits<int32_t>::max();
    if (is_whole) {
      v.long_value = static_cast<int32_t>(whole);
      return Bind(name, ValueRef::Make(TypeCode::kLong, &v.long_value));
    }
    v.real_value = std::strtod(copy.c_str(), nullptr);
    return Bind(name, ValueRef::Make(TypeCode::kReal, &v.real_value));
  }
  v.text.assign(value);
  return Bind(name, ValueRef::Make(TypeCode::kString, v.text.data(), v.text.size()));
}

}  // namespace

int RunEval(int argc, char** argv, std::FILE* out, std::FILE* err) {
  const char* expression = nullptr;
  std::deque<BoundValue> store;  // stable addresses for the bound variables
  PushScope(true);  // this run's bindings go away with it
  struct PopOnExit {
    ~PopOnExit() { PopScope(); }
  } pop_on_exit;
  for (int i = 0; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::string_view binding;
    if (arg == "--bind" && i + 1 < argc) {
      binding = argv[++i];
    } else if (arg.rfind("--bind=", 0) == 0) {
      binding = arg.substr(7);
    } else if (arg.size() > 2 && arg.rfind("--", 0) == 0 && std::isalpha(static_cast<unsigned char>(arg[2]))) {
      std::fprintf(err, "tvx eval: unknown option '%s'\n", argv[i]);
      Usage(err);
      return 2;
    } else if (!expression) {
      expression = argv[i];
      continue;
    } else {
      std::fprintf(err, "tvx eval: more than one expression given\n");
      Usage(err);
      return 2;
    }
    if (!BindArgument(binding, store)) {
      std::fprintf(err, "tvx eval: --bind needs NAME=VALUE, got '%.*s'\n",
                   static_cast<int>(binding.size()), binding.data());
      return 2;
    }
  }
  if (!expression) {
    Usage(err);
    return 2;
  }
  auto compiled = CompiledExpression::Compile(expression);
  if (!compiled) {
    int code = ErrorCode();
    std::fprintf(err, "tvx eval: error %d: %s\n", code, std::string(ErrorText(code)).c_str());
    return 2;
  }
  std::string_view text = compiled->Text();
  std::fwrite(text.data(), 1, text.size(), out);
  std::fputc('\n', out);
  return 0;
}

}  // namespace cinevo::tvx
