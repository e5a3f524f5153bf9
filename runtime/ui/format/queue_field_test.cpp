#include "runtime/ui/format/queue_field.h"

#include <gtest/gtest.h>

#include <cstring>

#include "runtime/core/error.h"
#include "runtime/core/queue.h"

namespace cinevo {
namespace {

TEST(QueueFieldTest, LayoutPacksFieldsInDeclarationOrder) {
  std::vector<QueueField> l = QueueRecordLayout(
      {{TypeCode::kString, 10}, {TypeCode::kShort, 0}, {TypeCode::kLong, 0}, {TypeCode::kReal, 0}});
  ASSERT_EQ(l.size(), 4u);
  EXPECT_EQ(l[1].offset, 10u);
  EXPECT_EQ(l[2].offset, 12u);
  EXPECT_EQ(l[3].offset, 16u);
  EXPECT_EQ(QueueRecordSize(l), 24u);
}

TEST(QueueFieldTest, ValuesAreShownClippedOrThroughTheirPicture) {
  uint8_t rec[32] = {};
  std::memcpy(rec, "Comedies  ", 10);
  int16_t icon = -3;
  std::memcpy(rec + 10, &icon, 2);
  int32_t amount = 123456;
  std::memcpy(rec + 12, &amount, 4);
  double ratio = 2.5;
  std::memcpy(rec + 16, &ratio, 8);
  std::vector<QueueField> l = QueueRecordLayout(
      {{TypeCode::kString, 10}, {TypeCode::kShort, 0}, {TypeCode::kLong, 0}, {TypeCode::kReal, 0}});
  EXPECT_EQ(QueueFieldText(l[0], rec, nullptr), "Comedies");
  CompiledPicture s4 = CompilePicture("@s4");
  EXPECT_EQ(QueueFieldText(l[0], rec, &s4), "Come");
  EXPECT_EQ(QueueFieldText(l[1], rec, nullptr), "-3");
  EXPECT_EQ(QueueFieldNumber(l[1], rec), -3);
  CompiledPicture n = CompilePicture("@n9`2");
  EXPECT_EQ(QueueFieldText(l[2], rec, &n), Format(n, int64_t{123456}));
  EXPECT_EQ(QueueFieldText(l[3], rec, nullptr), "2.5");
  EXPECT_EQ(QueueFieldNumber(l[3], rec), 2);
  // A level kept as text still reads as a number; nothing reads without a record.
  std::memcpy(rec, "  -12     ", 10);
  EXPECT_EQ(QueueFieldNumber(l[0], rec), -12);
  EXPECT_EQ(QueueFieldText(l[0], nullptr, nullptr), "");
  QueueField empty;
  EXPECT_EQ(QueueFieldNumber(empty, rec), 0);
}

// The uncopied view is what the text shows, and is refused where the text has to be formatted.
TEST(QueueFieldTest, ATextViewIsTheShownTextOrRefused) {
  uint8_t rec[16] = {};
  std::memcpy(rec, "Comedies  ", 10);
  std::vector<QueueField> l = QueueRecordLayout({{TypeCode::kString, 10}, {TypeCode::kLong, 0}});
  const CompiledPicture s4 = CompilePicture("@s4"), s20 = CompilePicture("@s20"),
                        k = CompilePicture("@K^^^K"), n = CompilePicture("@n9");
  std::string_view view;
  for (const CompiledPicture* p : {static_cast<const CompiledPicture*>(nullptr), &s4, &s20}) {
    ASSERT_TRUE(QueueFieldTextView(l[0], rec, p, &view));
    // Both may end in blanks (a picture fills its width with them, the view keeps the field's).
    auto clipped = [](std::string_view t) { return t.substr(0, t.find_last_not_of(' ') + 1); };
    EXPECT_EQ(clipped(view), clipped(QueueFieldText(l[0], rec, p)));
    EXPECT_LE(view.size(), p && p->Valid() ? static_cast<size_t>(p->Width()) : 10u);
  }
  EXPECT_FALSE(QueueFieldTextView(l[0], rec, &k, &view)) << "a mask changes the text";
  EXPECT_FALSE(QueueFieldTextView(l[1], rec, nullptr, &view)) << "a number is formatted";
  EXPECT_FALSE(QueueFieldTextView(l[1], rec, &n, &view));
  ASSERT_TRUE(QueueFieldTextView(l[0], nullptr, nullptr, &view));
  EXPECT_TRUE(view.empty());
}

TEST(QueuePeekTest, ReadsEntriesWithoutTouchingTheBufferPointerOrErrorCode) {
  char buffer[4];
  Queue q(buffer, sizeof buffer);
  EXPECT_EQ(QueuePeekRecords(&q), 0);
  EXPECT_EQ(QueuePeekEntry(&q, 1), nullptr);
  EXPECT_FALSE(q.object) << "peeking creates no queue object";
  std::memcpy(buffer, "AAAA", 4);
  QueueAdd(&q);
  std::memcpy(buffer, "BBBB", 4);
  QueueAdd(&q);
  QueueGetAt(&q, 9);  // posts 30
  ASSERT_EQ(ErrorCode(), 30);
  const uint32_t stamp = QueuePeekChanges(&q);
  const uint8_t* first = QueuePeekEntry(&q, 1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(std::memcmp(first, "AAAA", 4), 0);
  EXPECT_EQ(QueuePeekEntry(&q, 3), nullptr);
  EXPECT_EQ(QueuePeekEntry(&q, 0), nullptr);
  EXPECT_EQ(QueuePeekRecords(&q), 2);
  EXPECT_EQ(std::memcmp(buffer, "BBBB", 4), 0);
  EXPECT_EQ(ErrorCode(), 30);
  QueueDeleteAt(&q, 1);
  EXPECT_NE(QueuePeekChanges(&q), stamp);
  EXPECT_EQ(QueuePeekRecords(nullptr), 0);
  QueueFree(&q);
}

}  // namespace
}  // namespace cinevo
