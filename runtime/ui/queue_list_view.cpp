#include "runtime/ui/queue_list_view.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>

#include "platform/window/native_window.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/icons.h"
#include "runtime/ui/key_code.h"

namespace cinevo {
namespace {

constexpr int kTreeStep = 16;  // pixels per tree level
constexpr int kIconSize = 16;
constexpr uint32_t kKeyLeftButton = 1;
constexpr uint32_t kKeyRightButton = 2;
constexpr uint32_t kKeyLeftDouble = 5;

Qt::Alignment AlignmentOf(Justify j) {
  switch (j) {
    case Justify::kRight:
    case Justify::kDecimal: return Qt::AlignRight | Qt::AlignVCenter;
    case Justify::kCenter: return Qt::AlignHCenter | Qt::AlignVCenter;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

// A colour number 0xBBGGRR; negative means none.
QColor ColourOf(int64_t n) {
  if (n < 0) return {};
  return QColor(static_cast<int>(n & 0xFF), static_cast<int>((n >> 8) & 0xFF),
                static_cast<int>((n >> 16) & 0xFF));
}

}  // namespace

// ---- Model ----

QueueListModel::QueueListModel(QObject* parent) : QAbstractTableModel(parent) {}

void QueueListModel::Bind(const Queue* queue, std::vector<QueueField> fields,
                          const ListLayout* layout) {
  beginResetModel();
  queue_ = queue;
  fields_ = std::move(fields);
  layout_ = layout;
  rows_ = QueuePeekRecords(queue_);
  changes_ = QueuePeekChanges(queue_);
  endResetModel();
}

void QueueListModel::SetLayout(const ListLayout* layout) {
  beginResetModel();
  layout_ = layout;
  endResetModel();
}

bool QueueListModel::Sync() {
  const int32_t rows = QueuePeekRecords(queue_);
  const uint32_t changes = QueuePeekChanges(queue_);
  if (rows == rows_ && changes == changes_) return false;
  beginResetModel();
  rows_ = rows;
  changes_ = changes;
  endResetModel();
  return true;
}

int QueueListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int QueueListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() || layout_ == nullptr ? 0 : static_cast<int>(layout_->columns.size());
}

const QueueField* QueueListModel::Field(int number) const {
  if (number < 1 || static_cast<size_t>(number) > fields_.size()) return nullptr;
  const QueueField* f = &fields_[static_cast<size_t>(number - 1)];
  if (queue_ == nullptr || f->offset + f->size > queue_->record_size) return nullptr;
  return f;
}

std::string QueueListModel::Text(int row, int column) const {
  if (layout_ == nullptr || column < 0 || static_cast<size_t>(column) >= layout_->columns.size()) {
    return {};
  }
  const ListColumn& c = layout_->columns[static_cast<size_t>(column)];
  const QueueField* f = Field(c.field);
  if (f == nullptr) return {};
  std::string text = QueueFieldText(*f, Entry(row), c.hasPicture ? &c.picture : nullptr);
  // A picture fills its width with blanks; the column draws only what is written.
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

int64_t QueueListModel::FieldNumber(int row, int field) const {
  const QueueField* f = Field(field);
  return f ? QueueFieldNumber(*f, Entry(row)) : -1;
}

int64_t QueueListModel::Level(int row, int column) const {
  if (layout_ == nullptr || column < 0 || static_cast<size_t>(column) >= layout_->columns.size()) {
    return 0;
  }
  const QueueField* f = Field(layout_->columns[static_cast<size_t>(column)].treeField);
  return f ? QueueFieldNumber(*f, Entry(row)) : 0;
}

QIcon QueueListModel::Icon(int row, int column) const {
  if (layout_ == nullptr || iconNames_ == nullptr || column < 0 ||
      static_cast<size_t>(column) >= layout_->columns.size()) {
    return {};
  }
  const QueueField* f = Field(layout_->columns[static_cast<size_t>(column)].iconField);
  if (f == nullptr) return {};
  const int64_t n = QueueFieldNumber(*f, Entry(row));
  if (n < 1 || static_cast<size_t>(n) > iconNames_->size()) return {};
  return IconForName((*iconNames_)[static_cast<size_t>(n - 1)]);
}

QVariant QueueListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_) return {};
  switch (role) {
    case Qt::DisplayRole: return platform::BytesToQString(Text(index.row(), index.column()));
    case Qt::DecorationRole: {
      QIcon icon = Icon(index.row(), index.column());
      return icon.isNull() ? QVariant() : QVariant(icon);
    }
    case kLevelRole: return QVariant::fromValue<qlonglong>(Level(index.row(), index.column()));
    default: return {};
  }
}

QVariant QueueListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || layout_ == nullptr ||
      section < 0 || static_cast<size_t>(section) >= layout_->columns.size()) {
    return {};
  }
  return platform::BytesToQString(layout_->columns[static_cast<size_t>(section)].header);
}

// ---- Header strip ----

class QueueListView::HeaderStrip : public QWidget {
 public:
  explicit HeaderStrip(QueueListView* view) : QWidget(view), view_(view) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().button());
    p.setPen(palette().buttonText().color());
    const int dx = -view_->horizontalScrollBar()->value();
    const int h = height();
    for (const ListGroup& g : view_->layout_.groups) {
      if (g.header.empty()) continue;
      QRect r(g.left + dx + g.headerIndent + 2, 0, g.right - g.left - 4, h / 2);
      p.drawText(r, AlignmentOf(g.headerJustify), platform::BytesToQString(g.header));
    }
    const bool grouped = !view_->layout_.groups.empty();
    for (const ListColumn& c : view_->layout_.columns) {
      const int top = grouped && c.group ? h / 2 : 0;
      QRect r(c.left + dx + c.headerIndent + 2, top, c.right - c.left - 4, h - top);
      p.drawText(r, AlignmentOf(c.headerJustify), platform::BytesToQString(c.header));
      p.drawLine(c.right + dx - 1, top, c.right + dx - 1, h);
    }
    p.drawLine(0, h - 1, width(), h - 1);
  }

 private:
  QueueListView* view_;
};

// ---- View ----

QueueListView::QueueListView(bool tree, QWidget* parent)
    : QAbstractScrollArea(parent), tree_(tree), model_(new QueueListModel(this)) {
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  lineHeight_ = std::max(fontMetrics().height() + 2, kIconSize + 2);
  rowHeight_ = lineHeight_;
  SetFormat("");
  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
          [this](int action) { SliderAction(action); });
  connect(verticalScrollBar(), &QScrollBar::sliderReleased, this, [this] {
    if (paged_) thumb_ = std::clamp(verticalScrollBar()->value(), 1, 100);
    Emit(EVENT::ScrollDrag, 0);
  });
}

void QueueListView::SetPaged(bool on) {
  paged_ = on;
  top_ = 1;
  UpdateScrollBars();
  viewport()->update();
}

void QueueListView::SetThumb(int position) {
  thumb_ = std::clamp(position, 1, 100);
  UpdateScrollBars();
}

QueueListView::~QueueListView() = default;

bool QueueListView::SetFormat(const std::string& format) {
  const QFontMetrics fm = fontMetrics();
  DialogUnits units{std::max(1, fm.averageCharWidth()), std::max(1, fm.height())};
  bool ok = BuildListColumns(format, units, &layout_);
  if (!ok) BuildListColumns("4000L", units, &layout_);
  treeColumn_ = -1;
  for (size_t i = 0; i < layout_.columns.size(); ++i) {
    if (layout_.columns[i].treeField != 0) {
      treeColumn_ = static_cast<int>(i);
      break;
    }
  }
  rowHeight_ = lineHeight_ * std::max(1, layout_.lines);
  if (layout_.hasHeaders) {
    if (header_ == nullptr) header_ = new HeaderStrip(this);  // owned by this widget
    const int lines = layout_.groups.empty() ? 1 : 2;
    setViewportMargins(0, lineHeight_ * lines, 0, 0);
    header_->show();
  } else {
    setViewportMargins(0, 0, 0, 0);
    if (header_ != nullptr) header_->hide();
  }
  model_->SetLayout(&layout_);
  UpdateScrollBars();
  viewport()->update();
  return ok;
}

void QueueListView::Bind(const Queue* queue, std::vector<QueueField> fields) {
  model_->Bind(queue, std::move(fields), &layout_);
  selected_ = RowCount() > 0 ? std::clamp(selected_, 1, RowCount()) : 0;
  top_ = 1;
  UpdateScrollBars();
  viewport()->update();
}

void QueueListView::SetIconNames(const std::vector<std::string>* names) {
  model_->SetIconNames(names);
  viewport()->update();
}

void QueueListView::Sync() {
  if (!model_->Sync()) return;
  const int rows = RowCount();
  if (selected_ > rows) selected_ = rows;
  top_ = std::clamp(top_, 1, std::max(1, rows - RowsInSight() + 1));
  UpdateScrollBars();
  viewport()->update();
}

int QueueListView::RowsInSight() const {
  return std::max(1, viewport()->height() / std::max(1, rowHeight_));
}

void QueueListView::SetSelected(int row) {
  const int rows = RowCount();
  selected_ = rows == 0 ? 0 : std::clamp(row, 1, rows);
  if (selected_ != 0) ScrollToRow(selected_);
  viewport()->update();
}

QRect QueueListView::RowRect(int row) const {
  if (row < top_ || row >= top_ + RowsInSight() + 1 || row > RowCount()) return {};
  return QRect(0, (row - top_) * rowHeight_, viewport()->width(), rowHeight_);
}

void QueueListView::ScrollToRow(int row) {
  const int rows = RowCount();
  if (rows == 0) return;
  row = std::clamp(row, 1, rows);
  if (row < top_) top_ = row;
  const int sight = RowsInSight();
  if (row >= top_ + sight) top_ = row - sight + 1;
  UpdateScrollBars();
  viewport()->update();
}

QRect QueueListView::ExpanderRect(int row) const {
  if (treeColumn_ < 0 || RowRect(row).isEmpty()) return {};
  if (model_->Level(row - 1, treeColumn_) >= 0 && !ExpandedAt(row)) return {};
  return BoxRect(row, (row - top_) * rowHeight_);
}

int QueueListView::RowAt(int y) const {
  if (y < 0) return 0;
  const int row = top_ + y / std::max(1, rowHeight_);
  return row <= RowCount() ? row : 0;
}

void QueueListView::UpdateScrollBars() {
  inScrollSync_ = true;
  const int rows = RowCount();
  const int sight = RowsInSight();
  QScrollBar* v = verticalScrollBar();
  if (paged_) {
    // The bar stands for the whole set; the page is loaded by the program.
    v->setRange(1, 100);
    v->setPageStep(10);
    v->setSingleStep(1);
    v->setValue(thumb_);
  } else {
    v->setRange(0, std::max(0, rows - sight));
    v->setPageStep(sight);
    v->setSingleStep(1);
    v->setValue(top_ - 1);
  }
  QScrollBar* h = horizontalScrollBar();
  h->setRange(0, std::max(0, layout_.totalWidth - viewport()->width()));
  h->setPageStep(viewport()->width());
  h->setSingleStep(20);
  inScrollSync_ = false;
  if (header_ != nullptr) {
    header_->setGeometry(frameWidth(), frameWidth(), viewport()->width(),
                         viewportMargins().top());
    header_->update();
  }
}

void QueueListView::scrollContentsBy(int, int) {
  if (inScrollSync_) return;
  if (paged_) {
    viewport()->update();
    return;
  }
  top_ = verticalScrollBar()->value() + 1;
  viewport()->update();
  if (header_ != nullptr) header_->update();
}

void QueueListView::SliderAction(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: Emit(EVENT::ScrollDown, 0); break;
    case QAbstractSlider::SliderSingleStepSub: Emit(EVENT::ScrollUp, 0); break;
    case QAbstractSlider::SliderPageStepAdd: Emit(EVENT::PageDown, 0); break;
    case QAbstractSlider::SliderPageStepSub: Emit(EVENT::PageUp, 0); break;
    case QAbstractSlider::SliderToMinimum: Emit(EVENT::ScrollTop, 0); break;
    case QAbstractSlider::SliderToMaximum: Emit(EVENT::ScrollBottom, 0); break;
    case QAbstractSlider::SliderMove: Emit(EVENT::ScrollTrack, 0); break;
    default: break;
  }
}

void QueueListView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

bool QueueListView::ExpandedAt(int row) const {
  if (treeColumn_ < 0) return false;
  const int64_t level = model_->Level(row - 1, treeColumn_);
  if (level <= 0 || row >= RowCount()) return false;
  return std::llabs(model_->Level(row, treeColumn_)) > level;
}

QRect QueueListView::BoxRect(int row, int y) const {
  const ListColumn& c = layout_.columns[static_cast<size_t>(treeColumn_)];
  const int depth = static_cast<int>(std::min<int64_t>(64, std::llabs(model_->Level(row - 1, treeColumn_))));
  const int x = c.left + c.indent + depth * kTreeStep - horizontalScrollBar()->value();
  return QRect(x + 3, y + c.line * lineHeight_ + (lineHeight_ - 9) / 2, 9, 9);
}

void QueueListView::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const int rows = RowCount();
  const int dx = -horizontalScrollBar()->value();
  const int sight = RowsInSight() + 1;
  const QPalette& pal = palette();
  const bool focused = hasFocus();
  for (int row = top_; row <= rows && row < top_ + sight; ++row) {
    const int y = (row - top_) * rowHeight_;
    const bool selected = row == selected_;
    QRect rowRect(0, y, viewport()->width(), rowHeight_);
    if (selected) {
      p.fillRect(rowRect, focused ? pal.highlight() : pal.mid());
    }
    for (size_t ci = 0; ci < layout_.columns.size(); ++ci) {
      const ListColumn& c = layout_.columns[ci];
      const int col = static_cast<int>(ci);
      QRect cell(c.left + dx, y + c.line * lineHeight_, c.right - c.left, lineHeight_);
      if (cell.right() < 0 || cell.left() > viewport()->width()) continue;
      QColor fg = selected ? pal.highlightedText().color() : pal.text().color();
      if (!selected && c.colourCount > 0) {
        if (QColor f = ColourOf(c.colours[0]); f.isValid()) fg = f;
        if (c.colourCount > 1) {
          if (QColor b = ColourOf(c.colours[1]); b.isValid()) p.fillRect(cell, b);
        }
      }
      if (c.colourField != 0) {
        // Colour fields after the value: foreground, background, selected fg, selected bg.
        const int base = c.colourField + (selected ? 2 : 0);
        if (QColor f = ColourOf(model_->FieldNumber(row - 1, base)); f.isValid()) fg = f;
        if (QColor b = ColourOf(model_->FieldNumber(row - 1, base + 1)); b.isValid()) {
          p.fillRect(cell, b);
        }
      }
      p.save();
      p.setClipRect(cell);
      int x = cell.left() + c.indent + 2;
      if (col == treeColumn_) {
        const int64_t level = model_->Level(row - 1, col);
        const int depth = static_cast<int>(std::min<int64_t>(64, std::llabs(level)));
        x = cell.left() + c.indent + depth * kTreeStep;
        const bool contracted = level < 0;
        const bool expanded = ExpandedAt(row);
        if (contracted || expanded) {
          QRect box = BoxRect(row, y);
          p.setPen(selected ? fg : pal.mid().color());
          p.drawRect(box);
          p.setPen(fg);
          const int cy = box.center().y();
          p.drawLine(box.left() + 2, cy, box.right() - 2, cy);
          if (contracted) p.drawLine(box.center().x(), box.top() + 2, box.center().x(), box.bottom() - 2);
        }
        x += kTreeStep;
      }
      if (c.iconField != 0) {
        QIcon icon = model_->Icon(row - 1, col);
        if (!icon.isNull()) {
          icon.paint(&p, QRect(x, cell.top() + (lineHeight_ - kIconSize) / 2, kIconSize, kIconSize));
        }
        x += kIconSize + 3;
      }
      p.setPen(fg);
      QRect textRect(x, cell.top(), cell.right() - x - 2, lineHeight_);
      p.drawText(textRect, AlignmentOf(c.justify),
                 platform::BytesToQString(model_->Text(row - 1, col)));
      p.restore();
    }
  }
  // Right border lines run from the top to the bottom of the list area.
  p.setPen(pal.mid().color());
  for (const ListColumn& c : layout_.columns) {
    if (c.flags & column_flag::kRightBorder) {
      p.drawLine(c.right + dx - 1, 0, c.right + dx - 1, viewport()->height());
    }
  }
  for (const ListGroup& g : layout_.groups) {
    if (g.flags & column_flag::kRightBorder) {
      p.drawLine(g.right + dx - 1, 0, g.right + dx - 1, viewport()->height());
    }
  }
  if (focused && selected_ == 0 && rows == 0) {
    p.setPen(QPen(pal.mid().color(), 1, Qt::DotLine));
    p.drawRect(viewport()->rect().adjusted(0, 0, -1, -1));
  }
}

bool QueueListView::IsAlert(uint32_t keyCode) const {
  return alertKeys_ != nullptr &&
         std::find(alertKeys_->begin(), alertKeys_->end(), keyCode) != alertKeys_->end();
}

void QueueListView::MoveTo(int row, int scrollEvent, uint32_t keyCode) {
  if (scrollEvent != 0) Emit(scrollEvent, keyCode);
  if (paged_ && scrollEvent != 0) return;  // the program moves the page and the highlight
  const int rows = RowCount();
  if (rows == 0) return;
  row = std::clamp(row, 1, rows);
  if (row == selected_) return;
  SetSelected(row);
  Emit(EVENT::NewSelection, keyCode);
}

void QueueListView::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  const int row = RowAt(event->position().toPoint().y());
  if (event->button() == Qt::RightButton) {
    if (row != 0) SetSelected(row);
    Emit(EVENT::NewSelection, kKeyRightButton);
    Emit(EVENT::Accepted, kKeyRightButton);
    return;
  }
  if (event->button() != Qt::LeftButton || row == 0) return;
  if (treeColumn_ >= 0) {
    const int y = (row - top_) * rowHeight_;
    const int64_t level = model_->Level(row - 1, treeColumn_);
    if ((level < 0 || ExpandedAt(row)) &&
        BoxRect(row, y).adjusted(-3, -3, 3, 3).contains(event->position().toPoint())) {
      SetSelected(row);
      Emit(level < 0 ? EVENT::Expanded : EVENT::Contracted, kKeyLeftButton);
      return;
    }
  }
  const bool changed = row != selected_;
  SetSelected(row);
  if (changed) Emit(EVENT::NewSelection, kKeyLeftButton);
}

void QueueListView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return mousePressEvent(event);
  const int row = RowAt(event->position().toPoint().y());
  if (row == 0) return;
  if (row != selected_) {
    SetSelected(row);
    Emit(EVENT::NewSelection, kKeyLeftDouble);
  }
  Emit(IsAlert(kKeyLeftDouble) ? EVENT::AlertKey : EVENT::Accepted, kKeyLeftDouble);
}

void QueueListView::keyPressEvent(QKeyEvent* event) {
  QString text = event->text();
  const uint32_t code = KeyCodeFromQt(event->key(), static_cast<int>(event->modifiers()),
                                      text.isEmpty() ? 0 : text.at(0).unicode());
  const int sight = RowsInSight();
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  switch (event->key()) {
    case Qt::Key_Up: return MoveTo(selected_ - 1, EVENT::ScrollUp, code);
    case Qt::Key_Down: return MoveTo(selected_ + 1, EVENT::ScrollDown, code);
    case Qt::Key_PageUp: return MoveTo(selected_ - sight, EVENT::PageUp, code);
    case Qt::Key_PageDown: return MoveTo(selected_ + sight, EVENT::PageDown, code);
    case Qt::Key_Home:
      return MoveTo(1, ctrl ? EVENT::ScrollTop : 0, code);
    case Qt::Key_End:
      return MoveTo(RowCount(), ctrl ? EVENT::ScrollBottom : 0, code);
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return Emit(EVENT::Accepted, code);
    default:
      break;
  }
  if (treeColumn_ >= 0 && selected_ != 0) {
    const int64_t level = model_->Level(selected_ - 1, treeColumn_);
    const int key = event->key();
    if ((key == Qt::Key_Right || key == Qt::Key_Plus) && level < 0) {
      return Emit(EVENT::Expanded, code);
    }
    if ((key == Qt::Key_Left || key == Qt::Key_Minus) && ExpandedAt(selected_)) {
      return Emit(EVENT::Contracted, code);
    }
  }
  QAbstractScrollArea::keyPressEvent(event);
}

void QueueListView::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y() / 120;
  if (steps == 0) return;
  if (paged_) {
    for (int i = 0; i < std::abs(steps) * 3; ++i) Emit(steps > 0 ? EVENT::ScrollUp : EVENT::ScrollDown, 0);
    event->accept();
    return;
  }
  const int rows = RowCount();
  top_ = std::clamp(top_ - steps * 3, 1, std::max(1, rows - RowsInSight() + 1));
  UpdateScrollBars();
  viewport()->update();
  Emit(steps > 0 ? EVENT::ScrollUp : EVENT::ScrollDown, 0);
  event->accept();
}

}  // namespace cinevo
