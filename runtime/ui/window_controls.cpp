// The controls of a window: built from its definition, raising their events, and read and set
// through numbered properties.
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>

#include "runtime/ui/event_code.h"
#include "runtime/ui/icons.h"
#include "runtime/ui/key_code.h"
#include "runtime/ui/property.h"
#include "runtime/ui/window.h"
#include "runtime/ui/window_qt.h"
#include "runtime/ui/window_widgets.h"

namespace cinevo {
namespace {

constexpr size_t kAlertSlots = 255;

QString Q(const std::string& bytes) { return platform::BytesToQString(bytes); }

std::string Bytes(const QString& s) {
  QByteArray b = s.toUtf8();
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

int32_t ToLong(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  int32_t v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return v;
}

// Sees the keys of every control before the control does (alert keys) and the status tips of
// menus and toolbar buttons (shown in the window's status line).
class WindowFilter : public QObject {
 public:
  explicit WindowFilter(WindowQt& qt) : qt_(qt) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      auto* k = static_cast<QKeyEvent*>(event);
      QString text = k->text();
      uint32_t code = KeyCodeFromQt(k->key(), static_cast<int>(k->modifiers()),
                                    text.isEmpty() ? 0 : text.at(0).unicode());
      if (code != 0 && qt_.HandleAlertKey(qobject_cast<QWidget*>(watched), code)) return true;
      if (qt_.HandleMaskKey(qobject_cast<QWidget*>(watched), k)) return true;
    } else if (event->type() == QEvent::MouseButtonRelease) {
      qt_.MaskClicked(qobject_cast<QWidget*>(watched));
    } else if (event->type() == QEvent::FocusIn) {
      qt_.ControlFocused(qobject_cast<QWidget*>(watched));
    } else if (event->type() == QEvent::StatusTip && qt_.status) {
      QString tip = static_cast<QStatusTipEvent*>(event)->tip();
      qt_.status->showMessage(tip.isEmpty() ? Q(qt_.message) : tip);
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  WindowQt& qt_;
};

QIcon IconOf(const ControlDef& d) { return d.icon.empty() ? QIcon() : IconForName(d.icon); }

}  // namespace

// ---- Native window calls ----

void WindowQt::OnPrivateMessage(platform::PrivateMessage& m) { window.OnPrivateMessage(m); }
void WindowQt::OnCloseRequest() { window.OnCloseRequest(); }
void WindowQt::OnTimer(int number) { window.OnTimer(number); }
void WindowQt::OnActivated() { window.OnActivated(); }
void WindowQt::OnMoved() { window.OnMoved(); }
void WindowQt::OnSized() { window.OnSized(); }

void WindowQt::OnFilesDropped(const std::vector<std::string>& paths) {
  // Every name, however many there are: the drop text has no length limit.
  std::string text;
  for (const std::string& p : paths) {
    if (!text.empty()) text += ',';
    text += p;
  }
  window.DeliverDrop(std::move(text));
}

// ---- Building ----

Control* WindowQt::Find(int number) const {
  if (number < 1 || static_cast<size_t>(number) > controls.size()) return nullptr;
  Control* c = controls[static_cast<size_t>(number - 1)].get();
  // A control whose widget or action Qt has deleted is no longer a control.
  if (c == nullptr || (c->widget.isNull() && c->action.isNull())) return nullptr;
  return c;
}

Control& WindowQt::Add(ControlKind kind, int parent) {
  auto c = std::make_unique<Control>();
  c->number = static_cast<int>(controls.size()) + 1;
  c->parent = parent;
  c->def.kind = kind;
  c->alerts.assign(kAlertSlots, 0);
  controls.push_back(std::move(c));
  return *controls.back();
}

int WindowQt::NumberOfWidget(const QWidget* w) const {
  for (; w != nullptr; w = w->parentWidget()) {
    for (const auto& c : controls) {
      if (c && c->widget == w) return c->number;
    }
  }
  return 0;
}

bool WindowQt::HandleAlertKey(QWidget* widget, uint32_t keyCode) {
  const int number = NumberOfWidget(widget);
  Control* c = Find(number);
  const bool control = c != nullptr && std::find(c->alerts.begin(), c->alerts.end(), keyCode) != c->alerts.end();
  const bool windowWide =
      std::find(windowAlerts.begin(), windowAlerts.end(), keyCode) != windowAlerts.end();
  if (!control && !windowWide) return false;
  // A control's own alert key in an entry takes what was typed first (Accepted comes before the
  // AlertKey), as leaving the entry would: the key ends the typing there. Typing the entry's
  // picture rejects keeps the key from doing anything but that (Rejected).
  if (control && !TakeEntry(*c)) return true;
  window.Raise(EVENT::AlertKey, number, keyCode);
  return true;
}

QLineEdit* WindowQt::MaskedEntry(QWidget* widget, Control** control) const {
  auto* edit = qobject_cast<QLineEdit*>(widget);
  Control* c = edit != nullptr ? Find(NumberOfWidget(edit)) : nullptr;
  if (c == nullptr || c->widget != edit || !c->mask.Active() || edit->isReadOnly()) return nullptr;
  *control = c;
  return edit;
}

void WindowQt::MaskClicked(QWidget* widget) {
  Control* c = nullptr;
  QLineEdit* edit = MaskedEntry(widget, &c);
  if (edit == nullptr || edit->hasSelectedText()) return;
  const int free = c->mask.FirstFree(Bytes(edit->text()));
  if (edit->cursorPosition() > free) edit->setCursorPosition(free);
}

namespace {

// Characters one by one through the mask from where `e` stands; what does not fit is left out.
EntryMask::Edit TypeThrough(const EntryMask& mask, const QString& typed, EntryMask::Edit e) {
  for (const QChar ch : typed) {
    if (ch.unicode() >= 0x80) continue;
    if (auto next = mask.Type(e.text, e.cursor, static_cast<char>(ch.unicode()))) e = *next;
  }
  return e;
}

}  // namespace

void WindowQt::ShowMasked(Control& c, QLineEdit* edit, const EntryMask::Edit& e) {
  c.maskShown = Q(e.text);
  if (edit->text() != c.maskShown) {
    edit->setText(c.maskShown);
    edit->setModified(true);
  }
  edit->setCursorPosition(e.cursor);
}

void WindowQt::MaskTextArrived(QLineEdit* edit) {
  Control* c = nullptr;
  if (MaskedEntry(edit, &c) == nullptr) return;
  // The entry replaced a stretch of what it showed with what arrived, and its cursor stands
  // right after that: the text after the cursor is what followed the stretch.
  const QString& before = c->maskShown;
  const QString after = edit->text();
  const int cursor = edit->cursorPosition();
  const qsizetype tail = after.size() - cursor;
  qsizetype from = 0, to = before.size();
  QString arrived = after;
  if (tail >= 0 && tail <= before.size() && QStringView(before).right(tail) == QStringView(after).right(tail)) {
    to = before.size() - tail;
    while (from < to && from < cursor && before.at(from) == after.at(from)) ++from;
    arrived = after.mid(from, cursor - from);
  }
  const std::string shown = Bytes(before);
  const auto offset = [&](qsizetype i) { return static_cast<int>(Bytes(before.left(i)).size()); };
  ShowMasked(*c, edit, TypeThrough(c->mask, arrived, c->mask.Erase(shown, offset(from), offset(to))));
}

bool WindowQt::HandleMaskKey(QWidget* widget, QKeyEvent* k) {
  Control* c = nullptr;
  QLineEdit* edit = MaskedEntry(widget, &c);
  if (edit == nullptr) return false;
  const EntryMask& mask = c->mask;
  const std::string text = Bytes(edit->text());
  const int from = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
  const int to = edit->hasSelectedText() ? from + static_cast<int>(edit->selectedText().size()) : from;
  // Paste and cut are left to the entry: what they change goes through MaskTextArrived.
  if (k->key() == Qt::Key_Backspace || k->key() == Qt::Key_Delete) {
    if (from != to) ShowMasked(*c, edit, mask.Erase(text, from, to));
    else ShowMasked(*c, edit, k->key() == Qt::Key_Backspace ? mask.Backspace(text, from) : mask.Delete(text, from));
    return true;
  }
  const QString typed = k->text();
  if (typed.isEmpty() || typed.at(0).unicode() < 0x20 || typed.at(0).unicode() == 0x7F ||
      (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
    return false;
  }
  // A refused character changes nothing, not even a selection it would have replaced.
  EntryMask::Edit start = from != to ? mask.Erase(text, from, to) : EntryMask::Edit{text, from};
  bool any = false;
  for (const QChar ch : typed) {
    if (ch.unicode() >= 0x80) break;
    auto next = mask.Type(start.text, start.cursor, static_cast<char>(ch.unicode()));
    if (!next) break;
    start = *next;
    any = true;
  }
  if (any) ShowMasked(*c, edit, start);
  return true;
}

void WindowQt::ControlFocused(const QWidget* widget) {
  // Focus coming back with its window (activation) reaches the same control again: nothing to
  // report. Focus on what is no control (the window itself, a menu) leaves the last one noted.
  const int number = NumberOfWidget(widget);
  if (number == 0 || number == focusControl) return;
  focusControl = number;
  window.Raise(EVENT::Selected, number);
}

void WindowQt::ShowValue(Control& c) {
  std::string value = c.use.Valid() ? c.use.ToText()
                      : c.def.kind == ControlKind::kString ? c.def.text
                                                           : c.value;
  std::string shown;
  if (c.picture.Valid()) {
    const PictureClass k = c.picture.Class();
    if (c.use.Valid() && (k == PictureClass::kDate || k == PictureClass::kTime ||
                          k == PictureClass::kNumeric || k == PictureClass::kPattern)) {
      shown = Format(c.picture, static_cast<int64_t>(c.use.ToLong()));
    } else {
      shown = Format(c.picture, std::string_view(value));
    }
    if (c.mask.Active()) {
      // A mask shows all of itself: its literals in place, blanks where nothing is typed. A P
      // mask's value 0 shows no digits, so that typing does not mix with its zeros.
      const bool zero = k == PictureClass::kPattern && shown.find_first_of("123456789") == std::string::npos;
      shown = c.mask.Fit(zero ? std::string_view() : std::string_view(shown));
    } else {
      // Shown without the blanks that fill the picture's width.
      while (!shown.empty() && shown.back() == ' ') shown.pop_back();
    }
  } else {
    shown = value;
  }
  if (auto* edit = qobject_cast<QLineEdit*>(c.widget.data())) {
    // The same text again leaves the cursor where the user put it (the window redisplays its
    // controls after every event, the Selected of a click into the entry among them).
    if (edit->text() != Q(shown)) edit->setText(Q(shown));
    edit->setModified(false);
    if (c.mask.Active()) c.maskShown = Q(shown);
  } else if (auto* label = qobject_cast<QLabel*>(c.widget.data())) {
    label->setText(Q(shown));
  }
}

bool WindowQt::TakeEntry(Control& c) {
  auto* edit = qobject_cast<QLineEdit*>(c.widget.data());
  if (edit == nullptr || !edit->isModified()) return true;
  const std::string typed = Bytes(edit->text());
  DeformatResult r = c.picture.Valid() ? Deformat(c.picture, typed) : DeformatResult{true, 0, {}, typed};
  if (!r.ok) {
    window.Raise(EVENT::Rejected, c.number);
    return false;
  }
  const PictureClass k = c.picture.Class();
  if (c.use.Valid()) {
    if (c.picture.Valid() && (k == PictureClass::kDate || k == PictureClass::kTime)) {
      c.use.SetLong(static_cast<int32_t>(r.number));
    } else {
      c.use.SetText(r.text);
    }
  } else {
    c.value = r.text;
  }
  ShowValue(c);
  window.Raise(EVENT::Accepted, c.number);
  return true;
}

void WindowQt::Build(const WindowDefinition& d) {
  platform::NativeWindow* w = native.data();
  w->setFont(FontForName(d.font));
  const QFontMetrics fm(w->font());
  units = DialogUnits{std::max(1, fm.averageCharWidth()), std::max(1, fm.height())};
  if (!d.icon.empty()) w->setWindowIcon(IconForName(d.icon));
  if (!d.cursor.empty()) w->client()->setCursor(CursorForName(d.cursor));
  w->SetAcceptsFiles(d.acceptsDrops);
  message = d.message;
  filter = std::make_unique<WindowFilter>(*this);
  w->installEventFilter(filter.get());

  auto* outer = qobject_cast<QVBoxLayout*>(w->layout());
  QMenuBar* menuBar = nullptr;
  QToolBar* toolBar = nullptr;
  auto* layout = new QVBoxLayout(w->client());  // owned by the client area
  layout->setContentsMargins(8, 6, 8, 6);
  QHBoxLayout* buttonRow = nullptr;
  QLabel* pendingPrompt = nullptr;
  bool stretchy = false;
  bool anyTips = false;

  auto place = [&](Control& c, QWidget* widget, bool stretch) {
    c.widget = widget;
    widget->installEventFilter(filter.get());
    if (!c.def.tip.empty()) widget->setToolTip(Q(c.def.tip));
    if (!c.def.font.empty()) widget->setFont(FontForName(c.def.font));
    if (c.def.width > 0) {
      widget->setGeometry(units.X(c.def.x), units.Y(c.def.y), units.X(c.def.width),
                          units.Y(c.def.height > 0 ? c.def.height : 12));
      c.placed = true;
      return;
    }
    if (c.def.kind == ControlKind::kButton) {
      if (buttonRow == nullptr) {
        buttonRow = new QHBoxLayout();
        layout->addLayout(buttonRow);
      }
      buttonRow->addWidget(widget);
      return;
    }
    if (buttonRow != nullptr) buttonRow->addStretch(1);
    buttonRow = nullptr;
    if (c.def.kind == ControlKind::kPrompt) {
      pendingPrompt = qobject_cast<QLabel*>(widget);
      return;
    }
    if (pendingPrompt != nullptr) {
      auto* row = new QHBoxLayout();
      row->addWidget(pendingPrompt);
      row->addWidget(widget, 1);
      pendingPrompt->setBuddy(widget);
      layout->addLayout(row, stretch ? 1 : 0);
      pendingPrompt = nullptr;
    } else {
      layout->addWidget(widget, stretch ? 1 : 0);
    }
    stretchy = stretchy || stretch;
  };

  std::function<void(const std::vector<ControlDef>&, int, QMenu*)> build;
  build = [&](const std::vector<ControlDef>& defs, int parent, QMenu* inMenu) {
    for (const ControlDef& def : defs) {
      if (def.kind == ControlKind::kSeparator) {
        if (inMenu != nullptr) inMenu->addSeparator();
        else if (toolBar != nullptr && parent != 0) toolBar->addSeparator();
        continue;
      }
      Control& c = Add(def.kind, parent);
      c.def = def;
      c.def.children.clear();
      const int number = c.number;
      switch (def.kind) {
        case ControlKind::kMenu: {
          if (menuBar == nullptr) {
            menuBar = new QMenuBar(w);  // owned by the window
            outer->setMenuBar(menuBar);
          }
          QMenu* menu = inMenu ? inMenu->addMenu(Q(def.text)) : menuBar->addMenu(Q(def.text));
          menu->installEventFilter(filter.get());
          c.menu = menu;
          c.action = menu->menuAction();
          c.action->setStatusTip(Q(def.tip));
          anyTips = anyTips || !def.tip.empty();
          build(def.children, number, menu);
          break;
        }
        case ControlKind::kItem: {
          QAction* a = inMenu ? inMenu->addAction(Q(def.text)) : new QAction(Q(def.text), w);
          if (inMenu == nullptr) w->addAction(a);
          a->setStatusTip(Q(def.tip));
          if (!def.icon.empty()) a->setIcon(IconOf(def));
          anyTips = anyTips || !def.tip.empty();
          c.action = a;
          QObject::connect(a, &QAction::triggered, a, [this, number] {
            window.Raise(EVENT::Accepted, number);
          });
          break;
        }
        case ControlKind::kToolbar: {
          toolBar = new QToolBar(w);  // owned by the window
          toolBar->setIconSize(QSize(20, 20));
          toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
          outer->insertWidget(0, toolBar);
          c.widget = toolBar;
          build(def.children, number, nullptr);
          break;
        }
        case ControlKind::kButton: {
          if (parent != 0 && toolBar != nullptr) {
            QAction* a = toolBar->addAction(IconOf(def), Q(StripAccelerator(def.text)));
            a->setToolTip(Q(def.tip.empty() ? StripAccelerator(def.text) : def.tip));
            a->setStatusTip(Q(def.tip));
            c.action = a;
            if (QWidget* b = toolBar->widgetForAction(a)) {
              c.widget = b;
              b->installEventFilter(filter.get());
            }
            QObject::connect(a, &QAction::triggered, a, [this, number] {
              window.Raise(EVENT::Accepted, number);
            });
            break;
          }
          auto* b = new QPushButton(IconOf(def), Q(def.text), w->client());
          QObject::connect(b, &QPushButton::clicked, b, [this, number] {
            window.Raise(EVENT::Accepted, number);
          });
          place(c, b, false);
          break;
        }
        case ControlKind::kPrompt: {
          place(c, new QLabel(Q(def.text), w->client()), false);
          break;
        }
        case ControlKind::kEntry: {
          c.picture = CompilePicture(def.picture.empty() ? "@s255" : def.picture);
          auto* e = new QLineEdit(w->client());
          c.mask = EntryMask(c.picture);
          if (c.mask.Active()) {
            // Text that arrives other than by a key (the context menu's Paste and Delete, an
            // input method, the middle button) goes through the mask at once, so the entry
            // takes it whole and the mask cuts it to fit. Dropped text is not taken.
            e->setAcceptDrops(false);
            QObject::connect(e, &QLineEdit::textEdited, e, [this, e] { MaskTextArrived(e); });
          } else if (c.picture.Valid()) {
            e->setMaxLength(c.picture.Width());
          }
          QObject::connect(e, &QLineEdit::editingFinished, e, [this, number] {
            if (Control* ctl = Find(number)) TakeEntry(*ctl);
          });
          place(c, e, false);
          ShowValue(c);
          break;
        }
        case ControlKind::kString: {
          if (!def.picture.empty()) c.picture = CompilePicture(def.picture);
          auto* l = new QLabel(w->client());
          l->setTextFormat(Qt::PlainText);
          place(c, l, false);
          ShowValue(c);
          break;
        }
        case ControlKind::kImage: {
          auto* l = new QLabel(w->client());
          QIcon icon = IconForName(def.icon);
          if (!icon.isNull()) {
            const QSize size = def.width > 0 ? QSize(units.X(def.width), units.Y(def.height))
                                             : QSize(32, 32);
            l->setPixmap(icon.pixmap(size));
          }
          place(c, l, false);
          break;
        }
        case ControlKind::kList: {
          auto* v = new QueueListView(def.tree, w->client());
          v->SetFormat(def.format);
          v->SetAlertKeys(&c.alerts);
          v->SetIconNames(&c.iconNames);
          v->SetRaise([this, number](int event, uint32_t key) { window.Raise(event, number, key); });
          c.list = v;
          place(c, v, true);
          break;
        }
        case ControlKind::kSeparator:
          break;
      }
    }
  };
  build(d.controls, 0, nullptr);
  if (buttonRow != nullptr) buttonRow->addStretch(1);
  if (pendingPrompt != nullptr) layout->addWidget(pendingPrompt);
  if (!stretchy) layout->addStretch(1);
  if (!d.message.empty() || anyTips) {
    status = new QStatusBar(w);  // owned by the window
    status->setSizeGripEnabled(false);
    outer->addWidget(status);
    status->showMessage(Q(d.message));
  }
  // A size the definition gives is kept (the layout's minimum still holds); what it leaves open
  // is the controls' own size, but not smaller than 320 x 160 pixels.
  w->adjustSize();
  w->resize(d.width > 0 ? units.X(d.width) : std::max(w->width(), 320),
            d.height > 0 ? units.Y(d.height) : std::max(w->height(), 160));
}

// ---- Window members that reach the controls ----

bool Window::BindQueue(int list, Queue* queue, std::vector<QueueField> fields) {
  Control* c = qt_ ? qt_->Find(list) : nullptr;
  if (c == nullptr || c->list.isNull()) return false;
  c->list->Bind(queue, std::move(fields));
  return true;
}

bool Window::Bind(int control, ValueRef value) {
  Control* c = qt_ ? qt_->Find(control) : nullptr;
  if (c == nullptr || (c->def.kind != ControlKind::kEntry && c->def.kind != ControlKind::kString)) {
    return false;
  }
  c->use = value;
  qt_->ShowValue(*c);
  return true;
}

void Window::Display(int control) {
  if (!qt_) return;
  for (const auto& c : qt_->controls) {
    if (!c || (control != 0 && c->number != control)) continue;
    if (c->list) c->list->Sync();
    if (c->def.kind == ControlKind::kEntry || c->def.kind == ControlKind::kString) {
      // An entry being typed into keeps what the user typed.
      auto* edit = qobject_cast<QLineEdit*>(c->widget.data());
      if (edit == nullptr || !edit->isModified()) qt_->ShowValue(*c);
    }
  }
}

void Window::Select(int control) {
  Control* c = qt_ ? qt_->Find(control) : nullptr;
  if (c == nullptr || !c->widget) return;
  c->widget->setFocus(Qt::OtherFocusReason);
  // A window that is not active only notes its focus widget; the control is selected all the
  // same (its activation later brings the focus back to the same control without a second
  // EVENT::Selected).
  if (!c->widget->isActiveWindow() && c->widget->focusPolicy() != Qt::NoFocus &&
      qt_->native->focusWidget() == c->widget) {
    qt_->ControlFocused(c->widget);
  }
}

int Window::FocusedControl() const {
  if (!qt_) return 0;
  const platform::NativeWindow* native = NativeOf(*this);
  return native != nullptr ? qt_->NumberOfWidget(native->focusWidget()) : 0;
}

std::string Window::Property(int property, int control, int index) const {
  if (!IsOpen()) return {};
  if (control == 0) {
    switch (property) {
      case PROP::Text: return Caption();
      case PROP::Handle: return std::to_string(Handle());
      case PROP::AcceptAll: return "0";
      case PROP::Alert:
        if (index < 1 || static_cast<size_t>(index) > qt_->windowAlerts.size()) return "0";
        return std::to_string(qt_->windowAlerts[static_cast<size_t>(index - 1)]);
      default: return {};
    }
  }
  const Control* c = qt_->Find(control);
  if (c == nullptr) return {};
  switch (property) {
    case PROP::Text:
      if (c->def.kind == ControlKind::kEntry || c->def.kind == ControlKind::kString) {
        if (c->use.Valid()) return c->use.ToText();
        if (c->def.kind == ControlKind::kEntry) return c->value;
      }
      if (c->action) return Bytes(c->action->text());
      return c->def.text;
    case PROP::Selection:
    case PROP::Selected: return c->list ? std::to_string(c->list->Selected()) : std::string();
    case PROP::Disable: return c->disabled ? "1" : "0";
    case PROP::Items: return c->list ? std::to_string(c->list->RowsInSight()) : std::string();
    case PROP::Paged: return c->list ? (c->list->Paged() ? "1" : "0") : std::string();
    case PROP::Thumb: return c->list ? std::to_string(c->list->Thumb()) : std::string();
    case PROP::HideSelect: return c->list ? (c->list->HideSelect() ? "1" : "0") : std::string();
    case PROP::Tip:
      // A menu's or item's tip is its message, shown on the status line.
      if (c->def.kind == ControlKind::kMenu || c->def.kind == ControlKind::kItem) return c->def.tip;
      if (c->action) return Bytes(c->action->toolTip());
      return c->widget ? Bytes(c->widget->toolTip()) : std::string();
    case PROP::Visible:
      if (c->action && !c->action->isVisible()) return "0";
      if (c->widget) return c->widget->isVisible() ? "1" : "0";
      return c->action && c->action->isVisible() ? "1" : "0";
    case PROP::Alert:
      if (index < 1 || static_cast<size_t>(index) > c->alerts.size()) return "0";
      return std::to_string(c->alerts[static_cast<size_t>(index - 1)]);
    case PROP::IconList:
      if (index < 1 || static_cast<size_t>(index) > c->iconNames.size()) return {};
      return c->iconNames[static_cast<size_t>(index - 1)];
    default: return {};
  }
}

int32_t Window::PropertyLong(int property, int control, int index) const {
  return ToLong(Property(property, control, index));
}

bool Window::SetProperty(int property, std::string_view value, int control, int index) {
  if (!IsOpen()) return false;
  if (control == 0) {
    switch (property) {
      case PROP::Text: SetCaption(std::string(value)); return true;
      case PROP::Alert: {
        auto& alerts = qt_->windowAlerts;
        if (index < 1 || static_cast<size_t>(index) > kAlertSlots) return false;
        if (alerts.size() < static_cast<size_t>(index)) alerts.resize(static_cast<size_t>(index), 0);
        alerts[static_cast<size_t>(index - 1)] = static_cast<uint32_t>(ToLong(value));
        return true;
      }
      default: return false;
    }
  }
  Control* c = qt_->Find(control);
  if (c == nullptr) return false;
  switch (property) {
    case PROP::Text:
      if (c->def.kind == ControlKind::kEntry || c->def.kind == ControlKind::kString) {
        if (c->use.Valid()) c->use.SetText(value);
        else if (c->def.kind == ControlKind::kEntry) c->value = value;
        else c->def.text = value;
        qt_->ShowValue(*c);
        return true;
      }
      c->def.text = value;
      if (c->action) c->action->setText(Q(c->def.text));
      if (auto* b = qobject_cast<QPushButton*>(c->widget.data())) b->setText(Q(c->def.text));
      if (auto* l = qobject_cast<QLabel*>(c->widget.data())) l->setText(Q(c->def.text));
      return true;
    case PROP::Selection:
    case PROP::Selected:
      if (!c->list) return false;
      c->list->Sync();
      c->list->SetSelected(ToLong(value));
      return true;
    case PROP::Paged:
      if (!c->list) return false;
      c->list->SetPaged(ToLong(value) != 0);
      return true;
    case PROP::Thumb:
      if (!c->list) return false;
      c->list->SetThumb(ToLong(value));
      return true;
    case PROP::HideSelect:
      if (!c->list) return false;
      c->list->SetHideSelect(ToLong(value) != 0);
      return true;
    case PROP::Disable:
      c->disabled = ToLong(value) != 0;
      if (c->action) c->action->setEnabled(!c->disabled);
      if (c->widget) c->widget->setEnabled(!c->disabled);
      return true;
    case PROP::Tip:
      c->def.tip = value;
      if (c->action) {
        c->action->setToolTip(Q(c->def.tip));
        c->action->setStatusTip(Q(c->def.tip));
      }
      if (c->widget) c->widget->setToolTip(Q(c->def.tip));
      return true;
    case PROP::Visible: {
      const bool on = ToLong(value) != 0;
      if (c->action) {
        c->action->setVisible(on);
      } else if (c->widget) {
        c->widget->setVisible(on);
        if (on) c->widget->raise();  // over what it was laid on (an editor over a list's row)
      }
      return true;
    }
    case PROP::Alert:
      if (index < 1 || static_cast<size_t>(index) > c->alerts.size()) return false;
      c->alerts[static_cast<size_t>(index - 1)] = static_cast<uint32_t>(ToLong(value));
      return true;
    case PROP::IconList:
      if (index < 1 || index > 10000) return false;
      if (c->iconNames.size() < static_cast<size_t>(index)) c->iconNames.resize(static_cast<size_t>(index));
      c->iconNames[static_cast<size_t>(index - 1)] = value;
      if (c->list) c->list->viewport()->update();
      return true;
    default:
      return false;
  }
}

bool Window::SetProperty(int property, int32_t value, int control, int index) {
  return SetProperty(property, std::to_string(value), control, index);
}

// ---- Widgets behind a window ----

platform::NativeWindow* NativeOf(const Window& w) { return w.qt_ ? w.qt_->native.data() : nullptr; }

QWidget* ClientOf(const Window& w) {
  platform::NativeWindow* n = NativeOf(w);
  return n ? n->client() : nullptr;
}

QWidget* ControlWidget(const Window& w, int control) {
  const Control* c = w.qt_ ? w.qt_->Find(control) : nullptr;
  return c ? c->widget.data() : nullptr;
}

QAction* ControlAction(const Window& w, int control) {
  const Control* c = w.qt_ ? w.qt_->Find(control) : nullptr;
  return c ? c->action.data() : nullptr;
}

QueueListView* ListOf(const Window& w, int control) {
  const Control* c = w.qt_ ? w.qt_->Find(control) : nullptr;
  return c ? c->list.data() : nullptr;
}

}  // namespace cinevo
