#include "runtime/core/string_stack.h"

#include <climits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/core/error.h"
#include "runtime/core/locale_tables.h"

namespace cinevo {
namespace {

// Every test starts with an empty process-wide stack and a recording fatal handler.
class StringStackTest : public testing::Test {
 protected:
  void SetUp() override {
    stack_.Reset();
    SetFatalHandler([this](int code, const std::string& message) {
      fatal_codes_.push_back(code);
      fatal_messages_.push_back(message);
    });
  }
  void TearDown() override {
    stack_.Reset();
    SetFatalHandler({});
    Locale().ResetToDefaults();
  }

  StringStack& stack_ = TheStringStack();
  std::vector<int> fatal_codes_;
  std::vector<std::string> fatal_messages_;
};

TEST_F(StringStackTest, ComparisonIgnoresTrailingSpacesAndWeighsTheRestAgainstASpace) {
  EXPECT_EQ(CompareStrings("ABC", "ABC   "), 0);
  EXPECT_EQ(CompareStrings("ABC   ", "ABC"), 0);
  EXPECT_LT(CompareStrings("ABC", "ABC!"), 0);
  EXPECT_GT(CompareStrings("ABC!", "ABC"), 0);
  EXPECT_GT(CompareStrings("ABC", "ABC\x01"), 0);  // a control character weighs below a space
  EXPECT_LT(CompareStrings("ABC\x01", "ABC"), 0);
  EXPECT_LT(CompareStrings("ABC", "ABD"), 0);
  EXPECT_EQ(CompareStrings("", "   "), 0);
  // Bytes above 127 are unsigned weights, not negative chars.
  EXPECT_GT(CompareStrings("\xE9", "z"), 0);
}

TEST_F(StringStackTest, ComparisonUsesTheCollationTable) {
  // Make 'a' weigh between 'A' and 'B', as a locale's collating sequence would.
  auto& weights = Locale().collation;
  weights['a'] = static_cast<uint8_t>('A' + 0);
  weights['A'] = static_cast<uint8_t>('A' - 1);
  EXPECT_LT(CompareStrings("a", "B"), 0);
  EXPECT_GT(CompareStrings("a", "A"), 0);
  // Different bytes of equal weight compare equal.
  weights['b'] = weights['B'];
  EXPECT_EQ(CompareStrings("b", "B"), 0);
}

TEST_F(StringStackTest, LongAndRealAsText) {
  stack_.PushLong(INT32_MIN);
  EXPECT_EQ(stack_.Peek(), "-2147483648");
  EXPECT_EQ(stack_.Entry(0).kind, StringEntryKind::kInline);
  stack_.PushLong(0);
  EXPECT_EQ(stack_.Peek(), "0");
  stack_.PushLong(INT32_MAX);
  EXPECT_EQ(stack_.Peek(), "2147483647");

  EXPECT_EQ(RealToText(2.5), "2.5");
  EXPECT_EQ(RealToText(100.0), "100");
  EXPECT_EQ(RealToText(-0.125), "-0.125");
  EXPECT_EQ(RealToText(0.1 + 0.2), "0.3");            // rounded to 14 significant digits
  EXPECT_EQ(RealToText(1.0 / 3.0), "0.33333333333333");
  EXPECT_EQ(RealToText(123456789012345678.0), "1.2345678901235E+17");
  EXPECT_EQ(RealToText(1e-20), "1E-20");
  EXPECT_EQ(RealToText(99999999999999.9), "100000000000000");  // 15 digits round up
  EXPECT_EQ(RealToText(-0.0), "0");
}

TEST_F(StringStackTest, MaterialiseCopiesShortTextsInlineAndLongOnesToTheHeap) {
  char short_var[] = "short text";
  std::string long_var(40, 'x');
  stack_.PushBorrowed(short_var, 10);
  stack_.PushBorrowed(long_var.data(), 40);
  stack_.Materialize();
  EXPECT_EQ(stack_.Entry(1).kind, StringEntryKind::kOwned);
  long_var.assign(40, 'y');  // the owner changes its variable afterwards
  EXPECT_EQ(stack_.Peek(), std::string(40, 'x'));
  stack_.Drop();
  stack_.Materialize();
  EXPECT_EQ(stack_.Entry(0).kind, StringEntryKind::kInline);
  short_var[0] = 'S';
  EXPECT_EQ(stack_.Peek(), "short text");
}

TEST_F(StringStackTest, BorrowedNullHasLengthZero) {
  stack_.PushBorrowed(nullptr, 7);
  EXPECT_EQ(stack_.Len(), 0);
  EXPECT_EQ(stack_.Entry(0).text, nullptr);
  stack_.Materialize();
  EXPECT_EQ(stack_.PopToHeap(), "");
}

TEST_F(StringStackTest, PopIntoFixedStringAndCString) {
  char dest[6];
  stack_.PushText("ab");
  stack_.PopToString(dest, sizeof dest);
  EXPECT_EQ(std::string(dest, 6), "ab    ");
  stack_.PushText("abcdefgh");
  stack_.PopToString(dest, sizeof dest);
  EXPECT_EQ(std::string(dest, 6), "abcdef");
  stack_.PushText("abcdefgh");
  stack_.PopToCString(dest, sizeof dest);
  EXPECT_STREQ(dest, "abcde");
  EXPECT_EQ(stack_.Count(), 0);
}

TEST_F(StringStackTest, ClipLenAndConcatenationInBothOrders) {
  stack_.PushText("Hello   ");
  stack_.Clip();
  EXPECT_EQ(stack_.Len(), 5);
  stack_.PushText(", world");
  stack_.Concat();
  EXPECT_EQ(stack_.Count(), 1);
  EXPECT_EQ(stack_.Peek(), "Hello, world");
  EXPECT_EQ(stack_.Entry(0).kind, StringEntryKind::kInline);  // short results stay off the heap
  stack_.PushText(">> ");
  stack_.ConcatReversed();
  EXPECT_EQ(stack_.PopToHeap(), ">> Hello, world");

  std::string big(30, 'a');
  stack_.PushBorrowed(big.data(), 30);
  stack_.PushText("   ");
  stack_.Concat();
  EXPECT_EQ(stack_.Entry(0).kind, StringEntryKind::kOwned);
  stack_.Clip();  // clipping an owned entry keeps its block
  stack_.PushText("!");
  stack_.Concat();  // appends after the clipped length, not after the block's old end
  EXPECT_EQ(stack_.Peek(), std::string(30, 'a') + "!");
  EXPECT_EQ(stack_.PopLen(), 31);
  EXPECT_EQ(stack_.Count(), 0);
}

TEST_F(StringStackTest, CompareTopTwoInPushOrderAndPopsBoth) {
  stack_.PushText("B");
  stack_.PushText("A   ");
  EXPECT_GT(stack_.Compare(), 0);
  EXPECT_EQ(stack_.Count(), 0);
}

TEST_F(StringStackTest, RotateRepointsInlineAndOwnedEntries) {
  stack_.PushText("first");                  // inline
  stack_.PushText(std::string(25, 'o'));     // owned
  stack_.PushText("third");                  // inline
  stack_.PushBorrowed("fourth", 6);          // borrowed
  stack_.Rotate(3);
  ASSERT_EQ(stack_.Count(), 4);
  EXPECT_EQ(stack_.Peek(0), "first");
  EXPECT_EQ(stack_.Peek(1), "fourth");
  EXPECT_EQ(stack_.Peek(2), "third");
  EXPECT_EQ(stack_.Peek(3), std::string(25, 'o'));
  for (int i = 0; i < 4; ++i) {
    const StringStackEntry& e = stack_.Entry(i);
    if (e.kind == StringEntryKind::kInline) {
      EXPECT_EQ(e.text, e.inline_buf);
    }
  }
  stack_.Rotate(0);  // nothing moves
  EXPECT_EQ(stack_.Peek(0), "first");
}

TEST_F(StringStackTest, SaveAndRestoreKeepEveryEntry) {
  stack_.PushText("one");
  stack_.PushText(std::string(21, 'q'));
  stack_.Clip();
  auto saved = stack_.Save();
  EXPECT_EQ(stack_.Count(), 0);
  stack_.PushText("scratch");  // work done in between is discarded
  stack_.Restore(std::move(saved));
  ASSERT_EQ(stack_.Count(), 2);
  EXPECT_EQ(stack_.Peek(1), "one");
  EXPECT_EQ(stack_.Entry(0).text, stack_.Entry(0).inline_buf);
  EXPECT_EQ(stack_.PopToHeap(), std::string(21, 'q'));
}

TEST_F(StringStackTest, OwnedEntryHandsItsBlockToTheHeapString) {
  std::string block(100, 'z');
  const char* data = block.data();
  stack_.PushOwned(std::move(block));
  std::string out = stack_.PopToHeap();
  EXPECT_EQ(out.data(), data);  // no copy
  EXPECT_EQ(out.size(), 100u);
}

TEST_F(StringStackTest, OverflowAndUnderflowAreReportedAndHarmless) {
  for (int i = 0; i < StringStack::kDepth; ++i) stack_.PushLong(i);
  EXPECT_TRUE(fatal_codes_.empty());
  stack_.PushText("one too many");
  ASSERT_EQ(fatal_codes_.size(), 1u);
  EXPECT_EQ(fatal_codes_[0], 501);
  EXPECT_EQ(fatal_messages_[0], "Internal error 01 : String stack overflow in push");
  EXPECT_EQ(stack_.Count(), StringStack::kDepth);
  EXPECT_EQ(stack_.Peek(), "31");
  stack_.PushCString("again");
  EXPECT_EQ(stack_.Peek(), "31");

  stack_.Reset();
  char dest[4] = {'x', 'x', 'x', 'x'};
  stack_.PopToString(dest, 4);
  EXPECT_EQ(std::string(dest, 4), "    ");
  EXPECT_EQ(stack_.PopToHeap(), "");
  EXPECT_EQ(stack_.Compare(), 0);
  stack_.Concat();
  stack_.Rotate(2);
  stack_.Clip();
  EXPECT_EQ(stack_.Count(), 0);
  EXPECT_GE(fatal_codes_.size(), 7u);
}

// Random pushes of every kind, moves between slots and pops against a model of the texts: the
// entries keep their texts and their rules (an inline text in its own slot's buffer, an owned one
// in its block) through every step.
TEST_F(StringStackTest, RandomOperationsKeepEveryEntrysTextAndRules) {
  std::mt19937 rng(11);
  std::vector<std::string> model;
  const std::string borrowed = "a borrowed text longer than twenty bytes   ";
  auto random_text = [&] {
    std::string t(rng() % 40, 'x');
    for (char& c : t) c = static_cast<char>('a' + rng() % 3);
    return t;
  };
  for (int step = 0; step < 5000; ++step) {
    int count = static_cast<int>(model.size());
    switch (rng() % 9) {
      case 0:
      case 1:
        if (count < StringStack::kDepth) {
          std::string t = random_text();
          stack_.PushText(t);
          model.push_back(t);
        }
        break;
      case 2:
        if (count < StringStack::kDepth) {
          int32_t n = static_cast<int32_t>(rng() % borrowed.size());
          stack_.PushBorrowed(borrowed.data(), n);
          if (rng() % 2) stack_.Materialize();
          model.push_back(borrowed.substr(0, static_cast<size_t>(n)));
        }
        break;
      case 3:
        if (count < StringStack::kDepth) {
          int32_t v = static_cast<int32_t>(static_cast<int64_t>(rng() >> 1) - INT32_MAX / 2);
          stack_.PushLong(v);
          model.push_back(std::to_string(v));
        }
        break;
      case 4:
        if (count >= 2) {
          stack_.Concat();
          std::string b = model.back();
          model.pop_back();
          model.back() += b;
        }
        break;
      case 5:
        if (count >= 1) {
          int depth = static_cast<int>(rng() % static_cast<unsigned>(count));
          stack_.Rotate(depth);
          std::string moved = model[static_cast<size_t>(count - 1 - depth)];
          model.erase(model.begin() + (count - 1 - depth));
          model.push_back(moved);
        }
        break;
      case 6:
        if (count >= 1) {
          stack_.Clip();
          while (!model.back().empty() && model.back().back() == ' ') model.back().pop_back();
        }
        break;
      default:
        if (count >= 1) {
          ASSERT_EQ(stack_.PopText(), model.back()) << "step " << step;
          model.pop_back();
        }
        break;
    }
    stack_.CheckInvariants();
    ASSERT_EQ(stack_.Count(), static_cast<int>(model.size()));
    if (!model.empty()) {
      ASSERT_EQ(stack_.Peek(), model.back()) << "step " << step;
    }
  }
  EXPECT_TRUE(fatal_codes_.empty());
}

}  // namespace
}  // namespace cinevo
