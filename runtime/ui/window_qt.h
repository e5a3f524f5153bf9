// The Qt side of a runtime window (internal to the window layer).
//
// WindowQt owns nothing that Qt does not already own: the native window deletes its widgets.
// It receives the native window's calls and passes them to its Window, and it keeps one Control
// record per numbered control.
#pragma once

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QStatusBar>
#include <QString>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "platform/window/native_window.h"
#include "runtime/core/picture.h"
#include "runtime/core/value_ref.h"
#include "runtime/ui/entry_mask.h"
#include "runtime/ui/format/list_format.h"
#include "runtime/ui/queue_list_view.h"
#include "runtime/ui/window_definition.h"

namespace cinevo {

class Window;

struct Control {
  int number = 0;
  int parent = 0;  // the menu or toolbar holding it
  ControlDef def;  // children are not kept here; they are controls of their own
  QPointer<QWidget> widget;
  QPointer<QAction> action;
  QPointer<QMenu> menu;
  QPointer<QueueListView> list;
  std::vector<uint32_t> alerts;          // alert key codes, slot i at [i - 1]; 0 free
  std::vector<std::string> iconNames;    // the icon list, icon i at [i - 1]
  CompiledPicture picture;
  EntryMask mask;                        // entries with a P or K picture: checked as typed
  QString maskShown;                     // what the masked entry showed after the mask last had its say
  ValueRef use;                          // Valid() when bound to a variable
  std::string value;                     // the value when not bound
  bool disabled = false;
  bool placed = false;  // at a position of its own in the client area, not in its layout
};

struct WindowQt : platform::WindowProcedure {
  explicit WindowQt(Window& w) : window(w) {}

  // platform::WindowProcedure: passed on to the Window.
  void OnPrivateMessage(platform::PrivateMessage& message) override;
  void OnCloseRequest() override;
  void OnTimer(int timerNumber) override;
  void OnActivated() override;
  void OnMoved() override;
  void OnSized() override;
  void OnFilesDropped(const std::vector<std::string>& paths) override;

  // Builds the menus, toolbar and controls of a definition (window_controls.cpp).
  void Build(const WindowDefinition& definition);
  Control* Find(int number) const;
  Control& Add(ControlKind kind, int parent);
  void ShowValue(Control& c);  // entries and strings: the value through the picture
  // An entry was left: read it back, raise Accepted or Rejected; false when it was rejected.
  bool TakeEntry(Control& c);
  bool HandleAlertKey(QWidget* widget, uint32_t keyCode);
  // A key for an entry with a mask: typed, erased or refused by the mask; false when the key is
  // left to the entry (cursor keys, Enter, shortcuts, paste and cut).
  bool HandleMaskKey(QWidget* widget, QKeyEvent* key);
  // The entry changed its own text (paste, cut, an input method's commit, a shortcut): the
  // change is undone and made again through the mask, as if what arrived had been typed.
  void MaskTextArrived(QLineEdit* edit);
  // A click into a masked entry's blank tail: the cursor goes where the typing stopped.
  void MaskClicked(QWidget* widget);
  QLineEdit* MaskedEntry(QWidget* widget, Control** control) const;  // nullptr: no mask
  void ShowMasked(Control& c, QLineEdit* edit, const EntryMask::Edit& e);
  // A widget of the window got the keyboard focus: EVENT::Selected for its control when that
  // control did not have the focus before.
  void ControlFocused(const QWidget* widget);
  int NumberOfWidget(const QWidget* widget) const;

  Window& window;
  QPointer<platform::NativeWindow> native;
  QMetaObject::Connection nativeDestroyed;
  std::vector<std::unique_ptr<Control>> controls;  // control n at [n - 1]
  std::vector<uint32_t> windowAlerts;
  int focusControl = 0;  // the control last reported by EVENT::Selected
  QPointer<QStatusBar> status;
  std::string message;
  std::unique_ptr<QObject> filter;  // alert keys and status tips
  DialogUnits units;
};

}  // namespace cinevo
