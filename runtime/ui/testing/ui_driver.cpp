#include "runtime/ui/testing/ui_driver.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QUrl>

#include <cstdlib>

#include "platform/window/native_window.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/key_code.h"
#include "runtime/ui/popup_menu.h"
#include "runtime/ui/queue_list_view.h"
#include "runtime/ui/window.h"
#include "runtime/ui/window_widgets.h"

namespace cinevo {
namespace {

// Posted behind the actions of a test: once the loop reaches it, everything before is handled.
constexpr int kMark = 0x3FF;

bool Usable(const QWidget* w) { return w != nullptr && w->isEnabled() && w->isVisible(); }

// The Qt key and modifiers that give a runtime key code.
std::pair<Qt::Key, Qt::KeyboardModifiers> QtKeyOf(uint32_t code) {
  Qt::KeyboardModifiers mods;
  if (code & kShiftBit) mods |= Qt::ShiftModifier;
  if (code & kCtrlBit) mods |= Qt::ControlModifier;
  if (code & kAltBit) mods |= Qt::AltModifier;
  const uint32_t base = code & 0xFF;
  Qt::Key key = Qt::Key_unknown;
  switch (base) {
    case 0x08: key = Qt::Key_Backspace; break;
    case 0x09: key = Qt::Key_Tab; break;
    case 0x0D: key = Qt::Key_Return; break;
    case 0x1B: key = Qt::Key_Escape; break;
    case 0x20: key = Qt::Key_Space; break;
    case 0x21: key = Qt::Key_PageUp; break;
    case 0x22: key = Qt::Key_PageDown; break;
    case 0x23: key = Qt::Key_End; break;
    case 0x24: key = Qt::Key_Home; break;
    case 0x25: key = Qt::Key_Left; break;
    case 0x26: key = Qt::Key_Up; break;
    case 0x27: key = Qt::Key_Right; break;
    case 0x28: key = Qt::Key_Down; break;
    case 0x2D: key = Qt::Key_Insert; break;
    case 0x2E: key = Qt::Key_Delete; break;
    case 0xDE: key = Qt::Key_Apostrophe; break;
    default:
      if (base >= 0x70 && base < 0x70 + 24) key = static_cast<Qt::Key>(Qt::Key_F1 + (base - 0x70));
      else if ((base >= 'A' && base <= 'Z') || (base >= '0' && base <= '9')) key = static_cast<Qt::Key>(base);
      break;
  }
  return {key, mods};
}

}  // namespace

struct UiDriver::Scripts {
  ScriptedPopups popups;
};

std::string Describe(const SeenEvent& e) {
  std::string_view name = EventName(InternalEventCode(e.event));
  std::string s = name.empty() ? "event " + std::to_string(e.event) : std::string(name);
  if (e.control) s += " " + std::to_string(e.control);
  if (e.keyCode) s += " key " + std::to_string(e.keyCode);
  if (!e.dropText.empty()) s += " \"" + e.dropText + "\"";
  return s;
}

std::string Describe(const std::vector<SeenEvent>& events) {
  std::string s;
  for (const SeenEvent& e : events) s += (s.empty() ? "" : ", ") + Describe(e);
  return "[" + s + "]";
}

UiDriver::UiDriver(Window& window) : window_(window), scripts_(std::make_unique<Scripts>()) {}

UiDriver::~UiDriver() {
  if (window_.InLoop()) window_.ExitLoop();
}

void UiDriver::AnswerPopup(int item) { scripts_->popups.Answer(item); }
const std::vector<std::string>& UiDriver::PopupsShown() const { return scripts_->popups.Shown(); }

std::vector<SeenEvent> UiDriver::Run(const std::function<void()>& body, bool everything) {
  std::vector<SeenEvent> seen;
  if (!window_.IsOpen()) return seen;
  QCoreApplication::processEvents();  // input the test queued reaches the window first
  window_.Post(kMark);
  while (window_.Accept()) {
    const int e = window_.Event();
    if (e == kMark) {
      QCoreApplication::processEvents();
      if (window_.PendingCount() == 0) break;
      window_.Post(kMark);
      continue;
    }
    const bool quiet = e == EVENT::GainFocus || e == EVENT::LoseFocus || e == EVENT::Moved ||
                       e == EVENT::Sized || e == EVENT::Suspend || e == EVENT::Resume;
    if (everything || !quiet) {
      const EventRecord* r = window_.Current();
      seen.push_back({e, window_.Field(), r ? (r->keyCode & kKeyCodeMask) : 0, window_.DropText()});
    }
    if (body) body();
  }
  return seen;
}

bool UiDriver::Click(int control) {
  QWidget* w = ControlWidget(window_, control);
  QAction* a = ControlAction(window_, control);
  if (a != nullptr && w == nullptr) return ChooseMenu(control);
  if (a != nullptr && (!a->isEnabled() || !a->isVisible())) return false;
  if (!Usable(w)) return false;
  QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
  return true;
}

bool UiDriver::ChooseMenu(int item) {
  QAction* a = ControlAction(window_, item);
  if (a == nullptr || a->menu() != nullptr || !a->isEnabled() || !a->isVisible()) return false;
  a->trigger();
  return true;
}

bool UiDriver::Type(int entry, std::string_view text, bool accept) {
  if (QueueListView* list = ListOf(window_, entry)) {
    // Keys typed on a list (its locator), one right after the other.
    if (!Usable(list)) return false;
    list->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(list, platform::BytesToQString(std::string(text)));
    if (accept) QTest::keyClick(list, Qt::Key_Return);
    return true;
  }
  auto* edit = qobject_cast<QLineEdit*>(ControlWidget(window_, entry));
  if (!Usable(edit)) return false;
  edit->setFocus(Qt::OtherFocusReason);
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, platform::BytesToQString(std::string(text)));
  if (accept) QTest::keyClick(edit, Qt::Key_Return);
  return true;
}

namespace {

bool ClickRow(Window& w, int list, int row, Qt::MouseButton button, bool twice) {
  QueueListView* v = ListOf(w, list);
  if (!Usable(v) || row < 1 || row > v->model()->rowCount()) return false;
  v->ScrollToRow(row);
  const QPoint at = v->RowRect(row).center();
  if (twice) {
    QTest::mouseDClick(v->viewport(), button, {}, at);
  } else {
    QTest::mouseClick(v->viewport(), button, {}, at);
  }
  return true;
}

}  // namespace

bool UiDriver::SelectRow(int list, int row) { return ClickRow(window_, list, row, Qt::LeftButton, false); }
bool UiDriver::RightClickRow(int list, int row) { return ClickRow(window_, list, row, Qt::RightButton, false); }
bool UiDriver::DoubleClickRow(int list, int row) { return ClickRow(window_, list, row, Qt::LeftButton, true); }

bool UiDriver::ClickExpander(int list, int row) {
  QueueListView* v = ListOf(window_, list);
  if (!Usable(v)) return false;
  v->ScrollToRow(row);
  QRect box = v->ExpanderRect(row);
  if (box.isEmpty()) return false;
  QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, box.center());
  return true;
}

bool UiDriver::ScrollColumn(int list, int column, int pages) {
  QueueListView* v = ListOf(window_, list);
  QScrollBar* bar = Usable(v) ? v->SideBar(column - 1) : nullptr;
  if (!Usable(bar)) return false;
  for (int i = 0; i < std::abs(pages); ++i) {
    QStyleOptionSlider o;
    o.initFrom(bar);
    o.subControls = QStyle::SC_All;
    o.orientation = Qt::Horizontal;
    o.minimum = bar->minimum();
    o.maximum = bar->maximum();
    o.sliderPosition = o.sliderValue = bar->value();
    o.singleStep = bar->singleStep();
    o.pageStep = bar->pageStep();
    const QRect trough = bar->style()->subControlRect(
        QStyle::CC_ScrollBar, &o, pages > 0 ? QStyle::SC_ScrollBarAddPage : QStyle::SC_ScrollBarSubPage, bar);
    if (trough.isEmpty()) break;
    QTest::mouseClick(bar, Qt::LeftButton, {}, trough.center());
  }
  return true;
}

bool UiDriver::PressKey(int control, uint32_t keyCode) {
  QWidget* w = control == 0 ? static_cast<QWidget*>(NativeOf(window_)) : ControlWidget(window_, control);
  if (!Usable(w)) return false;
  auto [key, mods] = QtKeyOf(keyCode);
  if (key == Qt::Key_unknown) return false;
  w->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(w, key, mods);
  return true;
}

bool UiDriver::DropFiles(const std::vector<std::string>& paths) {
  platform::NativeWindow* n = NativeOf(window_);
  if (n == nullptr || !n->acceptDrops()) return false;
  QMimeData mime;
  QList<QUrl> urls;
  for (const std::string& p : paths) {
    urls << QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(p)));
  }
  mime.setUrls(urls);
  const QPointF at = n->rect().center();
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(n, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(n, &drop);
  return drop.isAccepted();
}

bool UiDriver::CloseWindow() {
  platform::NativeWindow* n = NativeOf(window_);
  if (n == nullptr) return false;
  n->close();
  return true;
}

}  // namespace cinevo
