// A runtime window on Qt Widgets.
//
// A NativeWindow is a top-level widget with a handle (window_handle.h), a client area for
// controls and child windows, numbered timers, and a window procedure that receives the
// runtime's private messages, close requests, timers and activation. It never closes itself:
// a close request from the user goes to the procedure, which decides. Windows are created and
// used on the GUI thread only.
#pragma once

#include <QBasicTimer>
#include <QWidget>

class QMimeData;

#include <map>
#include <string>
#include <vector>

#include "platform/window/private_message.h"
#include "platform/window/window_handle.h"

namespace cinevo::platform {

// Receives what happens to a window. Calls arrive on the GUI thread, from inside Qt's event
// dispatch.
class WindowProcedure {
 public:
  virtual ~WindowProcedure() = default;
  virtual void OnPrivateMessage(PrivateMessage& message) = 0;
  virtual void OnCloseRequest() = 0;
  virtual void OnTimer(int timerNumber) = 0;
  virtual void OnActivated() {}
  virtual void OnMoved() {}
  virtual void OnSized() {}
  // Files dropped on a window that accepts them: their full local paths, in the order given.
  virtual void OnFilesDropped(const std::vector<std::string>& /*paths*/) {}
};

class NativeWindow : public QWidget {
  Q_OBJECT
 public:
  // `owner` (may be null) makes this an owned window: it stays above its owner and goes with it.
  // Check handle() afterwards: kNoWindow means no handle was free and the window is unusable.
  NativeWindow(WindowProcedure* procedure, NativeWindow* owner);
  ~NativeWindow() override;

  NativeWindow(const NativeWindow&) = delete;
  NativeWindow& operator=(const NativeWindow&) = delete;

  WindowHandle handle() const { return handle_; }
  QWidget* client() const { return client_; }
  NativeWindow* owner() const { return owner_; }

  // Caption as bytes (shown as UTF-8 where valid, else as Latin-1).
  void SetCaption(const std::string& caption);
  std::string Caption() const { return caption_; }
  bool SetIconFile(const std::string& path);  // false when the picture cannot be read

  // Whether files dragged from the desktop (text/uri-list, local files only) may be dropped.
  void SetAcceptsFiles(bool on);

  // Timer `number` (any small positive number) fires every `milliseconds`; 0 stops it.
  void SetTimer(int number, int milliseconds);
  bool HasTimer(int number) const;

  // The procedure stops receiving calls (used while the runtime window is being torn down).
  void DetachProcedure() { procedure_ = nullptr; }

  // Ends the window's life as a window while the widget may still exist: its handle is freed,
  // its procedure detached, its timers stopped and it is hidden. Deleting it then is only memory.
  void Retire();

  // True while Qt is dispatching an event to this window; it must then not be deleted directly.
  bool InDispatch() const { return dispatchDepth_ > 0; }

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  WindowProcedure* procedure_;
  NativeWindow* owner_;
  QWidget* client_;
  WindowHandle handle_ = kNoWindow;
  std::string caption_;
  std::map<int, QBasicTimer> timers_;
  int dispatchDepth_ = 0;
};

// The local files among a drop's URLs, as paths in the file system's bytes, in order.
std::vector<std::string> LocalFilePaths(const QMimeData* data);

// Text bytes as a QString: UTF-8 when valid, else Latin-1 so that no byte is lost from view.
QString BytesToQString(const std::string& bytes);

}  // namespace cinevo::platform
