#include "runtime/ui/window_definition.h"

#include <cctype>
#include <memory>

namespace cinevo {
namespace {

ControlDef Make(ControlKind kind, std::string_view text, std::string_view tip = {}) {
  ControlDef c;
  c.kind = kind;
  c.text = text;
  c.tip = tip;
  return c;
}

void Number(const std::vector<ControlDef>& controls, int parent, std::vector<NumberedControl>& out) {
  for (const ControlDef& c : controls) {
    if (c.kind == ControlKind::kSeparator) continue;
    const int number = static_cast<int>(out.size()) + 1;
    out.push_back({number, &c, parent});
    if (!c.children.empty()) Number(c.children, number, out);
  }
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The program's window definitions; like its other resources they live as long as the process.
std::vector<std::unique_ptr<WindowDefinition>>& Registry() {
  static std::vector<std::unique_ptr<WindowDefinition>> registry;
  return registry;
}

}  // namespace

namespace controls {

ControlDef Menu(std::string_view text, std::string_view message, std::vector<ControlDef> items) {
  ControlDef c = Make(ControlKind::kMenu, text, message);
  c.children = std::move(items);
  return c;
}
ControlDef Item(std::string_view text, std::string_view message) {
  return Make(ControlKind::kItem, text, message);
}
ControlDef Separator() { return Make(ControlKind::kSeparator, {}); }
ControlDef Toolbar(std::vector<ControlDef> buttons) {
  ControlDef c = Make(ControlKind::kToolbar, {});
  c.children = std::move(buttons);
  return c;
}
ControlDef Button(std::string_view text, std::string_view tip) {
  return Make(ControlKind::kButton, text, tip);
}
ControlDef Prompt(std::string_view text) { return Make(ControlKind::kPrompt, text); }
ControlDef Entry(std::string_view picture) {
  ControlDef c = Make(ControlKind::kEntry, {});
  c.picture = picture;
  return c;
}
ControlDef String(std::string_view text, std::string_view picture) {
  ControlDef c = Make(ControlKind::kString, text);
  c.picture = picture;
  return c;
}
ControlDef Image(std::string_view picture) {
  ControlDef c = Make(ControlKind::kImage, {});
  c.icon = picture;
  return c;
}
ControlDef List(std::string_view format, std::string_view tip) {
  ControlDef c = Make(ControlKind::kList, {}, tip);
  c.format = format;
  return c;
}
ControlDef Tree(std::string_view format, std::string_view tip) {
  ControlDef c = List(format, tip);
  c.tree = true;
  return c;
}

}  // namespace controls

std::vector<NumberedControl> NumberControls(const WindowDefinition& definition) {
  std::vector<NumberedControl> out;
  Number(definition.controls, 0, out);
  return out;
}

std::string StripAccelerator(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;  // "&x" shows x; "&&" shows one "&"
    else if (text[i] == '&') continue;
    out += text[i];
  }
  return out;
}

char AcceleratorOf(std::string_view text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
  }
  return 0;
}

void RegisterWindowDefinition(WindowDefinition definition) {
  auto& registry = Registry();
  for (auto& d : registry) {
    if (SameName(d->resource, definition.resource) && SameName(d->label, definition.label)) {
      *d = std::move(definition);
      return;
    }
  }
  registry.push_back(std::make_unique<WindowDefinition>(std::move(definition)));
}

const WindowDefinition* FindWindowDefinition(std::string_view resource, std::string_view label) {
  for (auto& d : Registry()) {
    if (SameName(d->resource, resource) && SameName(d->label, label)) return d.get();
  }
  return nullptr;
}

}  // namespace cinevo
