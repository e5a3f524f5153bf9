// The read-ahead of a VIEW's rows seen from outside: random walks of NEXT, PREVIOUS, SKIP,
// POSITION and RESET over random files give the rows a model of the row list predicts, with
// and without other opens changing the file in between (view_sharing_test.cpp holds the
// changes one by one).
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "runtime/core/error_codes.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/view/view.h"
#include "runtime/data/view/view_plan_check.h"
#include "runtime/data/view/view_test_support.h"

namespace cinevo::view {
namespace {

using view_test::TestDirectory;

// A VIEW's row list as the file holds it now, and where a reader of it stands: `at` is the row
// delivered last (or -1 before the first, n after the last), `fresh` when the next read gives
// `at` itself (after a RESET), `restart` after SET or the end.
struct Walk {
  std::vector<int32_t> rows;
  int64_t at = -1;
  bool fresh = false;
  bool restart = true;

  // The id the next read should deliver, or 0 for the end.
  int32_t Step(bool forward) {
    const int64_t n = static_cast<int64_t>(rows.size());
    if (restart) at = forward ? -1 : n;
    restart = false;
    if (!fresh) at += forward ? 1 : -1;
    fresh = false;
    if (at < 0 || at >= n) {
      restart = true;
      return 0;
    }
    return rows[static_cast<size_t>(at)];
  }
};

int32_t Id(const FileControlBlock& f) { return static_cast<int32_t>(LoadU32(f.record.data())); }

TEST(ViewReadAhead, RandomWalksGiveTheRowsOfTheList) {
  std::filesystem::path dir = TestDirectory("view_ahead");
  int kept_turns = 0;
  for (uint32_t seed = 1; seed <= 5; ++seed) {
    std::mt19937 rng(seed);
    FileDeclaration d = RandomTableDeclaration((dir / ("T" + std::to_string(seed))).string());
    FileControlBlock f(d);
    ASSERT_EQ(Create(f), 0);
    ASSERT_EQ(Share(f, 0x42), 0);
    ASSERT_EQ(FillRandomTable(f, 150 + static_cast<int>(rng() % 300), rng), 0);
    for (int round = 0; round < 12; ++round) {
      ViewDeclaration vd;
      vd.primary = &f;
      vd.key = static_cast<int>(rng() % 6) - 1;
      View v(vd);
      ASSERT_EQ(Open(v.block()), 0);
      const std::string filter = RandomFilter(rng);
      SetProperty(v.block(), kPropViewFilter, filter);
      Walk w;
      w.rows = ViewIds(v, true);
      ASSERT_TRUE(w.rows.empty() || w.rows.back() > 0) << filter;
      ASSERT_EQ(SetView(v.block()), 0);
      std::map<int32_t, std::string> positions;
      bool last_forward = true;
      for (int op = 0; op < 400; ++op) {
        const std::string where = "seed " + std::to_string(seed) + " round " + std::to_string(round) + " op " +
                                  std::to_string(op) + " filter [" + filter + "]";
        const unsigned pick = rng() % 20;
        if (pick < 16) {
          // Mostly runs in one direction, sometimes a turn.
          const bool forward = pick < 14 ? last_forward : !last_forward;
          kept_turns += forward != last_forward;
          last_forward = forward;
          const int32_t want = w.Step(forward);
          const int e = forward ? Next(v.block()) : Previous(v.block());
          if (want == 0) {
            ASSERT_EQ(e, kErrRecordNotAvailable) << where;
          } else {
            ASSERT_EQ(e, 0) << where;
            ASSERT_EQ(Id(f), want) << where;
            positions[want] = Position(v.block());
          }
        } else if (pick < 18 && !positions.empty()) {
          auto it = positions.begin();
          std::advance(it, static_cast<long>(rng() % positions.size()));
          ASSERT_EQ(Reset(v.block(), it->second), 0) << where;
          w.restart = false;
          w.fresh = true;
          w.at = std::find(w.rows.begin(), w.rows.end(), it->first) - w.rows.begin();
        } else if (pick < 19) {
          const int64_t k = 1 + static_cast<int64_t>(rng() % 4);
          int32_t want = 0;
          for (int64_t i = 0; i < k && (want = w.Step(last_forward)) != 0; ++i) {
          }
          const int e = Skip(v.block(), last_forward ? k : -k);
          if (want == 0) {
            ASSERT_EQ(e, kErrRecordNotAvailable) << where;
          } else {
            ASSERT_EQ(e, 0) << where;
            ASSERT_EQ(Id(f), want) << where;
          }
        } else {
          ASSERT_EQ(SetView(v.block()), 0);
          w.restart = true;
          w.fresh = false;
        }
      }
      Close(v.block());
    }
    Close(f);
  }
  EXPECT_GT(kept_turns, 100);
  std::filesystem::remove_all(dir);
}

// Another open adds, changes and deletes records between the reads of a walk: each read gives
// the row that follows the row delivered last in the list as the file holds it then (or the row
// before it, backwards), as a reader without anything kept would.
TEST(ViewReadAhead, WalksFollowChangesMadeElsewhere) {
  std::filesystem::path dir = TestDirectory("view_ahead_changes");
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    std::mt19937 rng(seed * 7);
    FileDeclaration d = RandomTableDeclaration((dir / ("T" + std::to_string(seed))).string());
    // The VIEW's file, the other program's open, and an open through which the test lists the
    // rows as they are (a VIEW of its own moves its file's sequence).
    FileControlBlock f(d), other(d), lister(d);
    ASSERT_EQ(Create(f), 0);
    ASSERT_EQ(Share(f, 0x42), 0);
    ASSERT_EQ(FillRandomTable(f, 200, rng), 0);
    ASSERT_EQ(Share(other, 0x42), 0);
    ASSERT_EQ(Share(lister, 0x42), 0);
    int32_t next_id = 1000;
    ViewDeclaration vd;
    vd.primary = &f;
    vd.key = 1;  // T:AB
    View v(vd);
    vd.primary = &lister;
    View list(vd);
    ASSERT_EQ(Open(v.block()), 0);
    ASSERT_EQ(Open(list.block()), 0);
    const std::string filter = seed % 2 ? "T:B >= 0" : "UPPER(T:A) = 'B'";
    SetProperty(v.block(), kPropViewFilter, filter);
    SetProperty(list.block(), kPropViewFilter, filter);
    ASSERT_EQ(SetView(v.block()), 0);
    bool forward = true;
    int32_t last = 0;  // the id delivered last; 0 none
    for (int op = 0; op < 300; ++op) {
      const std::string where = "seed " + std::to_string(seed) + " op " + std::to_string(op);
      if (rng() % 5 == 0) {
        // The other program: a new record, or a changed or deleted one, picked at random.
        ASSERT_EQ(Set(other), 0);
        const int skip = static_cast<int>(rng() % 150);
        for (int i = 0; i <= skip && Next(other) == 0; ++i) {
        }
        switch (rng() % 3) {
          case 0: {
            StoreU32(other.record.data(), static_cast<uint32_t>(next_id++));
            ASSERT_EQ(Add(other), 0) << where;
            break;
          }
          case 1:
            StoreU16(other.record.data() + 7, static_cast<uint16_t>(static_cast<int16_t>(rng() % 7) - 2));
            if (Id(other) != last) {
              ASSERT_EQ(Put(other), 0) << where;
            }
            break;
          default:
            if (Id(other) != last) {
              ASSERT_EQ(Delete(other), 0) << where;
            }
            break;
        }
      }
      if (rng() % 10 == 0) forward = !forward;
      // What the read should give: the neighbour of the row delivered last in today's list.
      std::vector<int32_t> rows = ViewIds(list, true);
      int32_t want = 0;
      if (last == 0) {
        if (!rows.empty()) want = forward ? rows.front() : rows.back();
      } else {
        auto it = std::find(rows.begin(), rows.end(), last);
        ASSERT_NE(it, rows.end()) << where;  // the row delivered last is never changed elsewhere
        if (forward && it + 1 != rows.end()) want = *(it + 1);
        if (!forward && it != rows.begin()) want = *(it - 1);
      }
      const int e = forward ? Next(v.block()) : Previous(v.block());
      if (want == 0) {
        ASSERT_EQ(e, kErrRecordNotAvailable) << where;
        last = 0;
      } else {
        ASSERT_EQ(e, 0) << where;
        ASSERT_EQ(Id(f), want) << where;
        last = want;
      }
    }
    Close(list.block());
    Close(v.block());
    Close(lister);
    Close(other);
    Close(f);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace cinevo::view
