#include "runtime/ui/popup_menu.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QPointer>

#include <map>

#include "platform/window/native_window.h"

namespace cinevo {
namespace {

PopupResponder& Responder() {
  static PopupResponder responder;  // GUI thread only
  return responder;
}

int ShowAt(std::string_view text, QPoint at) {
  if (Responder()) return Responder()(text);
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return 0;
  QMenu menu;
  std::map<QAction*, int> numbers;
  for (const PopupItem& item : PopupItems(text)) {
    if (item.number == 0) {
      menu.addSeparator();
      continue;
    }
    QAction* a = menu.addAction(platform::BytesToQString(item.text));
    a->setEnabled(item.enabled);
    if (item.checked) {
      a->setCheckable(true);
      a->setChecked(true);
    }
    numbers[a] = item.number;
  }
  QAction* chosen = menu.exec(at);
  auto it = numbers.find(chosen);
  return it == numbers.end() ? 0 : it->second;
}

}  // namespace

std::vector<PopupItem> PopupItems(std::string_view text) {
  std::vector<PopupItem> items;
  int number = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t bar = text.find('|', start);
    std::string_view part = text.substr(start, bar == std::string_view::npos ? text.npos : bar - start);
    PopupItem item;
    if (part == "-") {
      items.push_back(item);
    } else if (!part.empty()) {
      while (!part.empty() && (part[0] == '~' || part[0] == '+')) {
        if (part[0] == '~') item.enabled = false;
        else item.checked = true;
        part.remove_prefix(1);
      }
      item.text = part;
      item.number = ++number;
      items.push_back(item);
    }
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return items;
}

int PopupMenu(std::string_view text) { return ShowAt(text, QCursor::pos()); }

int PopupMenu(std::string_view text, int x, int y) { return ShowAt(text, QPoint(x, y)); }

PopupResponder SetPopupResponder(PopupResponder responder) {
  PopupResponder previous = std::move(Responder());
  Responder() = std::move(responder);
  return previous;
}

ScriptedPopups::ScriptedPopups(std::vector<int> answers) : answers_(answers.begin(), answers.end()) {
  previous_ = SetPopupResponder([this](std::string_view text) {
    shown_.emplace_back(text);
    if (answers_.empty()) return 0;
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
  });
}

ScriptedPopups::~ScriptedPopups() { SetPopupResponder(std::move(previous_)); }

}  // namespace cinevo
