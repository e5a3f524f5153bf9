// A list or tree over a runtime queue (internal to the window layer; Qt types).
//
// QueueListModel reads the queue through QueuePeekEntry whenever a cell is drawn: nothing of the
// queue is copied, so a list over a million entries opens as fast as one over ten. The program
// changes the queue between events; Sync() (called by the window after every event and by
// Display) compares the queue's change stamp and redraws when it moved.
//
// QueueListView draws only the rows in sight, from one current row number and one scroll
// position: its memory does not grow with the queue. Columns come from the list's format:
//   colours     a column's four colours are foreground, background, highlighted foreground and
//               highlighted background, each 0xBBGGRR (negative: the list's own). "E(...)" gives
//               them for every row; the four fields of "*" give them per entry and win over "E".
//   "_"         the column's text is underlined.
//   "|"         a line at the column's right edge from the top to the bottom of the list.
//   "F"         the column stays in place when the list scrolls sideways.
//   "I"         the icon whose number the entry gives, from the list's icon list.
//   "T"         a tree: each row is indented by the absolute value of its level; a node whose
//               level is negative is contracted, one whose level is positive and whose next row
//               lies deeper is expanded. "T" alone draws a box ("+" contracted, "-" expanded) on
//               every node, the top level included. "T(...)" draws what it lists:
//                 B  the boxes;
//                 L  lines joining each node to its parent and to its later siblings;
//                 R  boxes and lines on the top level too (without it the top level starts at
//                    the column's left edge with neither);
//                 I  a closed or an open folder before each node that has children;
//                 1  boxes and lines on the top level only (implies R).
//   "M"         the user may resize the column: dragging its right edge (in the header, or in
//               the rows of a list without headers) sets its width, the columns to its right
//               move with the edge, and ColumnResize is raised once the edge is let go.
//   "S"         the column scrolls its contents sideways on its own, by a bar under it as wide
//               as the column: "S(n)" over n dialog units, "S" alone over the width its picture
//               shows. The text, icon and tree of every row move together; the other columns
//               stay. A group with "S" scrolls all its columns together inside the group's
//               extent (their own "S" then counts for nothing). Shift with the wheel, or the
//               wheel's sideways turn, over such a column scrolls it too.
//   "H(n)"      the cell's tip is the text of queue field n of the row (TipAt).
//
// Input becomes events through the raise callback (event, key code):
//   left click        select the row; NewSelection with key code 1
//   right click       select the row under the mouse; NewSelection then Accepted, key code 2
//   left double click Accepted with key code 5 (AlertKey instead when 5 is an alert key)
//   Enter             Accepted (key code 0x0D)
//   Up, Down, PgUp, PgDn, Ctrl+Home, Ctrl+End: ScrollUp, ScrollDown, PageUp, PageDown,
//                     ScrollTop, ScrollBottom, then the row moves and NewSelection follows
//   scroll bar        the same scroll events; dragging the thumb ScrollTrack then ScrollDrag
//   a printable key   in a list with a locator column ("?"): Locate with the key code, then the
//                     highlight moves to the first row whose locator column begins with what was
//                     typed (case ignored, leading blanks of the cell too) and NewSelection
//                     follows. Keys typed within the desktop's keyboard input interval of each
//                     other add to the text; after a longer pause the text starts afresh. No row
//                     found: the highlight stays. Alert keys (a browse's step locator) never get
//                     here: the window takes them first. The search looks at a bounded number
//                     of rows per turn of the event loop and goes on at the next one, so a long
//                     list that has no such row never stops the window; a longer text goes on
//                     from where the shorter one was found (or had got to), and after a text
//                     that nothing begins with, a longer one looks at no row at all.
//
// A list whose last column ends before the list's right edge stretches that column to the edge
// (the last column of a one-column list shows as much of each value as the list has room for).
// With SetHideSelect the highlight is drawn only while the list has the focus.
//
// A paged list (SetPaged) shows one page that the program loads from a larger set (a browse):
// the scroll keys, the wheel and the scroll bar only raise their scroll events (typing, only
// Locate) and the program moves the page and the highlight; the bar's thumb stands where the program puts it (SetThumb,
// 1 ... 100) and, after ScrollDrag, where the user dropped it (Thumb).
//   tree: a click on a box, Right or "+" on a contracted row: Expanded; Left or "-" on an
//         expanded row: Contracted. The program changes the levels in its queue.
#pragma once

#include <QAbstractScrollArea>
#include <QAbstractTableModel>
#include <QColor>
#include <QElapsedTimer>
#include <QIcon>
#include <QScrollBar>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/queue.h"
#include "runtime/ui/format/list_format.h"
#include "runtime/ui/format/queue_field.h"

class QPainter;

namespace cinevo {

class QueueListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // Besides the display, decoration, foreground, background, font and alignment roles:
  static constexpr int kLevelRole = Qt::UserRole + 1;  // the tree level (0 when none)
  static constexpr int kIconNumberRole = Qt::UserRole + 2;  // 0 when the column has no icon
  static constexpr int kSelectedForegroundRole = Qt::UserRole + 3;  // QColor; none: the palette's
  static constexpr int kSelectedBackgroundRole = Qt::UserRole + 4;
  static constexpr int kTreeStateRole = Qt::UserRole + 5;  // -1 contracted, 1 expanded, 0 leaf
  static constexpr int kLaterSiblingsRole = Qt::UserRole + 6;  // LaterSiblings() of the row

  // The colours of a cell; an invalid colour means the list's own.
  struct Colours {
    QColor foreground, background, selectedForeground, selectedBackground;
  };
  // How a tree column draws its nodes (from its "T" options).
  struct TreeStyle {
    bool boxes = true;
    bool lines = false;
    bool root = true;       // the top level has boxes and lines too
    bool folders = false;
    bool topOnly = false;   // boxes and lines on the top level only
  };
  static TreeStyle TreeStyleOf(const ListColumn& column);
  static constexpr int kMaxTreeDepth = 62;
  // Rows looked at past the last row in sight to find the later siblings of its nodes; beyond
  // it a tree's lines end as if the nodes had none.
  static constexpr int kSiblingScan = 100000;

  explicit QueueListModel(QObject* parent = nullptr);

  // Binds the queue, the record layout and the column layout; resets the model.
  void Bind(const Queue* queue, std::vector<QueueField> fields, const ListLayout* layout);
  void SetLayout(const ListLayout* layout);  // a new column layout over the same queue
  void SetIconNames(const std::vector<std::string>* names) { iconNames_ = names; }
  const Queue* queue() const { return queue_; }

  // True (and the model reset) when the queue changed since the last look.
  bool Sync();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Direct reads for the view (row is 0-based).
  std::string Text(int row, int column) const;
  // The same text, uncopied where the cell shows the field's own bytes (then with the field's
  // trailing blanks), else kept in `scratch`.
  std::string_view TextView(int row, int column, std::string* scratch) const;
  int64_t Level(int row, int column) const;
  int64_t FieldNumber(int row, int field) const;  // -1 when the field does not exist
  QIcon Icon(int row, int column) const;
  int64_t IconNumber(int row, int column) const;
  Colours CellColours(int row, int column) const;
  // Tree columns: -1 contracted, 1 expanded (a positive level followed by a deeper row), 0 a
  // leaf; the depth (absolute level, at most kMaxTreeDepth).
  int TreeState(int row, int column) const;
  int Depth(int row, int column) const;
  // For each of `count` rows from `first`: bit d is set when, after that row, a row of depth d
  // comes before any shallower one (the node of depth d on the row's path has a later sibling).
  // One scan past the last row, then one step per row back: the lines of a page cost a page.
  std::vector<uint64_t> LaterSiblings(int first, int count, int column) const;
  const uint8_t* Entry(int row) const { return QueuePeekEntry(queue_, row + 1); }

 private:
  const QueueField* Field(int number) const;
  const ListColumn* Column(int column) const;

  const Queue* queue_ = nullptr;
  std::vector<QueueField> fields_;
  const ListLayout* layout_ = nullptr;
  const std::vector<std::string>* iconNames_ = nullptr;
  int32_t rows_ = 0;
  uint32_t changes_ = 0;
};

class QueueListView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  using Raise = std::function<void(int event, uint32_t keyCode)>;

  QueueListView(bool tree, QWidget* parent = nullptr);
  ~QueueListView() override;

  // The column format; false when it is malformed (the list then shows one plain column).
  bool SetFormat(const std::string& format);
  const ListLayout& Layout() const { return layout_; }
  void Bind(const Queue* queue, std::vector<QueueField> fields);
  QueueListModel* model() const { return model_; }
  void SetRaise(Raise raise) { raise_ = std::move(raise); }
  void SetIconNames(const std::vector<std::string>* names);
  void SetAlertKeys(const std::vector<uint32_t>* keys) { alertKeys_ = keys; }

  int Selected() const { return selected_; }   // 1-based; 0 when none
  void SetSelected(int row);                    // no event; scrolls the row into sight
  int TopRow() const { return top_; }           // 1-based first row in sight
  int RowsInSight() const;                      // rows the list shows at its current size
  void Sync();                                  // follow changes of the queue
  void SetPaged(bool on);
  bool Paged() const { return paged_; }
  void SetThumb(int position);                  // paged: 1 ... 100
  int Thumb() const { return thumb_; }
  void SetHideSelect(bool on);                  // hide the highlight while without the focus
  bool HideSelect() const { return hideSelect_; }

  // The rectangle of row (1-based) in viewport coordinates; empty when not in sight.
  QRect RowRect(int row) const;
  // The cell of row (1-based) and column (0-based) in viewport coordinates; empty when the row
  // is not in sight or there is no such column.
  QRect CellRect(int row, int column) const;
  // The tip of the cell under `at` (viewport coordinates): the text of the queue field named by
  // the column's "H(n)"; empty where the column has none.
  QString TipAt(QPoint at) const;
  // Scrolls so that the row is in sight, without selecting it.
  void ScrollToRow(int row);
  const QString& LocatorText() const { return locateText_; }  // what typing has gathered
  // A search for the locator text is under way (it goes on at the event loop's next turn).
  bool LocatePending() const;
  // The most rows one turn of a search looks at, and the longest it takes.
  static constexpr int kLocateTurnRows = 100000;
  static constexpr int kLocateTurnMs = 10;
  // Sets the width in pixels of column (0-based) as a drag of its edge would: the columns after
  // it move along. False for a column without "M". No event.
  bool ResizeColumn(int column, int width);
  static constexpr int kMinColumnWidth = 8;
  // The column ("M" only) whose drawn right edge lies within a few pixels of x (viewport
  // coordinates); -1 when none.
  int ColumnEdgeAt(int x) const;
  // The tree box of a row in sight, in viewport coordinates; empty when the row has none.
  QRect ExpanderRect(int row) const;
  // "S": the bar that scrolls column (0-based) on its own or with its group; nullptr when none.
  QScrollBar* SideBar(int column) const;
  // How far the column's contents are moved to the left by its "S" bar, in pixels.
  int SideShift(int column) const;

 protected:
  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  class HeaderStrip;
  int RowCount() const { return model_->rowCount(); }
  int RowAt(int y) const;  // 1-based; 0 when below the last row
  void Emit(int event, uint32_t keyCode) { if (raise_) raise_(event, keyCode); }
  void MoveTo(int row, int scrollEvent, uint32_t keyCode);
  void TypeToLocate(const QString& typed, uint32_t keyCode);
  void LocateTurn();    // one turn of the search for the locator text
  void StopLocate(bool forget);  // forget: the queue or the columns changed under the search
  bool LocatorPaused() const;  // the next key starts a new locator text
  // Dragging a column's edge, from the header strip or the rows: false when x is on no edge.
  bool StartResize(int x);
  void DragResize(int x);
  void EndResize();
  void ShowEdgeCursor(QWidget* over, int x);
  void UpdateScrollBars();
  bool IsAlert(uint32_t keyCode) const;
  // Tree columns: the slot (a kTreeStep wide place after the column's indent) in which a node
  // of `depth` draws its box and its line, -1 when it draws neither; the text follows the slot.
  int Slot(const ListColumn& c, int depth) const;
  QRect BoxRect(int row, int y) const;  // empty when the row has no box
  void PaintTree(QPainter& p, const ListColumn& c, int row, int y, const QRect& cell,
                 uint64_t later, const QColor& lineColour) const;
  // A column's right edge: the format's, or the list's right edge for a last column ending
  // before it.
  int ColumnRight(size_t column) const;
  void SliderAction(int action);
  // "S": the columns and groups that scroll on their own, built with the layout, and their bars
  // placed under them.
  struct SideScroll {
    int column = -1;  // 0-based; -1 for a group
    int group = 0;    // 1-based, for a group
    int content = 0;  // pixels the contents take
    std::unique_ptr<QScrollBar> bar;
  };
  void BuildSideScrolls();
  void PlaceSideBars();
  int SideBarHeight() const;
  int SideLeft(const SideScroll& s) const;  // viewport x of its left edge
  int SideWidth(const SideScroll& s) const;
  int SideAt(int x) const;  // the side scroll under viewport x; -1 none
  // The drawn rectangle of a cell with its side scroll applied, and the part of it in sight.
  QRect ShiftedCell(size_t column, const QRect& cell, QRect* clip) const;
  int Scroll(const ListColumn& c) const;  // the sideways scroll that applies to the column

  bool tree_;
  QueueListModel* model_;  // owned by this widget (Qt parent)
  HeaderStrip* header_ = nullptr;
  ListLayout layout_;
  int treeColumn_ = -1;
  int selected_ = 0;
  int top_ = 1;
  int rowHeight_ = 18;
  int lineHeight_ = 18;
  bool inScrollSync_ = false;
  bool paged_ = false;
  int thumb_ = 1;
  bool hideSelect_ = false;
  Raise raise_;
  const std::vector<uint32_t>* alertKeys_ = nullptr;
  QString locateText_;
  // No row before it begins with locateText_ (nor with any longer text): where the text was
  // found, where its search goes on, or past the last row when nothing begins with it.
  int locateFrom_ = 1;
  uint32_t locateKey_ = 0;  // the key code of the NewSelection a found row raises
  QTimer* locateTimer_;     // owned by this widget (Qt parent); runs the next turn
  QElapsedTimer locateTyped_;
  std::vector<SideScroll> sideScrolls_;
  std::vector<int> sideOf_;  // per column: its index in sideScrolls_, -1 none
  int resizing_ = -1;     // the column whose edge is dragged
  int resizeOffset_ = 0;  // from the mouse to the edge when the drag began
};

}  // namespace cinevo
