#include "platform/media/movie_window.h"

#include <QMouseEvent>
#include <QPainter>

namespace cinevo::platform {

MovieWindow::MovieWindow(QWidget* parent, const QString& caption, const QImage* frame)
    : QFrame(parent), caption_(caption), frame_(frame) {
  setWindowTitle(caption);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(kExtraWidth + 1, kExtraHeight + 1);
}

QRect MovieWindow::VideoRect() const {
  return QRect(kBorder, kBorder + kCaption, std::max(0, width() - kExtraWidth),
               std::max(0, height() - kExtraHeight));
}

void MovieWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(64, 64, 64));
  QRect bar(kBorder, kBorder, width() - kExtraWidth, kCaption);
  p.fillRect(bar, QColor(0, 0, 128));
  p.setPen(Qt::white);
  QString text = p.fontMetrics().elidedText(caption_, Qt::ElideMiddle, std::max(0, bar.width() - 6));
  p.drawText(bar.adjusted(3, 0, -3, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
  QRect video = VideoRect();
  if (frame_ != nullptr && !frame_->isNull()) {
    if (frame_->size() == video.size()) p.drawImage(video.topLeft(), *frame_);
    else p.drawImage(video, *frame_);
  } else {
    p.fillRect(video, Qt::black);
  }
}

void MovieWindow::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  emit videoResized(VideoSize());
}

void MovieWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QFrame::mousePressEvent(event);
  QPoint at = event->position().toPoint();
  raise();
  if (at.x() >= width() - kGrip && at.y() >= height() - kGrip) drag_ = Drag::kResize;
  else if (at.y() < kBorder + kCaption) drag_ = Drag::kMove;
  else drag_ = Drag::kNone;
  drag_origin_ = event->globalPosition().toPoint();
  drag_start_ = geometry();
}

void MovieWindow::mouseMoveEvent(QMouseEvent* event) {
  QPoint delta = event->globalPosition().toPoint() - drag_origin_;
  if (drag_ == Drag::kMove) {
    move(drag_start_.topLeft() + delta);
  } else if (drag_ == Drag::kResize) {
    resize(std::max(minimumWidth(), drag_start_.width() + delta.x()),
           std::max(minimumHeight(), drag_start_.height() + delta.y()));
  } else {
    QFrame::mouseMoveEvent(event);
  }
}

void MovieWindow::mouseReleaseEvent(QMouseEvent* event) {
  drag_ = Drag::kNone;
  QFrame::mouseReleaseEvent(event);
}

}  // namespace cinevo::platform
