// The consistency walk over a whole data file: every page and every record is read and each
// rule of the format is checked; the figures that `tvx info` shows are gathered on the way.
// The walk only reads.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "runtime/data/isam/declaration_stream.h"
#include "runtime/data/isam/page_store.h"

namespace cinevo::isam {

struct Violation {
  int check = 0;      // the consistency check number
  std::string where;  // "header", "page 12", "table 1", ...
  std::string text;
};

struct TableSummary {
  std::string name;
  uint32_t number = 0;
  bool has_declaration = false;
  TableDeclaration declaration;
  uint64_t data_records = 0;
  uint64_t memo_chunks = 0;
  std::map<int, uint64_t> key_entries;       // by key number
  std::map<int, uint32_t> counters;          // stored entry counts: key number, or 0xF3 for data
};

struct FileSummary {
  int height = 0;
  uint64_t pages = 0;
  uint64_t records = 0;                      // leaf records
  uint64_t stored_bytes = 0;                 // sum of stored sizes
  uint64_t unpacked_bytes = 0;               // sum of unpacked sizes
  uint64_t compressed_pages = 0;
  std::array<uint64_t, 60> pages_per_class{};
  std::map<std::string, uint64_t> records_per_kind;
  std::vector<TableSummary> tables;
};

// Walks the file. Returns a non-ok status only when the walk itself could not start (the
// header); everything found in the pages is reported as violations.
Status CheckFormat(PageStore& store, std::vector<Violation>& violations, FileSummary& summary);

}  // namespace cinevo::isam
