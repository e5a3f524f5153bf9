// A list or tree over a runtime queue (internal to the window layer; Qt types).
//
// QueueListModel reads the queue through QueuePeekEntry whenever a cell is drawn: nothing of the
// queue is copied, so a list over a million entries opens as fast as one over ten. The program
// changes the queue between events; Sync() (called by the window after every event and by
// Display) compares the queue's change stamp and redraws when it moved.
//
// QueueListView draws only the rows in sight, from one current row number and one scroll
// position: its memory does not grow with the queue. Columns come from the list's format; a
// tree column indents each row by the absolute value of its level and shows a box with "+" for
// a negative (contracted) level and "-" for a positive level whose next row lies deeper.
//
// Input becomes events through the raise callback (event, key code):
//   left click        select the row; NewSelection with key code 1
//   right click       select the row under the mouse; NewSelection then Accepted, key code 2
//   left double click Accepted with key code 5 (AlertKey instead when 5 is an alert key)
//   Enter             Accepted (key code 0x0D)
//   Up, Down, PgUp, PgDn, Ctrl+Home, Ctrl+End: ScrollUp, ScrollDown, PageUp, PageDown,
//                     ScrollTop, ScrollBottom, then the row moves and NewSelection follows
//   scroll bar        the same scroll events; dragging the thumb ScrollTrack then ScrollDrag
//
// A paged list (SetPaged) shows one page that the program loads from a larger set (a browse):
// the scroll keys, the wheel and the scroll bar only raise their scroll events and the program
// moves the page and the highlight; the bar's thumb stands where the program puts it (SetThumb,
// 1 ... 100) and, after ScrollDrag, where the user dropped it (Thumb).
//   tree: a click on a box, Right or "+" on a contracted row: Expanded; Left or "-" on an
//         expanded row: Contracted. The program changes the levels in its queue.
#pragma once

#include <QAbstractScrollArea>
#include <QAbstractTableModel>
#include <QIcon>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runtime/core/queue.h"
#include "runtime/ui/format/list_format.h"
#include "runtime/ui/format/queue_field.h"

namespace cinevo {

class QueueListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kLevelRole = Qt::UserRole + 1;  // the tree level (0 when none)
  static constexpr int kIconNumberRole = Qt::UserRole + 2;

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
  int64_t Level(int row, int column) const;
  int64_t FieldNumber(int row, int field) const;  // -1 when the field does not exist
  QIcon Icon(int row, int column) const;
  const uint8_t* Entry(int row) const { return QueuePeekEntry(queue_, row + 1); }

 private:
  const QueueField* Field(int number) const;

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

  // The rectangle of row (1-based) in viewport coordinates; empty when not in sight.
  QRect RowRect(int row) const;
  // Scrolls so that the row is in sight, without selecting it.
  void ScrollToRow(int row);
  // The tree box of a row in sight, in viewport coordinates; empty when the row has none.
  QRect ExpanderRect(int row) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  class HeaderStrip;
  int RowCount() const { return model_->rowCount(); }
  int RowAt(int y) const;  // 1-based; 0 when below the last row
  void Emit(int event, uint32_t keyCode) { if (raise_) raise_(event, keyCode); }
  void MoveTo(int row, int scrollEvent, uint32_t keyCode);
  void UpdateScrollBars();
  bool IsAlert(uint32_t keyCode) const;
  bool ExpandedAt(int row) const;  // tree: a positive level followed by a deeper row
  QRect BoxRect(int row, int y) const;
  void SliderAction(int action);

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
  Raise raise_;
  const std::vector<uint32_t>* alertKeys_ = nullptr;
};

}  // namespace cinevo
