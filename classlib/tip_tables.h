// The frame toolbar's tip tables.
//
// A tip table is stored packed: one byte with the number of entries, then per entry the toolbar
// button's number as a 16-bit little-endian word, one byte with the tip's length and the tip's
// bytes. There are no terminators and no filler bytes. A target of the frame toolbar walks its
// table and gives each listed button its tip (toolbar.h).
#pragma once

#include <string_view>
#include <vector>

namespace cinevo::classlib {

class ManagedWindow;

// The four tables: an update form inserting, an update form changing, a relation tree, a browse.
extern const std::string_view kFormInsertTips;
extern const std::string_view kFormChangeTips;
extern const std::string_view kTreeTips;
extern const std::string_view kBrowseTips;

struct TipEntry {
  int button = 0;
  std::string_view text;  // refers into the table
  friend bool operator==(const TipEntry&, const TipEntry&) = default;
};

// The entries of a packed table, in stored order. A table that ends inside an entry, or that
// has bytes after its last entry, is malformed: the result then holds the entries read before
// the fault and `complete` (when given) is set to false.
std::vector<TipEntry> ReadTipTable(std::string_view table, bool* complete = nullptr);

// Gives every button listed in `table` its tip (control property 7CA0h).
void SetTips(ManagedWindow& window, std::string_view table);

}  // namespace cinevo::classlib
