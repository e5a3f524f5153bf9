// A physical data file with its tables: file names, table names and numbers, the declaration
// stream of each table, and the OPEN and CREATE checks.
//
// A file name "PHYSICAL\!TABLE" addresses the table TABLE (upper-cased) inside PHYSICAL; the
// separator is looked for from the left and accepted only where the text before it is not an
// existing directory. A name without it addresses the table "UNNAMED". A physical name without
// an extension gets ".TVX", and a name that does not exist exactly is looked up again without
// regard to case.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/isam/btree.h"
#include "runtime/data/isam/declaration_stream.h"
#include "runtime/data/isam/page_store.h"

namespace cinevo::isam {

inline constexpr std::string_view kUnnamedTable = "UNNAMED";
inline constexpr std::string_view kDefaultExtension = ".TVX";

struct FileName {
  std::string physical;  // as given, before any extension or case resolution
  std::string table;     // upper case
};
FileName SplitFileName(std::string_view name);

// The physical path to use: ".TVX" added when the last component has no extension, then an
// existing entry of the directory matched without regard to case when the exact name is absent.
std::string ResolvePhysicalPath(std::string_view physical);

struct TableInfo {
  std::string name;
  uint32_t number = 0;
};

// 47 with a clear detail when the tree could not hold the table's records: a data record of
// 9 + record length bytes, or a key entry, longer than kMaxTreeRecord.
Status CheckTableLimits(const TableDeclaration& decl);

class IsamFile {
 public:
  static Status Open(const std::string& path, const PageStoreOptions& options, std::unique_ptr<IsamFile>& out);
  static Status Create(const std::string& path, const PageStoreOptions& options, std::unique_ptr<IsamFile>& out);

  PageStore& store() { return *store_; }
  BTree& tree() { return tree_; }

  Status ListTables(std::vector<TableInfo>& out);
  Status FindTable(std::string_view upper_name, uint32_t& number, bool& found);
  // Reads the declaration blocks by number (0, 1, 2, ... until one is missing) and parses them.
  Status ReadDeclaration(uint32_t table, TableDeclaration& out);
  Status ReadCounters(uint32_t table, uint8_t which, uint32_t& entries, uint32_t& mark, bool& found);
  // Adds a table: its name record, declaration blocks and counters records; commits.
  Status AddTable(std::string_view upper_name, const TableDeclaration& decl, uint32_t& number);
  // Removes every record of a table and its name; commits.
  Status RemoveTable(std::string_view upper_name, uint32_t number);

 private:
  explicit IsamFile(std::unique_ptr<PageStore> store) : store_(std::move(store)), tree_(*store_) {}
  std::unique_ptr<PageStore> store_;
  BTree tree_;
};

struct OpenedTable {
  std::unique_ptr<IsamFile> file;
  uint32_t number = 0;
  std::string table;
  TableDeclaration declaration;  // the stored one (taken over when the program has none)
};

// OPEN: 2 when the physical file or the table is missing, 36 for a file that is not a data
// file, 47 when `program` (may be null: take the stored declaration) differs from the stored
// declaration or the table's records could not be held.
Status OpenTable(std::string_view name, const TableDeclaration* program, const PageStoreOptions& options,
                 OpenedTable& out);

// CREATE: makes the physical file when missing (a file holding only the addressed table is
// made anew) and writes the table's declaration.
Status CreateTable(std::string_view name, const TableDeclaration& program, const PageStoreOptions& options,
                   OpenedTable& out);

}  // namespace cinevo::isam
