// `tvx export FILE [--json|--csv] [--table NAME]`: every table of a data file as one JSON
// document (declarations, every record in file order with its values, buffer and memos, and
// the record numbers in each key's order), or one table's records as CSV with a header line
// of field names. A field with DIM is an array of its elements in JSON and a column per
// element in CSV ("LABEL[i]"); memos and BLOBs are CSV columns of their own; BLOBs are
// hexadecimal bytes in both. The JSON ends with the file's transaction marker when it has one
// (the transaction number as the hex of its stored bytes and the control file's name). Each
// table is read as one committed state. Never writes.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "tools/tvx/tvx_table.h"

namespace cinevo::tvx {

int RunExport(int argc, char** argv, std::FILE* out, std::FILE* err);

// Reads the table's records in file order (key < 0) or in the key's order, with their memos
// (MEMO as text, BLOB as bytes). Returns 0 or the driver's error code.
int ForEachRecord(ToolTable& t, int key,
                  const std::function<void(uint32_t recno, const std::vector<uint8_t>& record,
                                           const std::vector<std::string>& memos)>& visit);

// CSV line of the texts (quoted where needed).
std::string CsvLine(const std::vector<std::string>& cells);
// A table's CSV columns: each field (a field with DIM as one column per element, "LABEL[i]"),
// then each memo (a BLOB as hexadecimal bytes); and one record's cells in that order.
std::vector<std::string> CsvHeader(const isam::TableDeclaration& d);
std::vector<std::string> CsvCells(const isam::TableDeclaration& d, const std::vector<uint8_t>& record,
                                  const std::vector<std::string>& memos);

}  // namespace cinevo::tvx
