// The B-tree of variable-length records kept in one data file.
//
// Every record of the file (data, key entries, memo chunks, counters, declarations, table
// names) lives in this one tree, ordered by its key bytes. Leaves hold the records; a page of
// level L > 0 holds, for each child, a whole copy of the child subtree's first record and the
// child's address. The first record of a page is always copied in its parent, also after an
// insert in front of the whole tree or the removal of a page's first record.
//
// Changes are made in memory through the page store; the caller ends the update with
// PageStore::Commit (or Abort).
//
// The tree remembers the last two paths it walked from the root to a leaf. A later search for a
// key that lies within one of those leaves (between its first and last record, or beyond them
// when the leaf is the first or last of the whole tree) starts there instead of at the root;
// scans and repeated lookups in one region then cost a binary search in one page. A remembered
// path is used only while the page store's epoch is the one at which it was taken.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "runtime/data/isam/page_store.h"

namespace cinevo::isam {

// A test a forward scan applies to the records it steps over (BTree::After): a record for which
// `skip(context, record)` is true is passed by without being given, and counted in `skipped`.
struct RecordScreen {
  bool (*skip)(const void* context, RecordView record) = nullptr;
  const void* context = nullptr;
  uint64_t skipped = 0;
};

class BTree {
 public:
  explicit BTree(PageStore& store) : store_(store) {}

  // Lookups: `found` tells whether a record was found; `out` receives it.
  Status Find(std::string_view key, Record& out, bool& found);           // key equal
  // Key equal; only the bytes after the key are appended to `out`.
  Status AppendPayload(std::string_view key, std::string& out, bool& found);
  Status AtOrAfter(std::string_view key, Record& out, bool& found);      // first >= key
  Status AtOrBefore(std::string_view key, Record& out, bool& found);     // last <= key
  Status After(std::string_view key, Record& out, bool& found,           // first > key
               RecordScreen* screen = nullptr);                         // ... that `screen` keeps
  Status Before(std::string_view key, Record& out, bool& found);         // last < key

  // Inserts a record; when one with the same key exists nothing changes and `existed` is set.
  Status Insert(const Record& record, bool& existed);
  // Replaces the record with the same key (its payload may change length).
  Status Replace(const Record& record, bool& found);
  Status Erase(std::string_view key, bool& found);

  // Levels from the root to the leaves (0 for an empty tree).
  Status Height(int& height);

  // Walks the whole tree and checks its rules (see invariant.h) as they stand in memory,
  // uncommitted changes included: every page's own rules; a child one level below its parent;
  // a parent's record for a child equal to the child's first record; the keys of each subtree
  // between its own record and the next one of its parent; every remembered path that is
  // still valid leading from page to child; and the page cache's rules. Errors are those of
  // loading pages. Without invariant checks nothing is walked.
  Status CheckInvariants();

 private:
  struct Step {
    PageRef page;
    int index;  // record chosen in this page (-1 in a leaf when every key is greater)
  };
  using Path = std::vector<Step>;

  struct Hint {
    Path path;
    uint64_t epoch = 0;
    uint64_t used = 0;  // when it was last taken or made; the oldest is replaced
    // Fixed while the epoch holds: whether the leaf is the first of the tree, and the level
    // whose next record bounds the leaf's keys from above (-1: the leaf is the last).
    bool first_leaf = false;
    int bound_level = -1;
  };
  static constexpr size_t kHints = 2;

  Status LoadAt(size_t depth, uint32_t address, PageRef& out, Page* parent = nullptr, size_t index = 0);
  Status Descend(std::string_view key, Path& path);
  bool DescendFromHint(std::string_view key, Path& path, bool latest_only);
  bool ExactMatch(std::string_view key) const;
  bool ScanAt(std::string_view key);
  Status EdgeRecord(uint32_t address, uint8_t level, bool first, Record& out);
  Status StepAcross(const Path& path, bool forward, Record& out, bool& found);
  Status StepAlong(Path& path, bool& moved);
  // An error (check 9) when `out`, found by a step from `from`, does not lie beyond it.
  Status MovedOn(std::string_view from, Record& out, bool& found, bool forward);
  size_t PropagateFirst(Path& path, size_t level_index);
  Status FixSizes(Path& path, size_t deepest, size_t changed_top);
  Status Split(PageRef page, PageRef parent, size_t index, int depth);
  Status CheckSubtree(uint32_t address, int level, std::string_view low, std::string_view high, int depth);
  void CheckPath(const Path& path) const;

  PageStore& store_;
  Hint hints_[kHints];
  uint64_t hint_clock_ = 0;
  static constexpr uint32_t kHintMissesBeforeLatestOnly = 4;
  uint32_t hint_misses_ = 0;  // descents in a row that no remembered leaf served
  uint32_t hint_tries_ = 0;   // descents since then, to try both leaves at every eighth
  Path path_;  // scratch path of the operation in progress
  // The epoch at which `path_` was last filled by a descent (0: it was not, or the descent failed).
  uint64_t path_epoch_ = 0;
  // The path to the record After() last gave, and the epoch it belongs to, so that a scan goes on
  // from there while other lookups (the data record of a key entry) use `path_`.
  Path scan_;
  uint64_t scan_epoch_ = 0;
};

}  // namespace cinevo::isam
