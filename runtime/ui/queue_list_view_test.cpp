#include "runtime/ui/queue_list_view.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
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
  view.SetThumb(500);
  EXPECT_EQ(view.Thumb(), 100);

  view.SetPaged(false);
  events.clear();
  press(Qt::Key_Up);
  EXPECT_EQ(events, (std::vector<int>{EVENT::ScrollUp, EVENT::NewSelection}));
  EXPECT_EQ(view.Selected(), 4);
}

}  // namespace
}  // namespace cinevo
