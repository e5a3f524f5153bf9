// A VIEW over files opened shared while another open of the same files changes them between
// two VIEW operations: every operation sees what was committed before it began, whatever the
// VIEW keeps from earlier operations (positions, an order's rows and their records).
#include <gtest/gtest.h>

#include <chrono>

#include "runtime/data/view/view.h"
#include "runtime/data/view/view_test_support.h"

namespace cinevo {
namespace {

using namespace view_test;

class ViewSharingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TestDirectory("view_sharing");
    md_ = Movies(dir_);
    movies_ = std::make_unique<FileControlBlock>(md_);
    CreateShared(*movies_);
    AddMovie(*movies_, "Autumn", "C:\\A.AVI");
    AddMovie(*movies_, "Autumn", "C:\\B.AVI");
    AddMovie(*movies_, "Autumn", "C:\\C.AVI");
    AddMovie(*movies_, "Summer", "C:\\D.AVI");
    // The other program: a second open of the same file, with locks of its own.
    other_ = std::make_unique<FileControlBlock>(md_);
    ASSERT_EQ(Share(*other_, 0x42), 0);
    ViewDeclaration v;
    v.primary = movies_.get();
    view_ = std::make_unique<View>(v);
    ASSERT_EQ(Open(view_->block()), 0);
  }
  void TearDown() override {
    Close(view_->block());
    Close(*other_);
    Close(*movies_);
    std::filesystem::remove_all(dir_);
  }

  // The other open changes the mark (POD:SFSEL) of the movie with `path`.
  void MarkElsewhere(std::string_view path, std::string_view mark) {
    ASSERT_EQ(Set(*other_), 0);
    while (Next(*other_) == 0) {
      if (Text(*other_, 2) != path) continue;
      PutText(*other_, 4, mark);
      ASSERT_EQ(Put(*other_), 0);
      return;
    }
    FAIL() << "no movie " << path;
  }

  void DeleteElsewhere(std::string_view path) {
    ASSERT_EQ(Set(*other_), 0);
    while (Next(*other_) == 0) {
      if (Text(*other_, 2) != path) continue;
      ASSERT_EQ(Delete(*other_), 0);
      return;
    }
    FAIL() << "no movie " << path;
  }

  std::string Row() { return Text(*movies_, 2) + "|" + Text(*movies_, 4); }

  std::filesystem::path dir_;
  FileDeclaration md_;
  std::unique_ptr<FileControlBlock> movies_, other_;
  std::unique_ptr<View> view_;
};

// The ordered rows are materialised by the first read; the records delivered later come from
// the file as it is at each read.
TEST_F(ViewSharingTest, OrderedRowsShowChangesCommittedBetweenReads) {
  FileControlBlock& v = view_->block();
  ASSERT_EQ(SetProperty(v, kPropViewOrder, "-POD:NASLOV"), 0);
  ASSERT_EQ(SetView(v), 0);
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\D.AVI|");
  MarkElsewhere("C:\\C.AVI", "X");
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\C.AVI|X");
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\B.AVI|");
  // Backwards over a row read before the change: it is read again as it is now.
  MarkElsewhere("C:\\C.AVI", "Y");
  ASSERT_EQ(Previous(v), 0);
  EXPECT_EQ(Row(), "C:\\C.AVI|Y");
  // The record delivered is the primary file's current record: a PUT through the VIEW changes it.
  PutText(*movies_, 4, "Z");
  ASSERT_EQ(Put(v), 0);
  ASSERT_EQ(Next(v), 0);
  ASSERT_EQ(Previous(v), 0);
  EXPECT_EQ(Row(), "C:\\C.AVI|Z");
  ASSERT_EQ(Previous(v), 0);
  EXPECT_EQ(Row(), "C:\\D.AVI|");
}

// A change made through the VIEW's own file between two reads of an ordered VIEW.
TEST_F(ViewSharingTest, OrderedRowsShowChangesOfTheSameOpen) {
  FileControlBlock& v = view_->block();
  ASSERT_EQ(SetProperty(v, kPropViewOrder, "POD:NASLOV"), 0);
  ASSERT_EQ(SetView(v), 0);
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\A.AVI|");
  const std::string first = Position(v);
  ASSERT_EQ(Next(v), 0);
  PutText(*movies_, 4, "M");
  ASSERT_EQ(Put(*movies_), 0);
  ASSERT_EQ(Reset(v, first), 0);
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\A.AVI|");
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\B.AVI|M");
}

// A key range in the key's order, read a row at a time (nothing materialised): each read sees
// the other program's last commit, and the position of a row is the one it was read at.
TEST_F(ViewSharingTest, KeyRangeRowsShowChangesCommittedBetweenReads) {
  FileControlBlock& v = view_->block();
  ASSERT_EQ(SetProperty(v, kPropViewFilter, "UPPER(POD:SIFRA) = UPPER('autumn')"), 0);
  ASSERT_EQ(SetProperty(v, kPropViewOrder, "UPPER(POD:SIFRA),UPPER(POD:NASLOV2)"), 0);
  ASSERT_NE(view_->Explain().find("POD:PRK"), std::string::npos);
  ASSERT_EQ(view_->Explain().find("materialised: yes"), std::string::npos);
  ASSERT_EQ(SetView(v), 0);
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\A.AVI|");
  const std::string first = Position(v);
  MarkElsewhere("C:\\B.AVI", "X");
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\B.AVI|X");
  const std::string second = Position(v);
  EXPECT_NE(first, second);
  // A movie the other program adds inside the range, after the rows read so far.
  PutText(*other_, 1, "AUTUMN");
  PutText(*other_, 2, "C:\\BB.AVI");
  PutText(*other_, 3, "C:\\BB.AVI");
  PutText(*other_, 4, "");
  ASSERT_EQ(Add(*other_), 0);
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\BB.AVI|");
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\C.AVI|");
  EXPECT_EQ(Next(v), 33);
  // The positions taken read back the same rows.
  ASSERT_EQ(Reset(v, second), 0);
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\B.AVI|X");
  ASSERT_EQ(Reset(v, first), 0);
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\A.AVI|");
}

// A record the other program deletes after the order was materialised is reported, not
// delivered from what the VIEW kept.
TEST_F(ViewSharingTest, OrderedRowDeletedElsewhereIsNotDelivered) {
  FileControlBlock& v = view_->block();
  ASSERT_EQ(SetProperty(v, kPropViewOrder, "POD:NASLOV"), 0);
  ASSERT_EQ(SetView(v), 0);
  ASSERT_EQ(Next(v), 0);
  ASSERT_EQ(Set(*other_), 0);
  while (Next(*other_) == 0 && Text(*other_, 2) != "C:\\B.AVI") {
  }
  ASSERT_EQ(Delete(*other_), 0);
  EXPECT_EQ(Next(v), 35);
}

// Rows read ahead by an earlier operation (file order, nothing materialised) stand only while
// nothing was committed: a change to a row kept, the removal of the rows after the one
// delivered and the removal of the row delivered itself are all seen by the next read.
TEST_F(ViewSharingTest, RowsReadAheadGiveWayToChangesCommittedBetweenReads) {
  FileControlBlock& v = view_->block();
  ASSERT_EQ(SetView(v), 0);
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\A.AVI|");
  MarkElsewhere("C:\\B.AVI", "X");
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\B.AVI|X");
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\C.AVI|");
  DeleteElsewhere("C:\\D.AVI");
  EXPECT_EQ(Next(v), 33);

  // The row delivered last is deleted: reading on gives the row after it, turning round the one
  // before it.
  ASSERT_EQ(SetView(v), 0);
  ASSERT_EQ(Next(v), 0);
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\B.AVI|X");
  DeleteElsewhere("C:\\B.AVI");
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\C.AVI|");
  DeleteElsewhere("C:\\C.AVI");
  ASSERT_EQ(Previous(v), 0);
  EXPECT_EQ(Row(), "C:\\A.AVI|");
  EXPECT_EQ(Previous(v), 33);
}

// A change made through the VIEW's file itself moves the file's stamp: the rows kept after it
// are read again, and a record put out of the range is not delivered from what was kept.
TEST_F(ViewSharingTest, RowsReadAheadGiveWayToChangesOfTheSameOpen) {
  ViewDeclaration d;
  d.primary = movies_.get();
  d.key = 0;  // the range in the key's order: nothing materialised
  View keyed(d);
  FileControlBlock& v = keyed.block();
  ASSERT_EQ(Open(v), 0);
  ASSERT_EQ(SetProperty(v, kPropViewFilter, "UPPER(POD:SIFRA) = UPPER('autumn')"), 0);
  ASSERT_NE(keyed.Explain().find("materialised: no"), std::string::npos);
  ASSERT_EQ(SetView(v), 0);
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\A.AVI|");
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\B.AVI|");
  // C is kept by now; it leaves the range.
  ASSERT_EQ(Set(*other_), 0);
  ASSERT_EQ(Next(*other_), 0);
  ASSERT_EQ(Next(*other_), 0);
  ASSERT_EQ(Next(*other_), 0);
  ASSERT_EQ(Text(*other_, 2), "C:\\C.AVI");
  ASSERT_EQ(Reget(*movies_, Position(*other_)), 0);
  PutText(*movies_, 1, "Winter");
  ASSERT_EQ(Put(*movies_), 0);
  EXPECT_EQ(Next(v), 33) << Row();
  Close(v);
}

// Kept rows come without the files' locks: they are delivered while another open holds the
// update lock of the file (a transaction), which a read of the file would wait for.
TEST_F(ViewSharingTest, KeptRowsAreDeliveredWithoutTheLocks) {
  FileControlBlock& v = view_->block();
  ASSERT_EQ(SetView(v), 0);
  ASSERT_EQ(Next(v), 0);  // the read keeps the two rows after this one
  EXPECT_EQ(Row(), "C:\\A.AVI|");
  FileControlBlock* files[] = {other_.get()};
  ASSERT_EQ(Logout(1, files), 0);
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\B.AVI|");
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\C.AVI|");
  ASSERT_EQ(Commit(files), 0);
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\D.AVI|");
  EXPECT_EQ(Next(v), 33);
}

// A declared read (a browse filling a page) is one operation: the rows its filling kept are
// delivered as read, though another open commits a change to one of them meanwhile; the next
// read sees the change.
TEST_F(ViewSharingTest, ADeclaredReadIsOneOperation) {
  FileControlBlock& v = view_->block();
  view_->ExpectReads(3);
  ASSERT_EQ(SetView(v), 0);
  ASSERT_EQ(Next(v), 0);  // keeps B and C
  EXPECT_EQ(Row(), "C:\\A.AVI|");
  MarkElsewhere("C:\\B.AVI", "X");
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\B.AVI|") << "as the read's filling found it";
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\C.AVI|");
  view_->ExpectReads(0);

  view_->ExpectReads(3);
  ASSERT_EQ(SetView(v), 0);
  ASSERT_EQ(Next(v), 0);
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\B.AVI|X");
  view_->ExpectReads(0);
}

// The end that a declared read's filling met after its rows belongs to the read as well, like
// the rows: a row another open adds meanwhile does not show before it, and shows from the next
// read on. The same for the end of an order's whole list.
TEST_F(ViewSharingTest, TheEndMetWithinADeclaredReadIsDeliveredAsFound) {
  FileControlBlock& v = view_->block();
  int before = 4;
  for (const char* order : {"", "-POD:NASLOV"}) {
    SCOPED_TRACE(order);
    ASSERT_EQ(SetProperty(v, kPropViewOrder, order), 0);
    view_->ExpectReads(10);
    ASSERT_EQ(SetView(v), 0);
    ASSERT_EQ(Next(v), 0);  // the filling reads every row and meets the end
    AddMovie(*other_, "Autumn", std::string("C:\\E") + (*order ? "2" : "1") + ".AVI");
    for (int i = 1; i < before; ++i) ASSERT_EQ(Next(v), 0);
    EXPECT_EQ(Next(v), 33);
    view_->ExpectReads(0);
    view_->ExpectReads(10);
    ASSERT_EQ(SetView(v), 0);
    int rows = 0;
    while (Next(v) == 0) ++rows;
    EXPECT_EQ(rows, ++before);
    view_->ExpectReads(0);
  }
}

// Rows kept before a declared read began, or delivered after it ended, are looked at as in any
// other operation: a change committed before the read shows.
TEST_F(ViewSharingTest, RowsKeptOutsideADeclaredReadGiveWayToChanges) {
  FileControlBlock& v = view_->block();
  ASSERT_EQ(SetView(v), 0);
  ASSERT_EQ(Next(v), 0);  // an undeclared read keeps B and C
  MarkElsewhere("C:\\B.AVI", "X");
  view_->ExpectReads(2);
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\B.AVI|X");
  ASSERT_EQ(Next(v), 0);  // the read's own filling, under the locks
  EXPECT_EQ(Row(), "C:\\C.AVI|");
  // Its two rows are delivered: the next read is an operation of its own.
  MarkElsewhere("C:\\D.AVI", "Y");
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\D.AVI|Y");
  view_->ExpectReads(0);
}

// The same for an order's rows: the list filled within a declared read delivers its records as
// kept while the read lasts, and as the file holds them after it.
TEST_F(ViewSharingTest, AnOrderFilledWithinADeclaredReadDeliversItsRowsAsKept) {
  FileControlBlock& v = view_->block();
  ASSERT_EQ(SetProperty(v, kPropViewOrder, "-POD:NASLOV"), 0);
  view_->ExpectReads(2);
  ASSERT_EQ(SetView(v), 0);
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\D.AVI|");
  MarkElsewhere("C:\\C.AVI", "X");
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\C.AVI|");
  view_->ExpectReads(0);
  MarkElsewhere("C:\\B.AVI", "Y");
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\B.AVI|Y");
  ASSERT_EQ(Previous(v), 0);
  EXPECT_EQ(Row(), "C:\\C.AVI|X");
}

// Positions taken while rows are kept are those of the rows delivered.
TEST_F(ViewSharingTest, PositionsOfRowsDeliveredFromWhatWasKept) {
  FileControlBlock& v = view_->block();
  ASSERT_EQ(SetView(v), 0);
  std::vector<std::string> positions;
  while (Next(v) == 0) positions.push_back(Position(v));
  ASSERT_EQ(positions.size(), 4u);
  for (size_t i : {2u, 0u, 3u, 1u}) {
    ASSERT_EQ(Reset(v, positions[i]), 0);
    ASSERT_EQ(Next(v), 0);
    EXPECT_EQ(Text(*movies_, 2), std::string("C:\\") + static_cast<char>('A' + i) + ".AVI");
    EXPECT_EQ(Position(v), positions[i]);
  }
  // After a RESET and some reads ahead, turning round continues from the row delivered.
  ASSERT_EQ(Reset(v, positions[0]), 0);
  ASSERT_EQ(Next(v), 0);
  ASSERT_EQ(Next(v), 0);
  ASSERT_EQ(Previous(v), 0);
  EXPECT_EQ(Text(*movies_, 2), "C:\\A.AVI");
}

// RESET of a VIEW whose rows are not sorted in memory only hands the positions to the drivers:
// it does not wait for another open that holds the file, and the NEXT after it reads under the
// locks, seeing what that open committed meanwhile.
TEST_F(ViewSharingTest, AResetReadsNothingAndTheReadAfterItSeesCommits) {
  FileControlBlock& v = view_->block();
  ASSERT_EQ(SetView(v), 0);
  ASSERT_EQ(Next(v), 0);
  const std::string at_a = Position(v);
  FileControlBlock* files[] = {other_.get()};
  ASSERT_EQ(Logout(1, files), 0);  // the other open holds the file until it commits
  ASSERT_EQ(Set(*other_), 0);
  ASSERT_EQ(Next(*other_), 0);
  ASSERT_EQ(Next(*other_), 0);
  ASSERT_EQ(Text(*other_, 2), "C:\\B.AVI");
  PutText(*other_, 4, "X");
  ASSERT_EQ(Put(*other_), 0);
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(Reset(v, at_a), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10)) << "RESET waited for the lock";
  ASSERT_EQ(Commit(files), 0);
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\A.AVI|");
  ASSERT_EQ(Next(v), 0);
  EXPECT_EQ(Row(), "C:\\B.AVI|X");
}

}  // namespace
}  // namespace cinevo
