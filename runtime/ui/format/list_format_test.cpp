#include "runtime/ui/format/list_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cinevo {
namespace {

// 4 pixels per horizontal dialog unit makes the expected pixel figures easy to read.
constexpr DialogUnits kUnits{16, 16};

ListLayout Build(std::string_view format) {
  ListLayout layout;
  EXPECT_TRUE(BuildListColumns(format, kUnits, &layout)) << format;
  return layout;
}

struct Fields {
  int field, colour, icon, tree;
  friend bool operator==(const Fields&, const Fields&) = default;
};
std::vector<Fields> FieldsOf(const ListLayout& l) {
  std::vector<Fields> out;
  for (const ListColumn& c : l.columns) out.push_back({c.field, c.colourField, c.iconField, c.treeField});
  return out;
}

TEST(ListFormatFieldsTest, TheApplicationsThreeFormats) {
  ListLayout play = Build("1020L@s255@");
  ASSERT_EQ(play.columns.size(), 1u);
  EXPECT_EQ(FieldsOf(play), (std::vector<Fields>{{1, 0, 0, 0}}));
  EXPECT_EQ(play.columns[0].right, 4080);
  EXPECT_EQ(play.columns[0].pictureText, "s255");
  EXPECT_TRUE(play.columns[0].picture.Valid());
  EXPECT_EQ(play.columns[0].justify, Justify::kLeft);

  ListLayout tree = Build("800LIT@s200@");
  EXPECT_EQ(FieldsOf(tree), (std::vector<Fields>{{1, 0, 2, 3}}));
  EXPECT_EQ(tree.columns[0].flags, column_flag::kIcon | column_flag::kTree);
  EXPECT_EQ(tree.FieldsUsed(), 3);  // fields 4 and after are not shown

  ListLayout movies = Build("80L(2)|I@s120@");
  EXPECT_EQ(FieldsOf(movies), (std::vector<Fields>{{1, 0, 2, 0}}));
  EXPECT_EQ(movies.columns[0].indent, 8);
  EXPECT_EQ(movies.columns[0].flags, column_flag::kRightBorder | column_flag::kIcon);
  EXPECT_EQ(movies.totalWidth, 320);
}

TEST(ListFormatFieldsTest, RunningFieldNumberSkipsColourIconAndLevelFields) {
  // "*" is followed by four colour fields, so the third column reads field 7.
  EXPECT_EQ(FieldsOf(Build("10L10L*10L")),
            (std::vector<Fields>{{1, 0, 0, 0}, {2, 3, 0, 0}, {7, 0, 0, 0}}));
  // Value, colours, icon, level in that order; the next column continues after them.
  EXPECT_EQ(FieldsOf(Build("10L*IT10R")), (std::vector<Fields>{{1, 2, 6, 7}, {8, 0, 0, 0}}));
  // "#n#" names the field and restarts the running number after it.
  EXPECT_EQ(FieldsOf(Build("10L#5#10L10L#2#I10L")),
            (std::vector<Fields>{{5, 0, 0, 0}, {6, 0, 0, 0}, {2, 0, 3, 0}, {4, 0, 0, 0}}));
}

TEST(ListFormatCheckTest, AcceptsEveryPartOfTheGrammar) {
  for (const char* ok : {
           "10L", "0R", "-5C", "10d", "10L(3)", "10L(-3)", "10L#3#", "10L/", "10L?",
           "10L@n-10.2@@s5@", "10LE(1,2,3,4)", "10Le(0FFh,,-1)", "10LE()", "10L*FIM_|",
           "10LfiM_", "10LH", "10LH(4)", "10LS", "10LS(40)", "10LT", "10LT(1BILR)",
           "10Lt(b)", "10L~Name~", "10L~Name~R", "10L~Name~C(2)", "10L~~(4)",
           "[10L20R]", "[10L/20R](50)", "[10L20R]|~Both~C", "[10L]S(3)H(2)*", "10L[20L]30L",
           "10LIT@s200@~Tree~#1#?", "1020L@s255@"}) {
    EXPECT_EQ(CheckListFormat(ok), 0) << ok;
  }
}

TEST(ListFormatCheckTest, RefusesMalformedFormatsAtTheRightPlace) {
  struct Case {
    const char* format;
    int at;  // 1-based offset of the first bad character
  };
  for (const Case& c : std::vector<Case>{
           {"", 1},                // no column at all
           {"L", 1},               // no width
           {"10", 3},              // no justification
           {"10X", 3},             // not a justification letter
           {"10L@s20", 4},         // picture without its closing "@"
           {"10LE(1)E(2)", 8},     // "E" twice in one column
           {"10LE(1,2,3,4,5)", 14},  // a fifth colour
           {"10LE(12", 8},         // no ")"
           {"10LE(AB)", 6},        // hexadecimal without "H"
           {"10L(x)", 5},          // indent not a number
           {"10L(3", 6},
           {"10L#2", 6},           // field without its closing "#"
           {"10L#0#", 6},          // fields start at 1
           {"10L~head", 4},        // header without its closing "~"
           {"10LT(X)", 6},         // unknown tree option
           {"10LT()", 6},
           {"10LS(", 6},
           {"10L,", 4},            // a column ends where no item can begin
           {"[10L", 5},            // group not closed
           {"[]", 2},              // group without a column
           {"[10L[20L]]", 5},      // groups do not nest
           {"10L]", 4},
           {"[10L]x", 6},
       }) {
    EXPECT_EQ(CheckListFormat(c.format), c.at) << c.format;
    ListLayout l;
    l.columns.resize(2);
    EXPECT_FALSE(BuildListColumns(c.format, kUnits, &l)) << c.format;
    EXPECT_TRUE(l.columns.empty()) << c.format;
  }
}

TEST(ListFormatLayoutTest, ColumnsArePlacedLeftToRightAndNegativeWidthsAreZero) {
  ListLayout l = Build("10L-4R(1)20C");
  ASSERT_EQ(l.columns.size(), 3u);
  EXPECT_EQ(l.columns[0].left, 0);
  EXPECT_EQ(l.columns[0].right, 40);
  EXPECT_EQ(l.columns[1].left, 40);
  EXPECT_EQ(l.columns[1].right, 40);  // width 0
  EXPECT_EQ(l.columns[1].justify, Justify::kRight);
  EXPECT_EQ(l.columns[2].left, 40);
  EXPECT_EQ(l.columns[2].right, 120);
  EXPECT_EQ(l.totalWidth, 120);
}

TEST(ListFormatLayoutTest, GroupsKeepOneLineUnlessAColumnEndsItsLineWithSlash) {
  ListLayout one = Build("[10L20L]");
  ASSERT_EQ(one.groups.size(), 1u);
  EXPECT_EQ(one.lines, 1);
  EXPECT_EQ(one.columns[1].line, 0);
  EXPECT_EQ(one.columns[1].left, 40);
  EXPECT_EQ(one.columns[0].group, 1);

  ListLayout two = Build("5L[10L/20L]30L");
  ASSERT_EQ(two.groups.size(), 1u);
  EXPECT_EQ(two.groups[0].firstColumn, 1);
  EXPECT_EQ(two.groups[0].lastColumn, 2);
  EXPECT_EQ(two.groups[0].lines, 2);
  EXPECT_EQ(two.lines, 2);
  EXPECT_EQ(two.columns[2].line, 1);
  EXPECT_EQ(two.columns[2].left, 20);  // back at the group's left edge
  EXPECT_EQ(two.groups[0].right, 100);
  EXPECT_EQ(two.columns[3].left, 100);  // after the group's widest line
  EXPECT_EQ(two.columns[3].line, 0);

  // "/" outside a group has nothing to break; a width after "]" sets the group's extent.
  EXPECT_EQ(Build("10L/20L").columns[1].line, 0);
  ListLayout wide = Build("[10L](50)~G~R|10L");
  EXPECT_EQ(wide.groups[0].right, 200);
  EXPECT_EQ(wide.groups[0].header, "G");
  EXPECT_EQ(wide.groups[0].headerJustify, Justify::kRight);
  EXPECT_EQ(wide.groups[0].flags, column_flag::kRightBorder);
  EXPECT_EQ(wide.columns[1].left, 200);
}

TEST(ListFormatLayoutTest, HeadersJustificationAndModifiersAreRecorded) {
  ListLayout l = Build("40R(2)~Size~C(3)?E(0FFH,10,,-1)S(8)H(5)M");
  const ListColumn& c = l.columns[0];
  EXPECT_EQ(c.justify, Justify::kRight);
  EXPECT_EQ(c.indent, 8);
  EXPECT_EQ(c.header, "Size");
  EXPECT_EQ(c.headerJustify, Justify::kCenter);
  EXPECT_EQ(c.headerIndent, 12);
  EXPECT_TRUE(l.hasHeaders);
  EXPECT_EQ(l.locatorColumn, 1);
  EXPECT_EQ(c.colourCount, 4);
  EXPECT_EQ(c.colours, (std::array<int32_t, 4>{0xFF, 10, -1, -1}));
  EXPECT_EQ(c.scaled, 32);
  EXPECT_EQ(c.hNumber, 5);
  EXPECT_EQ(c.flags, column_flag::kLocator | column_flag::kScroll | column_flag::kResizable);
  EXPECT_EQ(c.options, column_option::kHNumber);

  // Without a letter after the header the data justification stays the header's.
  EXPECT_EQ(Build("10D~x~").columns[0].headerJustify, Justify::kDecimal);
  EXPECT_EQ(Build("10LT(LR1)").columns[0].options,
            column_option::kTreeLines | column_option::kTreeRoot | column_option::kTreeLevel1);
  // The first picture counts.
  EXPECT_EQ(Build("10L@n3@@s9@").columns[0].pictureText, "n3");
  EXPECT_EQ(Build("10L?20L?").locatorColumn, 1);
  // A group's "S" number is scaled as a column's is.
  const ListLayout g = Build("[10L20L]S(8)");
  EXPECT_EQ(g.groups[0].flags, column_flag::kScroll);
  EXPECT_EQ(g.groups[0].scaled, 32);
}

TEST(ListFormatLayoutTest, HugeNumbersAreClampedNotOverflowed) {
  ListLayout l = Build("99999999999999999999L(99999999999999)E(FFFFFFFFFFFFh)");
  EXPECT_GT(l.columns[0].right, 0);
  EXPECT_EQ(l.columns[0].colours[0], 0xFFFFFF);
  // Decimal colours are whole 24-bit numbers, held at 0xFFFFFF too.
  EXPECT_EQ(Build("10LE(16711680,99999999,-16711680)").columns[0].colours,
            (std::array<int32_t, 4>{0xFF0000, 0xFFFFFF, -0xFF0000, -1}));
  DialogUnits odd{0, 0};  // a font without metrics still gives a usable (1-pixel) scale
  ListLayout z;
  ASSERT_TRUE(BuildListColumns("8L", odd, &z));
  EXPECT_EQ(z.columns[0].right, 2);
}

}  // namespace
}  // namespace cinevo
