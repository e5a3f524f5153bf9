#include "runtime/ui/queue_list_view.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
#include <QKeyEvent>
#include <QScrollBar>

#include <cstring>

#include "runtime/ui/event_code.h"

#include "platform/window/test_application.h"

namespace cinevo {
namespace {

// Records of (STRING(8) name, LONG a, LONG b, LONG c, LONG d, LONG e, SHORT icon).
struct Rows {
  uint8_t record[30] = {};
  Queue queue{record, sizeof record};
  std::vector<QueueField> fields = QueueRecordLayout(
      {{TypeCode::kString, 8}, {TypeCode::kLong, 0}, {TypeCode::kLong, 0}, {TypeCode::kLong, 0},
       {TypeCode::kLong, 0}, {TypeCode::kLong, 0}, {TypeCode::kShort, 0}});
  void Add(const char* name, std::vector<int32_t> longs, int16_t icon = 0) {
    std::memset(record, ' ', 8);
    std::memcpy(record, name, std::strlen(name));
    for (size_t i = 0; i < 5; ++i) {
      int32_t v = i < longs.size() ? longs[i] : 0;
      std::memcpy(record + 8 + 4 * i, &v, 4);
    }
    std::memcpy(record + 28, &icon, 2);
    QueueAdd(&queue);
  }
  ~Rows() { QueueFree(&queue); }
};

TEST(QueueListViewTest, AMalformedFormatFallsBackToOnePlainColumn) {
  QueueListView view(false);
  EXPECT_FALSE(view.SetFormat("80L@s20"));
  ASSERT_EQ(view.Layout().columns.size(), 1u);
  EXPECT_EQ(view.Layout().columns[0].field, 1);
  EXPECT_TRUE(view.SetFormat("80L@s20@"));
}

TEST(QueueListViewTest, ColumnsReadTheirFieldsColoursAndLevelsFromTheEntry) {
  Rows rows;
  rows.Add("alpha", {0xFF, 0x00FF00, -1, -1, 7}, 2);
  QueueListView view(true);
  // Column 1: the name with four colour fields (2-5); column 2: field 5 with its level in 6.
  ASSERT_TRUE(view.SetFormat("40L*@s8@20R#5#T"));
  view.Bind(&rows.queue, rows.fields);
  QueueListModel* m = view.model();
  ASSERT_EQ(m->rowCount(), 1);
  ASSERT_EQ(m->columnCount(), 2);
  EXPECT_EQ(m->Text(0, 0), "alpha");
  EXPECT_EQ(m->FieldNumber(0, 2), 0xFF);
  EXPECT_EQ(m->FieldNumber(0, 3), 0x00FF00);
  EXPECT_EQ(m->Level(0, 1), 7);
  EXPECT_EQ(m->Text(0, 1), "-1");
  EXPECT_EQ(m->FieldNumber(0, 99), -1) << "a field the record does not have";
  EXPECT_EQ(m->data(m->index(0, 0), Qt::DisplayRole).toString(), "alpha");

  // A new format keeps the queue and its fields.
  ASSERT_TRUE(view.SetFormat("30L#7#"));
  EXPECT_EQ(view.model()->Text(0, 0), "2");
}

TEST(QueueListViewTest, HWithANumberTipsTheCellWithThatQueueField) {
  Rows rows;
  rows.Add("alpha", {42});
  rows.Add("beta", {7});
  QueueListView view(false);
  view.resize(400, 200);
  // Column 1 tips with field 2; column 2 has "H" without a number: no tip.
  ASSERT_TRUE(view.SetFormat("40L@s8@H(2)20R#2#H"));
  view.Bind(&rows.queue, rows.fields);
  EXPECT_EQ(view.model()->data(view.model()->index(1, 0), Qt::ToolTipRole).toString(), "7");
  EXPECT_EQ(view.TipAt(view.CellRect(1, 0).center()), "42");
  EXPECT_EQ(view.TipAt(view.CellRect(2, 0).center()), "7");
  EXPECT_EQ(view.TipAt(view.CellRect(1, 1).center()), "");
  EXPECT_EQ(view.TipAt(QPoint(5, 190)), "") << "below the last row";
}

TEST(QueueListViewTest, SelectionIsClampedAndFollowsTheQueueShrinking) {
  Rows rows;
  for (int i = 0; i < 50; ++i) rows.Add("row", {i});
  QueueListView view(false);
  view.SetFormat("40L");
  view.resize(200, 120);
  view.Bind(&rows.queue, rows.fields);
  EXPECT_GT(view.RowsInSight(), 1);
  view.SetSelected(45);
  EXPECT_EQ(view.Selected(), 45);
  EXPECT_LE(view.TopRow(), 45);
  EXPECT_GT(view.TopRow() + view.RowsInSight(), 45) << "the selected row is in sight";
  view.SetSelected(0);
  EXPECT_EQ(view.Selected(), 1);
  for (int i = 0; i < 40; ++i) QueueDeleteAt(&rows.queue, 1);
  view.SetSelected(10);
  view.Sync();
  EXPECT_EQ(view.model()->rowCount(), 10);
  while (QueueRecords(&rows.queue) > 3) QueueDeleteAt(&rows.queue, 1);
  view.Sync();
  EXPECT_EQ(view.Selected(), 3);
  EXPECT_EQ(view.TopRow(), 1);
}

// Colours: "E" gives every row's, the four fields of "*" override it per entry; "_" underlines;
// the justification aligns.
TEST(QueueListViewTest, CellColoursComeFromEThenFromTheEntrysColourFields) {
  Rows rows;
  rows.Add("plain", {-1, -1, -1, -1});
  rows.Add("marked", {0x0000FF, -1, 0x00FF00, -1}, 3);
  QueueListView view(false);
  ASSERT_TRUE(view.SetFormat("40L*E(255,0FF00H,-1,16711680)_@s8@30RI#1#"));
  view.Bind(&rows.queue, rows.fields);
  QueueListModel* m = view.model();
  auto colour = [&](int row, int role) {
    QVariant v = m->data(m->index(row, 0), role);
    return v.isValid() ? v.value<QColor>().name().toStdString() : std::string("none");
  };
  EXPECT_EQ(colour(0, Qt::ForegroundRole), "#ff0000");
  EXPECT_EQ(colour(0, Qt::BackgroundRole), "#00ff00");
  EXPECT_EQ(colour(0, QueueListModel::kSelectedForegroundRole), "none");
  EXPECT_EQ(colour(0, QueueListModel::kSelectedBackgroundRole), "#0000ff");
  EXPECT_EQ(colour(1, Qt::ForegroundRole), "#ff0000") << "0x0000FF is red in 0xBBGGRR";
  EXPECT_EQ(colour(1, Qt::BackgroundRole), "#00ff00") << "-1 in the field keeps the E colour";
  EXPECT_EQ(colour(1, QueueListModel::kSelectedForegroundRole), "#00ff00");

  EXPECT_TRUE(m->data(m->index(0, 0), Qt::FontRole).value<QFont>().underline());
  EXPECT_FALSE(m->data(m->index(0, 1), Qt::FontRole).isValid());
  EXPECT_TRUE(m->data(m->index(0, 1), Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
  // Column 2 shows field 1 with its icon number from field 2 (the first colour field).
  EXPECT_EQ(m->data(m->index(1, 1), QueueListModel::kIconNumberRole).toLongLong(), 0xFF);
  EXPECT_EQ(m->data(m->index(1, 0), QueueListModel::kIconNumberRole).toLongLong(), 0);
}

// A tree's rows: their state and, for its lines, which nodes on their path have later siblings.
TEST(QueueListViewTest, TreeStatesAndLaterSiblingsFollowTheLevels) {
  Rows rows;
  const std::vector<int32_t> levels = {1, 2, 3, 2, -1, 1, 2};
  for (int32_t l : levels) rows.Add("node", {l});
  QueueListView view(true);
  ASSERT_TRUE(view.SetFormat("80LT(LB)@s8@"));
  view.resize(300, 300);
  view.Bind(&rows.queue, rows.fields);
  QueueListModel* m = view.model();
  std::vector<int> states;
  std::vector<uint64_t> later;
  for (int r = 0; r < 7; ++r) {
    states.push_back(m->data(m->index(r, 0), QueueListModel::kTreeStateRole).toInt());
    later.push_back(m->data(m->index(r, 0), QueueListModel::kLaterSiblingsRole).toULongLong());
  }
  EXPECT_EQ(states, (std::vector<int>{1, 1, 0, 0, -1, 1, 0}));
  EXPECT_EQ(later, (std::vector<uint64_t>{0b110, 0b1110, 0b110, 0b10, 0b10, 0b100, 0}));
  // The page's masks, worked back from the row after it, agree with each row's own.
  for (int first = 0; first < 7; ++first) {
    for (int count = 1; first + count <= 7; ++count) {
      std::vector<uint64_t> page = m->LaterSiblings(first, count, 0);
      EXPECT_EQ(page, std::vector<uint64_t>(later.begin() + first, later.begin() + first + count))
          << first << "+" << count;
    }
  }

  // Without "R" the top level has no box; "T" alone boxes every level; without "B" no level has
  // one; "1" boxes the top level only.
  EXPECT_TRUE(view.ExpanderRect(1).isEmpty());
  EXPECT_FALSE(view.ExpanderRect(2).isEmpty());
  EXPECT_TRUE(view.ExpanderRect(3).isEmpty()) << "a leaf";
  ASSERT_TRUE(view.SetFormat("80LT@s8@"));
  EXPECT_FALSE(view.ExpanderRect(1).isEmpty());
  EXPECT_FALSE(view.ExpanderRect(5).isEmpty());
  EXPECT_LT(view.ExpanderRect(1).left(), view.ExpanderRect(2).left());
  ASSERT_TRUE(view.SetFormat("80LT(L)@s8@"));
  EXPECT_TRUE(view.ExpanderRect(2).isEmpty());
  ASSERT_TRUE(view.SetFormat("80LT(1B)@s8@"));
  EXPECT_FALSE(view.ExpanderRect(1).isEmpty());
  EXPECT_TRUE(view.ExpanderRect(2).isEmpty());

  // "I": a folder on each node with children, none on a leaf.
  ASSERT_TRUE(view.SetFormat("80LT(I)@s8@"));
  EXPECT_TRUE(m->data(m->index(0, 0), Qt::DecorationRole).isValid());
  EXPECT_TRUE(m->data(m->index(4, 0), Qt::DecorationRole).isValid());
  EXPECT_FALSE(m->data(m->index(2, 0), Qt::DecorationRole).isValid());
}

// What the model says is what is drawn: a cell's background, and a fixed column staying put
// while the others scroll under it.
TEST(QueueListViewTest, BackgroundsAreDrawnAndFixedColumnsStayWhenTheListScrollsSideways) {
  Rows rows;
  for (int i = 0; i < 3; ++i) rows.Add("row", {-1, 0x00FF00});
  QueueListView view(false);
  ASSERT_TRUE(view.SetFormat("40L*F@s8@400L#1#400L#1#"));
  view.resize(200, 150);
  view.Bind(&rows.queue, rows.fields);
  const int row3 = view.RowRect(3).center().y();
  auto pixel = [&](int x) { return view.viewport()->grab().toImage().pixelColor(x, row3).name(); };
  EXPECT_EQ(pixel(5), "#00ff00");
  view.horizontalScrollBar()->setValue(100);
  EXPECT_EQ(pixel(5), "#00ff00") << "the fixed column did not move";
  ASSERT_TRUE(view.SetFormat("40L*@s8@400L#1#400L#1#"));
  view.horizontalScrollBar()->setValue(100);
  EXPECT_NE(pixel(5), "#00ff00") << "a column that is not fixed scrolls away";
}

// A paged list shows the program's page: scroll keys only raise their events, and the thumb
// stands where the program puts it.
TEST(QueueListViewTest, APagedListLeavesTheMovesToTheProgram) {
  Rows rows;
  for (int i = 0; i < 5; ++i) rows.Add("row", {i});
  QueueListView view(false);
  view.SetFormat("40L");
  view.resize(200, 300);
  view.Bind(&rows.queue, rows.fields);
  view.SetPaged(true);
  std::vector<int> events;
  view.SetRaise([&](int event, uint32_t) { events.push_back(event); });
  view.SetSelected(5);
  auto press = [&](int key) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &e);
  };
  press(Qt::Key_Up);
  press(Qt::Key_PageDown);
  EXPECT_EQ(events, (std::vector<int>{EVENT::ScrollUp, EVENT::PageDown}));
  EXPECT_EQ(view.Selected(), 5) << "the program moves the highlight";
  view.SetThumb(40);
  EXPECT_EQ(view.Thumb(), 40);
  EXPECT_EQ(view.verticalScrollBar()->value(), 40);
  EXPECT_EQ(view.verticalScrollBar()->maximum(), 100);
  // The bar's arrows and trough raise their events and leave the thumb to the program.
  events.clear();
  view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
  view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(events, (std::vector<int>{EVENT::PageDown, EVENT::ScrollUp}));
  EXPECT_EQ(view.verticalScrollBar()->value(), 40);
  EXPECT_EQ(view.Thumb(), 40);
  view.SetThumb(500);
  EXPECT_EQ(view.Thumb(), 100);

  view.SetPaged(false);
  events.clear();
  press(Qt::Key_Up);
  EXPECT_EQ(events, (std::vector<int>{EVENT::ScrollUp, EVENT::NewSelection}));
  EXPECT_EQ(view.Selected(), 4);
}

// The bar of a list that is not paged: its thumb moves the rows as it is dragged (ScrollTrack),
// ScrollDrag when it is let go; the trough pages.
TEST(QueueListViewTest, DraggingTheThumbRaisesScrollTrackThenScrollDragAndMovesTheRows) {
  Rows rows;
  for (int i = 0; i < 100; ++i) rows.Add("row", {i});
  QueueListView view(false);
  view.SetFormat("40L");
  view.resize(200, 150);
  view.Bind(&rows.queue, rows.fields);
  std::vector<int> events;
  view.SetRaise([&](int event, uint32_t) { events.push_back(event); });
  QScrollBar* bar = view.verticalScrollBar();
  bar->setSliderDown(true);
  bar->setSliderPosition(40);
  bar->setSliderPosition(50);
  bar->setSliderDown(false);
  EXPECT_EQ(events, (std::vector<int>{EVENT::ScrollTrack, EVENT::ScrollTrack, EVENT::ScrollDrag}));
  EXPECT_EQ(view.TopRow(), 51);
  events.clear();
  bar->triggerAction(QAbstractSlider::SliderPageStepSub);
  EXPECT_EQ(events, std::vector<int>{EVENT::PageUp});
  EXPECT_EQ(view.TopRow(), 51 - view.RowsInSight());
  EXPECT_EQ(view.Selected(), 1) << "the bar moves the rows in sight, not the highlight";
}

TEST(QueueListViewTest, TheLastColumnReachesTheListsRightEdge) {
  Rows rows;
  rows.Add("alpha", {1});
  QueueListView view(false);
  view.resize(300, 120);
  view.show();
  view.Bind(&rows.queue, rows.fields);
  const int edge = view.viewport()->width();
  ASSERT_TRUE(view.SetFormat("20L@s8@"));
  ASSERT_LT(view.Layout().columns[0].right, edge) << "the format's column is narrower than the list";
  EXPECT_EQ(view.CellRect(1, 0).left(), 0);
  EXPECT_EQ(view.CellRect(1, 0).right() + 1, edge);
  // Of two columns only the last one stretches.
  ASSERT_TRUE(view.SetFormat("20L@s8@20R#2#"));
  const ListColumn& first = view.Layout().columns[0];
  EXPECT_EQ(view.CellRect(1, 0).width(), first.right - first.left);
  EXPECT_EQ(view.CellRect(1, 1).right() + 1, edge);
  // A column wider than the list keeps its width; the list scrolls sideways instead.
  ASSERT_TRUE(view.SetFormat("4000L@s8@"));
  EXPECT_EQ(view.CellRect(1, 0).width(), view.Layout().columns[0].right);
  EXPECT_TRUE(view.CellRect(2, 0).isEmpty()) << "no second row";
  EXPECT_TRUE(view.CellRect(1, 1).isEmpty()) << "no second column";
}

TEST(QueueListViewTest, HideSelectDrawsTheHighlightOnlyWithTheFocus) {
  Rows rows;
  rows.Add("alpha", {1});
  rows.Add("beta", {2});
  QueueListView view(false);
  view.resize(200, 100);
  view.show();
  ASSERT_TRUE(view.SetFormat("40L@s8@"));
  view.Bind(&rows.queue, rows.fields);
  view.SetSelected(1);
  ASSERT_FALSE(view.hasFocus());
  auto filled = [&](int row) {
    const QImage image = view.viewport()->grab().toImage();
    const QColor c = image.pixelColor(image.width() - 3, view.RowRect(row).center().y());
    return c != view.palette().color(QPalette::Base);
  };
  EXPECT_TRUE(filled(1)) << "without the focus the highlight shows in the inactive colour";
  EXPECT_FALSE(filled(2));
  view.SetHideSelect(true);
  EXPECT_TRUE(view.HideSelect());
  EXPECT_FALSE(filled(1));
}

}  // namespace
}  // namespace cinevo
