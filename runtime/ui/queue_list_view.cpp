#include "runtime/ui/queue_list_view.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QHelpEvent>
#include <QScrollBar>
#include <QStyle>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "platform/window/native_window.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/icons.h"
#include "runtime/ui/key_code.h"

namespace cinevo {
namespace {

// Whether a locator cell begins with the typed text, case ignored, the cell's leading blanks
// skipped and its trailing ones cut off. ASCII is compared byte by byte without decoding the cell
// (a byte below 0x80 is that character whether the cell reads as UTF-8 or as Latin-1); a cell
// that has other bytes where it matters is decoded and compared as text.
class LocatorMatch {
 public:
  explicit LocatorMatch(const QString& text) : text_(text) {
    for (const QChar ch : text) {
      if (ch.unicode() >= 0x80) {
        folded_.clear();
        return;
      }
      folded_ += Lower(static_cast<char>(ch.unicode()));
    }
  }
  bool operator()(std::string_view cell) const {
    size_t i = 0;
    while (i < cell.size() && IsBlank(cell[i])) ++i;
    if (folded_.empty()) return Decoded(cell);
    for (const char want : folded_) {
      if (i == cell.size()) return false;
      const char have = cell[i++];
      if (static_cast<uint8_t>(have) >= 0x80) return Decoded(cell);
      if (Lower(have) != want) return false;
      // A blank that only trailing blanks follow is cut off with them.
      if (have == ' ' && cell.find_first_not_of(' ', i) == std::string_view::npos) return false;
    }
    return true;
  }

 private:
  static bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
  static char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
  bool Decoded(std::string_view cell) const {
    const size_t end = cell.find_last_not_of(' ');
    const QString decoded =
        platform::BytesToQString(std::string(cell.substr(0, end == std::string_view::npos ? 0 : end + 1)));
    qsizetype start = 0;
    while (start < decoded.size() && decoded.at(start).isSpace()) ++start;
    return QStringView(decoded).mid(start).startsWith(text_, Qt::CaseInsensitive);
  }

  const QString& text_;
  std::string folded_;  // the text in ASCII lower case; empty when it is not all ASCII
};

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

std::string_view QueueListModel::TextView(int row, int column, std::string* scratch) const {
  const ListColumn* c = Column(column);
  const QueueField* f = c ? Field(c->field) : nullptr;
  std::string_view view;
  if (f != nullptr && QueueFieldTextView(*f, Entry(row), c->hasPicture ? &c->picture : nullptr, &view)) {
    return view;
  }
  *scratch = Text(row, column);
  return *scratch;
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

const ListColumn* QueueListModel::Column(int column) const {
  if (layout_ == nullptr || column < 0 || static_cast<size_t>(column) >= layout_->columns.size()) {
    return nullptr;
  }
  return &layout_->columns[static_cast<size_t>(column)];
}

int64_t QueueListModel::IconNumber(int row, int column) const {
  const ListColumn* c = Column(column);
  const QueueField* f = c ? Field(c->iconField) : nullptr;
  return f ? QueueFieldNumber(*f, Entry(row)) : 0;
}

QIcon QueueListModel::Icon(int row, int column) const {
  const ListColumn* c = Column(column);
  if (c == nullptr) return {};
  if (c->iconField == 0) {
    // A tree drawing folders shows its nodes' state.
    if (c->treeField == 0 || !TreeStyleOf(*c).folders) return {};
    const int state = TreeState(row, column);
    return state == 0 ? QIcon() : IconForName(state < 0 ? "~closed.ico" : "~opened.ico");
  }
  const int64_t n = IconNumber(row, column);
  if (iconNames_ == nullptr || n < 1 || static_cast<size_t>(n) > iconNames_->size()) return {};
  return IconForName((*iconNames_)[static_cast<size_t>(n - 1)]);
}

QueueListModel::Colours QueueListModel::CellColours(int row, int column) const {
  Colours out;
  const ListColumn* c = Column(column);
  if (c == nullptr) return out;
  QColor* colour[4] = {&out.foreground, &out.background, &out.selectedForeground,
                      &out.selectedBackground};
  for (int i = 0; i < 4; ++i) {
    if (i < c->colourCount) *colour[i] = ColourOf(c->colours[static_cast<size_t>(i)]);
    if (c->colourField != 0) {
      if (QColor f = ColourOf(FieldNumber(row, c->colourField + i)); f.isValid()) *colour[i] = f;
    }
  }
  return out;
}

QueueListModel::TreeStyle QueueListModel::TreeStyleOf(const ListColumn& c) {
  namespace co = column_option;
  const uint8_t o = c.options & (co::kTreeLines | co::kTreeBoxes | co::kTreeIcons |
                                 co::kTreeLevel1 | co::kTreeRoot);
  if (o == 0) return {};
  TreeStyle t;
  t.boxes = (o & co::kTreeBoxes) != 0;
  t.lines = (o & co::kTreeLines) != 0;
  t.topOnly = (o & co::kTreeLevel1) != 0;
  t.root = (o & co::kTreeRoot) != 0 || t.topOnly;
  t.folders = (o & co::kTreeIcons) != 0;
  return t;
}

int QueueListModel::Depth(int row, int column) const {
  return static_cast<int>(std::min<int64_t>(kMaxTreeDepth, std::llabs(Level(row, column))));
}

int QueueListModel::TreeState(int row, int column) const {
  const ListColumn* c = Column(column);
  if (c == nullptr || c->treeField == 0 || row < 0 || row >= rows_) return 0;
  const int64_t level = Level(row, column);
  if (level < 0) return -1;
  // A line of level 0 (a root above the tree) is never contracted, so it shows no state.
  if (level == 0 || row + 1 >= rows_) return 0;
  return std::llabs(Level(row + 1, column)) > level ? 1 : 0;
}

std::vector<uint64_t> QueueListModel::LaterSiblings(int first, int count, int column) const {
  std::vector<uint64_t> out;
  const ListColumn* c = Column(column);
  if (c == nullptr || c->treeField == 0 || first < 0 || count <= 0 || first >= rows_) return out;
  count = std::min(count, rows_ - first);
  out.resize(static_cast<size_t>(count));
  // After the last row: scan on until a row of depth 0 (nothing can follow shallower).
  uint64_t later = 0;
  int shallowest = kMaxTreeDepth + 1;
  const int last = first + count - 1;
  const int end = static_cast<int>(std::min<int64_t>(rows_, int64_t{last} + 1 + kSiblingScan));
  for (int r = last + 1; r < end && shallowest > 0; ++r) {
    const int d = Depth(r, column);
    if (d < shallowest) {
      later |= uint64_t{1} << d;
      shallowest = d;
    }
  }
  // Back up one row at a time: before row r + 1 of depth d, the nodes deeper than d have ended,
  // the node of depth d has a later sibling, and the shallower ones keep what they had.
  out[static_cast<size_t>(count - 1)] = later;
  for (int r = last - 1; r >= first; --r) {
    const int d = Depth(r + 1, column);
    later = (later & ((uint64_t{1} << d) - 1)) | (uint64_t{1} << d);
    out[static_cast<size_t>(r - first)] = later;
  }
  return out;
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
    case kIconNumberRole:
      return QVariant::fromValue<qlonglong>(IconNumber(index.row(), index.column()));
    case kTreeStateRole: return TreeState(index.row(), index.column());
    case kLaterSiblingsRole: {
      std::vector<uint64_t> later = LaterSiblings(index.row(), 1, index.column());
      return QVariant::fromValue<qulonglong>(later.empty() ? 0 : later[0]);
    }
    case Qt::ForegroundRole:
    case Qt::BackgroundRole:
    case kSelectedForegroundRole:
    case kSelectedBackgroundRole: {
      const Colours c = CellColours(index.row(), index.column());
      const QColor& colour = role == Qt::ForegroundRole   ? c.foreground
                             : role == Qt::BackgroundRole ? c.background
                             : role == kSelectedForegroundRole ? c.selectedForeground
                                                               : c.selectedBackground;
      return colour.isValid() ? QVariant(colour) : QVariant();
    }
    case Qt::FontRole: {
      const ListColumn* c = Column(index.column());
      if (c == nullptr || (c->flags & column_flag::kUnderline) == 0) return {};
      QFont font;
      font.setUnderline(true);
      return font;
    }
    case Qt::ToolTipRole: {
      // "H(n)": the column's tip is the text of queue field n of the row.
      const ListColumn* c = Column(index.column());
      if (c == nullptr || (c->options & column_option::kHNumber) == 0) return {};
      const QueueField* f = Field(c->hNumber);
      if (f == nullptr) return {};
      std::string text = QueueFieldText(*f, Entry(index.row()), nullptr);
      while (!text.empty() && text.back() == ' ') text.pop_back();
      return text.empty() ? QVariant() : QVariant(platform::BytesToQString(text));
    }
    case Qt::TextAlignmentRole: {
      const ListColumn* c = Column(index.column());
      return c ? QVariant(static_cast<int>(AlignmentOf(c->justify))) : QVariant();
    }
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
  explicit HeaderStrip(QueueListView* view) : QWidget(view), view_(view) { setMouseTracking(true); }

 protected:
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) view_->StartResize(e->position().toPoint().x());
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    const int x = e->position().toPoint().x();
    if (view_->resizing_ >= 0) view_->DragResize(x);
    else view_->ShowEdgeCursor(this, x);
  }
  void mouseReleaseEvent(QMouseEvent*) override { view_->EndResize(); }

  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().button());
    p.setPen(palette().buttonText().color());
    const int dx = -view_->horizontalScrollBar()->value();
    const int h = height();
    for (const ListGroup& g : view_->layout_.groups) {
      if (g.header.empty()) continue;
      const int gx = (g.flags & column_flag::kFixed) ? 0 : dx;
      QRect r(g.left + gx + g.headerIndent + 2, 0, g.right - g.left - 4, h / 2);
      p.drawText(r, AlignmentOf(g.headerJustify), platform::BytesToQString(g.header));
    }
    const bool grouped = !view_->layout_.groups.empty();
    // Fixed columns last, over what scrolled under them.
    for (const bool fixed : {false, true}) {
      for (size_t ci = 0; ci < view_->layout_.columns.size(); ++ci) {
        const ListColumn& c = view_->layout_.columns[ci];
        const int right = view_->ColumnRight(ci);
        if (((c.flags & column_flag::kFixed) != 0) != fixed) continue;
        const int top = grouped && c.group ? h / 2 : 0;
        const int cx = c.left - view_->Scroll(c);
        if (fixed) p.fillRect(QRect(cx, top, right - c.left, h - top), palette().button());
        QRect r(cx + c.headerIndent + 2, top, right - c.left - 4, h - top);
        p.drawText(r, AlignmentOf(c.headerJustify), platform::BytesToQString(c.header));
        p.drawLine(cx + right - c.left - 1, top, cx + right - c.left - 1, h);
      }
    }
    p.drawLine(0, h - 1, width(), h - 1);
  }

 private:
  QueueListView* view_;
};

// ---- View ----

QueueListView::QueueListView(bool tree, QWidget* parent)
    : QAbstractScrollArea(parent),
      tree_(tree),
      model_(new QueueListModel(this)),
      locateTimer_(new QTimer(this)) {
  locateTimer_->setSingleShot(true);
  locateTimer_->setInterval(0);
  connect(locateTimer_, &QTimer::timeout, this, [this] { LocateTurn(); });
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
  StopLocate(true);
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
  resizing_ = -1;
  bool resizable = false;
  for (const ListColumn& c : layout_.columns) resizable = resizable || (c.flags & column_flag::kResizable);
  viewport()->setMouseTracking(resizable);
  if (!resizable) viewport()->unsetCursor();
  BuildSideScrolls();
  const int bottom = sideScrolls_.empty() ? 0 : SideBarHeight();
  if (layout_.hasHeaders) {
    if (header_ == nullptr) header_ = new HeaderStrip(this);  // owned by this widget
    const int lines = layout_.groups.empty() ? 1 : 2;
    setViewportMargins(0, lineHeight_ * lines, 0, bottom);
    header_->show();
  } else {
    setViewportMargins(0, 0, 0, bottom);
    if (header_ != nullptr) header_->hide();
  }
  model_->SetLayout(&layout_);
  UpdateScrollBars();
  viewport()->update();
  return ok;
}

void QueueListView::Bind(const Queue* queue, std::vector<QueueField> fields) {
  StopLocate(true);
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
  StopLocate(true);
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

QRect QueueListView::CellRect(int row, int column) const {
  const QRect r = RowRect(row);
  if (r.isEmpty() || column < 0 || static_cast<size_t>(column) >= layout_.columns.size()) return {};
  const ListColumn& c = layout_.columns[static_cast<size_t>(column)];
  return QRect(c.left - Scroll(c), r.top() + c.line * lineHeight_, ColumnRight(static_cast<size_t>(column)) - c.left,
               lineHeight_);
}

QString QueueListView::TipAt(QPoint at) const {
  const int row = RowAt(at.y());
  if (row < 1) return {};
  for (size_t c = 0; c < layout_.columns.size(); ++c) {
    if (CellRect(row, static_cast<int>(c)).contains(at)) {
      return model_->data(model_->index(row - 1, static_cast<int>(c)), Qt::ToolTipRole).toString();
    }
  }
  return {};
}

bool QueueListView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = TipAt(help->pos());
    if (tip.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), tip, viewport());
    }
    return true;
  }
  return QAbstractScrollArea::viewportEvent(event);
}

int QueueListView::ColumnRight(size_t column) const {
  const ListColumn& c = layout_.columns[column];
  const bool last = column + 1 == layout_.columns.size();
  if (!last || c.group != 0 || c.right < layout_.totalWidth) return c.right;
  return std::max(c.right, viewport()->width());
}

void QueueListView::SetHideSelect(bool on) {
  hideSelect_ = on;
  viewport()->update();
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
  PlaceSideBars();
}

// ---- Columns that scroll on their own ("S") ----

void QueueListView::BuildSideScrolls() {
  sideScrolls_.clear();
  sideOf_.assign(layout_.columns.size(), -1);
  const int charWidth = std::max(1, fontMetrics().averageCharWidth());
  auto add = [&](int column, int group, int content) {
    SideScroll side;
    side.column = column;
    side.group = group;
    side.content = content;
    side.bar = std::make_unique<QScrollBar>(Qt::Horizontal, this);
    side.bar->setSingleStep(charWidth * 2);
    connect(side.bar.get(), &QScrollBar::valueChanged, viewport(), [this] { viewport()->update(); });
    sideScrolls_.push_back(std::move(side));
    return static_cast<int>(sideScrolls_.size()) - 1;
  };
  for (size_t gi = 0; gi < layout_.groups.size(); ++gi) {
    const ListGroup& g = layout_.groups[gi];
    if ((g.flags & column_flag::kScroll) == 0) continue;
    // Without a number the group scrolls over the extent of its columns.
    int extent = 0;
    for (int ci = g.firstColumn; ci <= g.lastColumn; ++ci) {
      extent = std::max(extent, layout_.columns[static_cast<size_t>(ci)].right - g.left);
    }
    const int index = add(-1, static_cast<int>(gi) + 1, g.scaled > 0 ? g.scaled : extent);
    for (int ci = g.firstColumn; ci <= g.lastColumn; ++ci) sideOf_[static_cast<size_t>(ci)] = index;
  }
  for (size_t ci = 0; ci < layout_.columns.size(); ++ci) {
    const ListColumn& c = layout_.columns[ci];
    if ((c.flags & column_flag::kScroll) == 0 || sideOf_[ci] >= 0) continue;
    const int shown = c.hasPicture ? c.picture.Width() * charWidth + c.indent + 4 : 0;
    sideOf_[ci] = add(static_cast<int>(ci), 0, c.scaled > 0 ? c.scaled : shown);
  }
}

int QueueListView::SideBarHeight() const {
  return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

int QueueListView::SideLeft(const SideScroll& side) const {
  if (side.column >= 0) {
    const ListColumn& c = layout_.columns[static_cast<size_t>(side.column)];
    return c.left - Scroll(c);
  }
  const ListGroup& g = layout_.groups[static_cast<size_t>(side.group - 1)];
  return g.left - ((g.flags & column_flag::kFixed) ? 0 : horizontalScrollBar()->value());
}

int QueueListView::SideWidth(const SideScroll& side) const {
  if (side.column >= 0) {
    const ListColumn& c = layout_.columns[static_cast<size_t>(side.column)];
    return ColumnRight(static_cast<size_t>(side.column)) - c.left;
  }
  const ListGroup& g = layout_.groups[static_cast<size_t>(side.group - 1)];
  return g.right - g.left;
}

void QueueListView::PlaceSideBars() {
  const QRect area = viewport()->geometry();
  for (SideScroll& side : sideScrolls_) {
    const int width = SideWidth(side);
    side.bar->setRange(0, std::max(0, side.content - width));
    side.bar->setPageStep(std::max(1, width));
    side.bar->setEnabled(side.bar->maximum() > 0);
    // Under its column, cut to the part of the list in sight.
    const int left = std::max(0, SideLeft(side));
    const int right = std::min(area.width(), SideLeft(side) + width);
    if (right - left < 4) {
      side.bar->hide();
      continue;
    }
    side.bar->setGeometry(area.left() + left, area.bottom() + 1, right - left, SideBarHeight());
    side.bar->show();
  }
}

QScrollBar* QueueListView::SideBar(int column) const {
  if (column < 0 || static_cast<size_t>(column) >= sideOf_.size() || sideOf_[static_cast<size_t>(column)] < 0) {
    return nullptr;
  }
  return sideScrolls_[static_cast<size_t>(sideOf_[static_cast<size_t>(column)])].bar.get();
}

int QueueListView::SideShift(int column) const {
  const QScrollBar* bar = SideBar(column);
  return bar ? bar->value() : 0;
}

int QueueListView::SideAt(int x) const {
  for (size_t i = 0; i < sideScrolls_.size(); ++i) {
    const int left = SideLeft(sideScrolls_[i]);
    if (x >= left && x < left + SideWidth(sideScrolls_[i])) return static_cast<int>(i);
  }
  return -1;
}

QRect QueueListView::ShiftedCell(size_t column, const QRect& cell, QRect* clip) const {
  *clip = cell;
  const int index = sideOf_.empty() ? -1 : sideOf_[column];
  if (index < 0) return cell;
  const SideScroll& side = sideScrolls_[static_cast<size_t>(index)];
  if (side.column >= 0) {
    // The column's contents are laid out over the whole scrolled width, seen through the cell.
    return QRect(cell.left() - side.bar->value(), cell.top(), std::max(cell.width(), side.content),
                 cell.height());
  }
  // A group's columns move together, seen through the group's extent.
  const QRect shifted = cell.translated(-side.bar->value(), 0);
  *clip = QRect(SideLeft(side), cell.top(), SideWidth(side), cell.height()).intersected(shifted);
  return shifted;
}

void QueueListView::scrollContentsBy(int, int) {
  if (inScrollSync_) return;
  PlaceSideBars();  // they follow their columns sideways
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
    case QAbstractSlider::SliderMove: Emit(EVENT::ScrollTrack, 0); return;
    default: return;
  }
  // A paged list's thumb stands for where the page lies in the whole set: the program moves it
  // once it has loaded the page, a click on the bar's arrows or trough does not.
  if (paged_) verticalScrollBar()->setSliderPosition(thumb_);
}

void QueueListView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

int QueueListView::Scroll(const ListColumn& c) const {
  return (c.flags & column_flag::kFixed) ? 0 : horizontalScrollBar()->value();
}

int QueueListView::Slot(const ListColumn& c, int depth) const {
  const QueueListModel::TreeStyle t = QueueListModel::TreeStyleOf(c);
  // Level 0 (a line above the tree) never has a slot; the top level has one with "R".
  const int slot = depth - 2 + (t.root ? 1 : 0);
  return slot >= 0 && (!t.topOnly || depth <= 1) ? slot : -1;
}

QRect QueueListView::BoxRect(int row, int y) const {
  if (treeColumn_ < 0 || row < 1 || row > RowCount()) return {};
  const ListColumn& c = layout_.columns[static_cast<size_t>(treeColumn_)];
  if (!QueueListModel::TreeStyleOf(c).boxes || model_->TreeState(row - 1, treeColumn_) == 0) return {};
  const int slot = Slot(c, model_->Depth(row - 1, treeColumn_));
  if (slot < 0) return {};
  const int x = c.left - Scroll(c) - SideShift(treeColumn_) + c.indent + slot * kTreeStep;
  return QRect(x + (kTreeStep - 9) / 2, y + c.line * lineHeight_ + (lineHeight_ - 9) / 2, 9, 9);
}

void QueueListView::PaintTree(QPainter& p, const ListColumn& c, int row, int y, const QRect& cell,
                              uint64_t later, const QColor& lineColour) const {
  const QueueListModel::TreeStyle t = QueueListModel::TreeStyleOf(c);
  const int depth = model_->Depth(row - 1, treeColumn_);
  const int x0 = cell.left() + c.indent;
  auto centre = [&](int slot) { return x0 + slot * kTreeStep + kTreeStep / 2; };
  const int cy = cell.top() + lineHeight_ / 2;
  const int bottom = y + rowHeight_ - 1;
  if (t.lines) {
    p.setPen(QPen(lineColour, 1, Qt::DotLine));
    // The nodes above this one on its path that have later siblings pass by.
    for (int d = 1; d < depth; ++d) {
      const int slot = Slot(c, d);
      if (slot >= 0 && (later >> d & 1)) p.drawLine(centre(slot), y, centre(slot), bottom);
    }
    const int slot = Slot(c, depth);
    if (depth >= 1 && slot >= 0) {
      const int cx = centre(slot);
      if (row > 1) p.drawLine(cx, y, cx, cy);
      if (later >> depth & 1) p.drawLine(cx, cy, cx, bottom);
      p.drawLine(cx, cy, x0 + (slot + 1) * kTreeStep - 2, cy);
    }
  }
  const QRect box = BoxRect(row, y);
  if (box.isEmpty()) return;
  const bool contracted = model_->TreeState(row - 1, treeColumn_) < 0;
  p.fillRect(box, palette().base());
  p.setPen(palette().mid().color());
  p.drawRect(box);
  p.setPen(palette().text().color());
  const int by = box.center().y();
  p.drawLine(box.left() + 2, by, box.right() - 2, by);
  if (contracted) p.drawLine(box.center().x(), box.top() + 2, box.center().x(), box.bottom() - 2);
}

void QueueListView::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const int rows = RowCount();
  const int sight = RowsInSight() + 1;
  const QPalette& pal = palette();
  const bool focused = hasFocus();
  const int last = std::min(rows, top_ + sight - 1);
  std::vector<uint64_t> later;
  if (treeColumn_ >= 0 && last >= top_ &&
      QueueListModel::TreeStyleOf(layout_.columns[static_cast<size_t>(treeColumn_)]).lines) {
    later = model_->LaterSiblings(top_ - 1, last - top_ + 1, treeColumn_);
  }
  const bool showSelected = focused || !hideSelect_;
  for (int row = top_; row <= last; ++row) {
    const int y = (row - top_) * rowHeight_;
    const bool selected = showSelected && row == selected_;
    const QBrush rowBrush = selected ? (focused ? pal.highlight() : pal.mid()) : pal.base();
    if (selected) p.fillRect(QRect(0, y, viewport()->width(), rowHeight_), rowBrush);
    // Fixed columns last, over what scrolled under them.
    for (const bool fixed : {false, true}) {
      for (size_t ci = 0; ci < layout_.columns.size(); ++ci) {
        const ListColumn& c = layout_.columns[ci];
        if (((c.flags & column_flag::kFixed) != 0) != fixed) continue;
        const int col = static_cast<int>(ci);
        QRect clip;
        const QRect cell = ShiftedCell(
            ci, QRect(c.left - Scroll(c), y + c.line * lineHeight_, ColumnRight(ci) - c.left, lineHeight_), &clip);
        if (clip.isEmpty() || clip.right() < 0 || clip.left() > viewport()->width()) continue;
        if (fixed) p.fillRect(clip, rowBrush);
        const QueueListModel::Colours colours = model_->CellColours(row - 1, col);
        QColor fg = selected ? colours.selectedForeground : colours.foreground;
        if (!fg.isValid()) fg = selected ? pal.highlightedText().color() : pal.text().color();
        const QColor bg = selected ? colours.selectedBackground : colours.background;
        if (bg.isValid()) p.fillRect(clip, bg);
        p.save();
        p.setClipRect(clip);
        int x = cell.left() + c.indent + 2;
        bool icon = c.iconField != 0;
        if (col == treeColumn_) {
          const uint64_t l = later.empty() ? 0 : later[static_cast<size_t>(row - top_)];
          PaintTree(p, c, row, y, cell, l, selected ? fg : pal.mid().color());
          const int slot = Slot(c, model_->Depth(row - 1, col));
          x = cell.left() + c.indent + (slot + 1) * kTreeStep;
          icon = icon || QueueListModel::TreeStyleOf(c).folders;
        }
        if (icon) {
          QIcon i = model_->Icon(row - 1, col);
          if (!i.isNull()) {
            i.paint(&p, QRect(x, cell.top() + (lineHeight_ - kIconSize) / 2, kIconSize, kIconSize));
          }
          x += kIconSize + 3;
        }
        if (c.flags & column_flag::kUnderline) {
          QFont f = p.font();
          f.setUnderline(true);
          p.setFont(f);
        }
        p.setPen(fg);
        QRect textRect(x, cell.top(), cell.right() - x - 2, lineHeight_);
        p.drawText(textRect, AlignmentOf(c.justify),
                   platform::BytesToQString(model_->Text(row - 1, col)));
        p.restore();
      }
    }
  }
  // Right border lines run from the top to the bottom of the list area.
  p.setPen(pal.mid().color());
  for (size_t ci = 0; ci < layout_.columns.size(); ++ci) {
    const ListColumn& c = layout_.columns[ci];
    if (c.flags & column_flag::kRightBorder) {
      const int x = ColumnRight(ci) - Scroll(c) - 1;
      p.drawLine(x, 0, x, viewport()->height());
    }
  }
  const int dx = -horizontalScrollBar()->value();
  for (const ListGroup& g : layout_.groups) {
    if (g.flags & column_flag::kRightBorder) {
      const int x = g.right + ((g.flags & column_flag::kFixed) ? 0 : dx) - 1;
      p.drawLine(x, 0, x, viewport()->height());
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

int QueueListView::ColumnEdgeAt(int x) const {
  constexpr int kGrip = 3;
  // The last one wins where edges meet: a column of width 0 stays reachable from its left.
  int found = -1;
  for (size_t ci = 0; ci < layout_.columns.size(); ++ci) {
    const ListColumn& c = layout_.columns[ci];
    if ((c.flags & column_flag::kResizable) == 0) continue;
    const int edge = ColumnRight(ci) - Scroll(c);
    if (std::abs(x - edge) <= kGrip) found = static_cast<int>(ci);
  }
  return found;
}

bool QueueListView::ResizeColumn(int column, int width) {
  if (column < 0 || static_cast<size_t>(column) >= layout_.columns.size()) return false;
  ListColumn& c = layout_.columns[static_cast<size_t>(column)];
  if ((c.flags & column_flag::kResizable) == 0) return false;
  const int oldRight = c.right;
  const int delta = c.left + std::max(width, kMinColumnWidth) - oldRight;
  if (delta == 0) return true;
  c.right += delta;
  auto shift = [](int& left, int& right, int by) {
    left += by;
    right += by;
  };
  // Inside a group the columns after it on its line move; the group ends where its columns end.
  int outerRight = oldRight;
  int outerDelta = delta;
  if (c.group != 0) {
    ListGroup& g = layout_.groups[static_cast<size_t>(c.group - 1)];
    int right = g.left;
    for (int j = g.firstColumn; j <= g.lastColumn; ++j) {
      ListColumn& o = layout_.columns[static_cast<size_t>(j)];
      if (j != column && o.line == c.line && o.left >= oldRight) shift(o.left, o.right, delta);
      right = std::max(right, o.right);
    }
    outerRight = g.right;
    outerDelta = right - g.right;
    g.right = right;
  }
  // Everything after it (after its group) moves with the edge.
  for (size_t j = 0; j < layout_.columns.size(); ++j) {
    ListColumn& o = layout_.columns[j];
    if (static_cast<int>(j) != column && (c.group == 0 || o.group != c.group) && o.left >= outerRight) {
      shift(o.left, o.right, outerDelta);
    }
  }
  for (size_t gi = 0; gi < layout_.groups.size(); ++gi) {
    ListGroup& g = layout_.groups[gi];
    if (static_cast<int>(gi) + 1 != c.group && g.left >= outerRight) shift(g.left, g.right, outerDelta);
  }
  layout_.totalWidth = std::max(0, layout_.totalWidth + outerDelta);
  UpdateScrollBars();
  viewport()->update();
  return true;
}

bool QueueListView::StartResize(int x) {
  const int column = ColumnEdgeAt(x);
  if (column < 0) return false;
  resizing_ = column;
  resizeOffset_ = ColumnRight(static_cast<size_t>(column)) - Scroll(layout_.columns[static_cast<size_t>(column)]) - x;
  return true;
}

void QueueListView::DragResize(int x) {
  if (resizing_ < 0) return;
  const ListColumn& c = layout_.columns[static_cast<size_t>(resizing_)];
  ResizeColumn(resizing_, x + resizeOffset_ + Scroll(c) - c.left);
}

void QueueListView::EndResize() {
  if (resizing_ < 0) return;
  resizing_ = -1;
  Emit(EVENT::ColumnResize, 0);
}

void QueueListView::ShowEdgeCursor(QWidget* over, int x) {
  if (ColumnEdgeAt(x) >= 0) over->setCursor(Qt::SplitHCursor);
  else over->unsetCursor();
}

void QueueListView::mouseMoveEvent(QMouseEvent* event) {
  const int x = event->position().toPoint().x();
  if (resizing_ >= 0) return DragResize(x);
  if (header_ == nullptr || header_->isHidden()) ShowEdgeCursor(viewport(), x);
}

void QueueListView::mouseReleaseEvent(QMouseEvent*) { EndResize(); }

void QueueListView::mousePressEvent(QMouseEvent* event) {
  StopLocate(false);
  setFocus(Qt::MouseFocusReason);
  // A list without headers offers the edges of its resizable columns in the rows.
  if (event->button() == Qt::LeftButton && (header_ == nullptr || header_->isHidden()) &&
      StartResize(event->position().toPoint().x())) {
    return;
  }
  const int row = RowAt(event->position().toPoint().y());
  if (event->button() == Qt::RightButton) {
    if (row != 0) SetSelected(row);
    Emit(EVENT::NewSelection, kKeyRightButton);
    Emit(EVENT::Accepted, kKeyRightButton);
    return;
  }
  if (event->button() != Qt::LeftButton || row == 0) return;
  if (treeColumn_ >= 0) {
    const QRect box = BoxRect(row, (row - top_) * rowHeight_);
    if (!box.isEmpty() && box.adjusted(-3, -3, 3, 3).contains(event->position().toPoint())) {
      SetSelected(row);
      const bool contracted = model_->TreeState(row - 1, treeColumn_) < 0;
      Emit(contracted ? EVENT::Expanded : EVENT::Contracted, kKeyLeftButton);
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
  StopLocate(false);  // the user moved on; typing more goes on from where the search got to
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
  const bool plain = (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
  if (plain && layout_.locatorColumn != 0 && !text.isEmpty() && text.at(0).isPrint() &&
      !(text.at(0).isSpace() && LocatorPaused())) {
    return TypeToLocate(text, code);
  }
  if (treeColumn_ >= 0 && selected_ != 0) {
    const int state = model_->TreeState(selected_ - 1, treeColumn_);
    const int key = event->key();
    if ((key == Qt::Key_Right || key == Qt::Key_Plus) && state < 0) {
      return Emit(EVENT::Expanded, code);
    }
    if ((key == Qt::Key_Left || key == Qt::Key_Minus) && state > 0) {
      return Emit(EVENT::Contracted, code);
    }
  }
  QAbstractScrollArea::keyPressEvent(event);
}

bool QueueListView::LocatorPaused() const {
  return locateText_.isEmpty() || !locateTyped_.isValid() ||
         locateTyped_.elapsed() > QApplication::keyboardInputInterval();
}

void QueueListView::TypeToLocate(const QString& typed, uint32_t keyCode) {
  StopLocate(false);
  if (LocatorPaused()) {
    locateText_.clear();
    locateFrom_ = 1;
  }
  locateText_ += typed;
  locateTyped_.start();
  Emit(EVENT::Locate, keyCode);
  if (paged_) return;  // the program locates in the set its page comes from
  locateKey_ = keyCode;
  LocateTurn();
}

bool QueueListView::LocatePending() const { return locateTimer_->isActive(); }

void QueueListView::StopLocate(bool forget) {
  locateTimer_->stop();
  if (forget) locateFrom_ = 1;
}

void QueueListView::LocateTurn() {
  const int column = layout_.locatorColumn - 1;
  if (column < 0 || locateText_.isEmpty()) return;
  const LocatorMatch match(locateText_);
  const int rows = RowCount();
  const int last = static_cast<int>(std::min<int64_t>(rows, int64_t{locateFrom_} + kLocateTurnRows - 1));
  QElapsedTimer clock;
  clock.start();
  std::string scratch;
  for (int row = std::max(1, locateFrom_); row <= last; ++row) {
    if (match(model_->TextView(row - 1, column, &scratch))) {
      locateFrom_ = row;
      MoveTo(row, 0, locateKey_);
      return;
    }
    if (row % 1024 == 0 && clock.elapsed() >= kLocateTurnMs) {
      locateFrom_ = row + 1;
      locateTimer_->start();
      return;
    }
  }
  locateFrom_ = last + 1;
  if (last < rows) locateTimer_->start();
}

void QueueListView::wheelEvent(QWheelEvent* event) {
  // Sideways over a column that scrolls on its own: that column.
  const QPoint turn = event->angleDelta();
  const int sideways = turn.x() != 0 ? turn.x() : (event->modifiers() & Qt::ShiftModifier) ? turn.y() : 0;
  if (const int side = SideAt(event->position().toPoint().x()); side >= 0 && sideways != 0) {
    QScrollBar* bar = sideScrolls_[static_cast<size_t>(side)].bar.get();
    bar->setValue(bar->value() - sideways * 3 * bar->singleStep() / 120);
    event->accept();
    return;
  }
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
