// The window a movie is shown in.
//
// A movie window is a captioned, movable and resizable frame placed in the client area of its
// parent window (client coordinates), or a top-level window when it has no parent. It draws
// itself: a border of kBorder pixels all round and a caption bar of kCaption pixels under the
// top border, so the window is kExtraWidth wider and kExtraHeight taller than the video area
// (its "client"). Dragging the caption moves it within the parent; dragging the bottom-right
// corner resizes it. The picture comes from a frame source that the owner keeps alive for as
// long as the window exists.
#pragma once

#include <QFrame>
#include <QImage>
#include <QPoint>
#include <QString>

namespace cinevo::platform {

class MovieWindow : public QFrame {
  Q_OBJECT
 public:
  static constexpr int kBorder = 2;
  static constexpr int kCaption = 18;
  static constexpr int kExtraWidth = 2 * kBorder;
  static constexpr int kExtraHeight = 2 * kBorder + kCaption;
  static constexpr int kGrip = 10;  // size of the resize corner

  // `frame` points at the image the owner renders into (it may be null or change in place).
  MovieWindow(QWidget* parent, const QString& caption, const QImage* frame);

  QString caption() const { return caption_; }
  // The video area in window coordinates, and its size.
  QRect VideoRect() const;
  QSize VideoSize() const { return VideoRect().size(); }

 signals:
  // The video area changed size (by the user or by a command).
  void videoResized(QSize size);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  enum class Drag { kNone, kMove, kResize };
  QString caption_;
  const QImage* frame_;
  Drag drag_ = Drag::kNone;
  QPoint drag_origin_;  // global position where the drag started
  QRect drag_start_;    // geometry when the drag started
};

}  // namespace cinevo::platform
