#include "runtime/data/view/view_planner.h"

#include <gtest/gtest.h>

#include "runtime/data/view/view_plan_check.h"
#include "runtime/data/view/view_test_support.h"

namespace cinevo::view {
namespace {

using namespace view_test;

TEST(ViewTexts, ConjunctionsSplitAtTheirTopLevelOnly) {
  std::vector<std::string> terms;
  ASSERT_TRUE(SplitConjunction("UPPER(POD:SIFRA) = UPPER('A AND B') AND (X = 1 OR Y = 2)and Z", terms));
  EXPECT_EQ(terms, (std::vector<std::string>{"UPPER(POD:SIFRA) = UPPER('A AND B')", "(X = 1 OR Y = 2)", "Z"}));
  ASSERT_TRUE(SplitConjunction("BAND = 1 AND ANDY = 2", terms));
  EXPECT_EQ(terms, (std::vector<std::string>{"BAND = 1", "ANDY = 2"}));
  EXPECT_FALSE(SplitConjunction("A = 1 AND B = 2 OR C = 3", terms));
  ASSERT_TRUE(SplitConjunction("", terms));
  EXPECT_TRUE(terms.empty());

  std::vector<OrderText> items = SplitOrder(" -POD:NASLOV ,\t+ UPPER(POD:SIFRA),SUB(X, 1, 2),, ");
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].expression, "POD:NASLOV");
  EXPECT_TRUE(items[0].descending);
  EXPECT_EQ(items[1].expression, "UPPER(POD:SIFRA)");
  EXPECT_FALSE(items[1].descending);
  EXPECT_EQ(items[2].expression, "SUB(X, 1, 2)");
}

class PlannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TestDirectory("planner");
    md_ = Movies(dir_);
    movies_ = std::make_unique<FileControlBlock>(md_);
    CreateShared(*movies_);
    AddMovie(*movies_, "Holidays", "C:\\SEA.AVI");
  }
  void TearDown() override {
    Close(*movies_);
    std::filesystem::remove_all(dir_);
  }
  std::string Explain(const std::string& filter, const std::string& order) {
    ViewDeclaration d;
    d.primary = movies_.get();
    View v(d);
    EXPECT_EQ(Open(v.block()), 0);
    EXPECT_EQ(SetProperty(v.block(), kPropViewFilter, filter), 0);
    EXPECT_EQ(SetProperty(v.block(), kPropViewOrder, order), 0);
    return v.Explain();
  }
  std::filesystem::path dir_;
  FileDeclaration md_;
  std::unique_ptr<FileControlBlock> movies_;
};

TEST_F(PlannerTest, TheViewManagersRangeReadsOneGroupInKeyOrder) {
  EXPECT_EQ(Explain("UPPER(POD:SIFRA) = UPPER('Holidays')", "UPPER(POD:NASLOV2)"),
            "key: POD:PRK (forward)\n"
            "range: UPPER(POD:SIFRA) = 'HOLIDAYS'\n"
            "filter: none\n"
            "materialised: no\n");
  // Other terms stay in the filter; an order the key does not give is materialised.
  EXPECT_EQ(Explain("UPPER(POD:SIFRA) = UPPER('Holidays') AND INSTRING('.AVI', POD:NASLOV, 1, 1)", "-POD:NASLOV"),
            "key: POD:PRK (forward)\n"
            "range: UPPER(POD:SIFRA) = 'HOLIDAYS'\n"
            "filter: INSTRING('.AVI', POD:NASLOV, 1, 1)\n"
            "materialised: yes\n");
  // A case-sensitive term narrows the range but must stay to check the case.
  EXPECT_EQ(Explain("POD:SIFRA = 'Holidays'", ""),
            "key: POD:PRK (forward)\n"
            "range: POD:SIFRA = 'Holidays'\n"
            "filter: POD:SIFRA = 'Holidays'\n"
            "materialised: yes\n");
}

TEST_F(PlannerTest, WholeFileReadsWhenNoKeyAnswers) {
  // POD:PRK leaves blank groups out (OPT): without a term that excludes them it is not used.
  EXPECT_EQ(Explain("", "UPPER(POD:SIFRA),UPPER(POD:NASLOV2)"),
            "key: none (record order)\nrange: whole file\nfilter: none\nmaterialised: yes\n");
  EXPECT_EQ(Explain("INSTRING('.AVI', UPPER(POD:NASLOV), 1, 1)", ""),
            "key: none (record order)\nrange: whole file\nfilter: INSTRING('.AVI', UPPER(POD:NASLOV), 1, 1)\n"
            "materialised: no\n");
  // An OR at the top level is not a conjunction.
  EXPECT_EQ(Explain("UPPER(POD:SIFRA) = 'A' OR UPPER(POD:SIFRA) = 'B'", ""),
            "key: none (record order)\nrange: whole file\nfilter: UPPER(POD:SIFRA) = 'A' OR UPPER(POD:SIFRA) = 'B'\n"
            "materialised: no\n");
  // A value longer than the field can never be equal: no range is made from it.
  EXPECT_EQ(Explain("UPPER(POD:SIFRA) = 'ABCDEFGHIJKLMNOPQRSTUVWXYZ'", "")
                .substr(0, 24),
            "key: none (record order)");
}

// Randomised: over random files, every filter and order gives the same rows in the same order
// planned and plain, forwards and backwards, whatever key the VIEW reads by, and whether or not
// the planned reading starts as a short declared read.
TEST(PlannerRandomised, PlannedRowsEqualPlainRows) {
  std::filesystem::path dir = TestDirectory("planner_random");
  int planned_ranges = 0, unsorted = 0;
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    std::mt19937 rng(seed);
    FileDeclaration d = RandomTableDeclaration((dir / ("T" + std::to_string(seed))).string());
    FileControlBlock f(d);
    ASSERT_EQ(Create(f), 0);
    ASSERT_EQ(Share(f, 0x42), 0);
    ASSERT_EQ(FillRandomTable(f, 20 + static_cast<int>(rng() % 60), rng), 0);
    for (int i = 0; i < 120; ++i) {
      const int key = static_cast<int>(rng() % 6) - 1;  // record order or one of the keys
      const std::string filter = RandomFilter(rng), order = RandomOrder(rng);
      std::string explain;
      // Half of the reads start as a short declared read, as a browse page does.
      const int64_t declared = rng() % 2 ? 1 + static_cast<int64_t>(rng() % 5) : 0;
      std::string diff = ComparePlanned(f, key, filter, order, &explain, declared);
      ASSERT_EQ(diff, "") << "seed " << seed;
      if (explain.find("range: whole file") == std::string::npos) ++planned_ranges;
      if (!order.empty() && explain.find("materialised: no") != std::string::npos) ++unsorted;
    }
    Close(f);
  }
  // The comparison is only worth something when the planner did plan.
  EXPECT_GT(planned_ranges, 50);
  EXPECT_GT(unsorted, 20);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace cinevo::view
