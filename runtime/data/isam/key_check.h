// Cross-check of a data file's keys and counters against its data records: every key entry
// must be the entry that its record makes (value, record number and payload), every record
// must have its entry in every key that holds it, and every counters record must hold the
// number of records or entries that are there.
//
// Keys whose record-number mark is set hold only the records below the mark; a key that holds
// no entry at all while the table has records is taken as not built yet (an index built on
// demand) and noted, not counted as a fault. Entries that encode a negative zero apart from
// zero, as some writers did, are accepted.
#pragma once

#include <string>
#include <vector>

#include "runtime/data/isam/isam_file.h"

namespace cinevo::isam {

struct KeyProblem {
  std::string where;  // "table UNNAMED key 1 (GRU:KEY)" ...
  std::string text;
};

struct KeyCheckResult {
  std::vector<KeyProblem> problems;
  std::vector<std::string> notes;  // keys not built, ...
  uint64_t entries_checked = 0;
};

Status CrossCheckKeys(IsamFile& file, KeyCheckResult& out);

}  // namespace cinevo::isam
