#include "platform/window/native_window.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QIcon>
#include <QPixmap>
#include <QTimerEvent>
#include <QVBoxLayout>

namespace cinevo::platform {

QString BytesToQString(const std::string& bytes) {
  QString s = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  if (s.contains(QChar::ReplacementCharacter)) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }
  return s;
}

NativeWindow::NativeWindow(WindowProcedure* procedure, NativeWindow* owner)
    : QWidget(owner, Qt::Window), procedure_(procedure), owner_(owner) {
  auto* layout = new QVBoxLayout(this);  // owned by this widget
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  client_ = new QWidget(this);
  layout->addWidget(client_);
  handle_ = detail::ClaimHandle(this);
}

NativeWindow::~NativeWindow() {
  // First: no new messages can be queued for this window once its handle is gone.
  detail::ReleaseHandle(handle_);
  procedure_ = nullptr;
}

void NativeWindow::Retire() {
  detail::ReleaseHandle(handle_);
  handle_ = kNoWindow;
  procedure_ = nullptr;
  timers_.clear();
  hide();
}

void NativeWindow::SetCaption(const std::string& caption) {
  caption_ = caption;
  setWindowTitle(BytesToQString(caption));
}

bool NativeWindow::SetIconFile(const std::string& path) {
  QPixmap picture;
  if (!picture.load(BytesToQString(path))) return false;
  setWindowIcon(QIcon(picture));
  return true;
}

void NativeWindow::SetAcceptsFiles(bool on) { setAcceptDrops(on); }

std::vector<std::string> LocalFilePaths(const QMimeData* data) {
  std::vector<std::string> paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    QByteArray bytes = QFile::encodeName(url.toLocalFile());
    if (!bytes.isEmpty()) paths.emplace_back(bytes.constData(), static_cast<size_t>(bytes.size()));
  }
  return paths;
}

void NativeWindow::dragEnterEvent(QDragEnterEvent* e) {
  if (!LocalFilePaths(e->mimeData()).empty()) e->acceptProposedAction();
}

void NativeWindow::dragMoveEvent(QDragMoveEvent* e) {
  if (e->mimeData() != nullptr && e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void NativeWindow::dropEvent(QDropEvent* e) {
  std::vector<std::string> paths = LocalFilePaths(e->mimeData());
  if (paths.empty()) return;
  e->acceptProposedAction();
  if (procedure_) procedure_->OnFilesDropped(paths);
}

void NativeWindow::SetTimer(int number, int milliseconds) {
  if (milliseconds <= 0) {
    timers_.erase(number);
    return;
  }
  timers_[number].start(milliseconds, this);
}

bool NativeWindow::HasTimer(int number) const {
  auto it = timers_.find(number);
  return it != timers_.end() && it->second.isActive();
}

bool NativeWindow::event(QEvent* e) {
  struct DepthGuard {
    int& d;
    explicit DepthGuard(int& depth) : d(depth) { ++d; }
    ~DepthGuard() { --d; }
  } guard(dispatchDepth_);
  if (e->type() == PrivateMessage::Type() && e->type() != QEvent::None) {
    if (procedure_) procedure_->OnPrivateMessage(static_cast<PrivateMessage&>(*e));
    return true;
  }
  if (e->type() == QEvent::WindowActivate && procedure_) procedure_->OnActivated();
  return QWidget::event(e);
}

void NativeWindow::closeEvent(QCloseEvent* e) {
  // The window stays; its procedure decides whether to close it.
  e->ignore();
  if (procedure_) procedure_->OnCloseRequest();
}

void NativeWindow::timerEvent(QTimerEvent* e) {
  for (auto& [number, timer] : timers_) {
    if (timer.timerId() == e->timerId()) {
      if (procedure_) procedure_->OnTimer(number);
      return;
    }
  }
  QWidget::timerEvent(e);
}

void NativeWindow::moveEvent(QMoveEvent* e) {
  QWidget::moveEvent(e);
  if (procedure_) procedure_->OnMoved();
}

void NativeWindow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (procedure_) procedure_->OnSized();
}

}  // namespace cinevo::platform
