// The favourites tree: the catalogue as the lines of a two-level tree, kept in a display queue.
//
// Line 1 is the root "..."; under it every group of GRUPA in record order (the order in which
// the groups were added), and under an expanded group its movies from PODGRU in POD:PRK order.
// Groups are read when the tree is loaded; a group's movies only when it is expanded. A
// contracted group is probed for a first movie so that it can show whether it has any.
//
// Display queue, one entry per visible line in display order (fields in this order):
//   DISPLAY   STRING(200)  "..." for the root, GRU:SIFRA for a group, POD:NASLOV for a movie
//   ICON      SHORT        a movie's icon as the group form's list shows it (MovieIcon: 1
//                          ".avi", 2 ".mpg", 3 ".mov", 4 any other, case-sensitive), 5 closed
//                          group (and the root), 6 opened group
//   LEVEL     LONG         0 root, 1 group, 2 movie; -1 for a group with movies that is contracted
//   LOADED    SHORT        1 when the line's children are in the queue
//   POSITION  STRING(512)  the record's position in its data file, blank for the root
// Expanded-nodes queue, sorted by both fields: LOADEDLEVEL LONG (absolute level) and
// LOADEDPOSITION STRING(512), the nodes that are expanded, so that a reload opens them again.
//
// Positions are kept as the file's position function gives them, blank-padded to 512 bytes and
// compared whole (they are binary: never clipped).
//
// Movies belong to a group when their POD:SIFRA equals GRU:SIFRA without regard to case, as the
// key POD:PRK (NOCASE) orders them.
//
// Invariants (checked by CheckInvariants):
//  1. Line 1 is the root (level 0); every other line has absolute level 1 or 2.
//  2. A movie line follows its group line or another movie line of that group.
//  3. A group line that is loaded has a positive level; a contracted group (negative level) is
//     not loaded and has no movie lines under it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/catalogue.h"
#include "runtime/core/queue.h"
#include "runtime/ui/window.h"  // QueueField, as Window::BindQueue takes it

namespace cinevo::app {

namespace tree_level {
inline constexpr int32_t kRoot = 0, kGroup = 1, kMovie = 2;
}

namespace tree_icon {
inline constexpr int16_t kAvi = 1, kMpg = 2, kMov = 3, kOtherMovie = 4, kClosed = 5, kOpened = 6;
}

// The icon names of the tree control, for icon numbers 1 to 6.
inline constexpr std::array<const char*, 6> kTreeIconNames = {
    "~1f1.ico", "~1f2.ico", "~1f3.ico", "~1f4.ico", "~closed.ico", "~opened.ico"};

// The text of the root line.
inline constexpr std::string_view kRootText = "...";

// One line of the display queue, as read from it.
struct TreeLine {
  std::string display;  // clipped
  int16_t icon = 0;
  int32_t level = 0;
  bool loaded = false;
  std::string position;  // 512 bytes, blank-padded (all blanks for the root)

  int32_t AbsLevel() const { return level < 0 ? -level : level; }
};

// How a load or a read of the data files ended.
enum class TreeRead {
  kOk,
  kFailed,  // a read failed with something else than end of file: the window is to close
};

class FavouritesTree {
 public:
  // Display queue record.
  static constexpr uint32_t kDisplay = 0, kDisplaySize = 200;
  static constexpr uint32_t kIcon = 200, kLevel = 202, kLoaded = 206;
  static constexpr uint32_t kPosition = 208, kPositionSize = 512;
  static constexpr uint32_t kLineSize = 720;
  // Expanded-nodes queue record.
  static constexpr uint32_t kLoadedLevel = 0, kLoadedPosition = 4, kNodeSize = 516;

  explicit FavouritesTree(Catalogue& catalogue);
  FavouritesTree(const FavouritesTree&) = delete;
  FavouritesTree& operator=(const FavouritesTree&) = delete;

  // The queue a list shows, and its fields for the list's column format.
  Queue& Lines() { return lines_; }
  static std::vector<QueueField> LineFields();

  int32_t Count() const { return QueuePeekRecords(&lines_); }
  // Line `row` (1-based); a default line when there is none.
  TreeLine Line(int32_t row) const;
  // The first line of absolute level `level` whose position is `position` (padded or not); 0
  // when none.
  int32_t Find(int32_t level, std::string_view position) const;
  // The group line of `row` (itself for a group, the line above for a movie); 0 for the root.
  int32_t GroupLine(int32_t row) const;

  // Loading. Load empties the display queue and reads the tree again, opening the groups in the
  // expanded-nodes queue (every group when `expandAll`, which also fills that queue).
  TreeRead Load(bool expandAll = false);
  // Contract All: both queues emptied, then loaded.
  TreeRead ContractAll();
  // Expand All: both queues emptied, then loaded with every group open.
  TreeRead ExpandAll();

  // Expand and Contract of the group at `row`; anything but a group line is left alone.
  // Expanding re-reads the group by its position; when it is gone, kFailed tells the caller the
  // tree is out of date (nothing was changed).
  TreeRead Expand(int32_t row);
  void Contract(int32_t row);

  // The expanded-nodes queue.
  int32_t ExpandedCount() const { return QueuePeekRecords(&expanded_); }
  bool IsExpanded(int32_t level, std::string_view position);
  // Marks a node expanded, so that the next load opens it.
  void MarkExpanded(int32_t level, std::string_view position) { AddExpanded(level, position); }

  // Re-reads the record of the line into its file's record buffer (group or movie); false when
  // the line is the root or the record cannot be read.
  bool ReadRecord(int32_t row);
  // The name of the line's group, read from the file (empty for the root, or when the record is
  // gone).
  std::string GroupNameOf(int32_t row);
  // The paths of the movies of group `name` in key order, read directly from the file; kFailed
  // when a read failed with something else than end of file.
  TreeRead MoviesOf(std::string_view name, std::vector<std::string>& paths);

  // A position padded as the queues keep it.
  static std::string PaddedPosition(std::string_view position);

  void CheckInvariants() const;

 private:
  void AppendLine(std::string_view display, int16_t icon, int32_t level, bool loaded,
                  std::string_view position, int32_t at = 0);
  void PutLine(int32_t row, const TreeLine& line);
  void ClearExpanded();
  void AddExpanded(int32_t level, std::string_view position);
  void RemoveExpanded(int32_t level, std::string_view position);
  // Positions PODGRU on the first movie of the group in GRU:SIFRA and reads it. 0, or the read's
  // error code (kErrRecordNotAvailable at the end of the file).
  int FirstMovieOf(std::string_view name);
  bool InGroup(std::string_view name) const;
  // The movies of the group in the record buffer, each added after line `after`; the next row.
  TreeRead LoadMovies(int32_t after);

  Catalogue& catalogue_;
  std::array<uint8_t, kLineSize> line_{};
  Queue lines_{line_.data(), kLineSize};
  std::array<uint8_t, kNodeSize> node_{};
  Queue expanded_{node_.data(), kNodeSize};
};

}  // namespace cinevo::app
