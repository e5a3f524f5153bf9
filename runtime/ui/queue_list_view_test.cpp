#include "runtime/ui/queue_list_view.h"

#include <gtest/gtest.h>

#include <cstring>

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

}  // namespace
}  // namespace cinevo
