#include "tools/tvx/tvx_import.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_file.h"
#include "tools/tvx/tvx_json.h"
#include "tools/tvx/tvx_table.h"

namespace cinevo::tvx {
namespace {

// One CSV record from `text` at `at` (quotes may hold commas and line breaks). False at the end.
bool CsvRow(const std::string& text, size_t& at, std::vector<std::string>& cells, bool& bad_quote) {
  cells.clear();
  bad_quote = false;
  if (at >= text.size()) return false;
  std::string cell;
  bool quoted = false, was_quoted = false;
  while (at < text.size()) {
    char c = text[at++];
    if (quoted) {
      if (c == '"') {
        if (at < text.size() && text[at] == '"') {
          cell += '"';
          ++at;
        } else {
          quoted = false;
        }
      } else {
        cell += c;
      }
    } else if (c == '"' && cell.empty() && !was_quoted) {
      quoted = was_quoted = true;
    } else if (c == ',') {
      cells.push_back(std::move(cell));
      cell.clear();
      was_quoted = false;
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && at < text.size() && text[at] == '\n') ++at;
      break;
    } else {
      cell += c;
    }
  }
  if (quoted) bad_quote = true;
  cells.push_back(std::move(cell));
  return true;
}

struct Row {
  size_t line;
  std::vector<std::pair<int, std::string>> values;  // field index, text
};

bool ReadCsv(const std::string& text, const isam::TableDeclaration& d, std::vector<Row>& rows, std::string& error) {
  size_t at = 0, line = 1;
  std::vector<std::string> cells;
  bool bad = false;
  if (!CsvRow(text, at, cells, bad) || bad) {
    error = "the first line must name the fields";
    return false;
  }
  std::vector<int> columns;
  for (const std::string& name : cells) {
    int f = FindField(d, name);
    if (f < 0) {
      error = "line 1: no field " + name;
      return false;
    }
    columns.push_back(f);
  }
  while (CsvRow(text, at, cells, bad)) {
    ++line;
    if (cells.size() == 1 && cells[0].empty() && !bad) continue;  // an empty line
    if (bad) {
      error = "line " + std::to_string(line) + ": unterminated quote";
      return false;
    }
    if (cells.size() != columns.size()) {
      error = "line " + std::to_string(line) + ": " + std::to_string(cells.size()) + " fields, expected " +
              std::to_string(columns.size());
      return false;
    }
    Row r{line, {}};
    for (size_t i = 0; i < cells.size(); ++i) r.values.emplace_back(columns[i], cells[i]);
    rows.push_back(std::move(r));
  }
  return true;
}

bool ReadJson(const std::string& text, const std::string& table, const isam::TableDeclaration& d, std::vector<Row>& rows,
              std::string& error) {
  JsonValue doc;
  if (!ParseJson(text, doc, error)) return false;
  const JsonValue* list = &doc;
  if (doc.kind == JsonValue::Kind::kObject) {
    list = nullptr;
    for (const JsonValue& v : doc.items) {
      if (v.key != "tables" || v.kind != JsonValue::Kind::kArray) continue;
      for (const JsonValue& t : v.items) {
        if (t.kind != JsonValue::Kind::kObject) continue;
        for (const JsonValue& tv : t.items) {
          if (tv.key == "name" && ScalarText(tv) == table) {
            for (const JsonValue& rv : t.items) {
              if (rv.key == "records") list = &rv;
            }
          }
        }
      }
    }
    if (!list) {
      error = "the document holds no records of table " + table;
      return false;
    }
  }
  if (list->kind != JsonValue::Kind::kArray) {
    error = "expected an array of records";
    return false;
  }
  size_t n = 0;
  for (const JsonValue& item : list->items) {
    ++n;
    const JsonValue* values = &item;
    if (item.kind == JsonValue::Kind::kObject) {
      for (const JsonValue& v : item.items) {
        if (v.key == "values") values = &v;
      }
    }
    if (values->kind != JsonValue::Kind::kObject) {
      error = "record " + std::to_string(n) + ": not an object of field values";
      return false;
    }
    Row r{n, {}};
    for (const JsonValue& v : values->items) {
      const std::string& k = v.key;
      int f = FindField(d, k);
      if (f < 0) {
        error = "record " + std::to_string(n) + ": no field " + k;
        return false;
      }
      if (v.kind == JsonValue::Kind::kArray || v.kind == JsonValue::Kind::kObject) {
        error = "record " + std::to_string(n) + ": field " + k + " is not a single value";
        return false;
      }
      r.values.emplace_back(f, ScalarText(v));
    }
    rows.push_back(std::move(r));
  }
  return true;
}

}  // namespace

int RunImport(int argc, char** argv, std::FILE* out, std::FILE* err) {
  if (argc != 3 || (std::string(argv[1]) != "--csv" && std::string(argv[1]) != "--json")) {
    std::fprintf(err, "usage: tvx import FILE --csv|--json SOURCE   (SOURCE - reads standard input)\n");
    return 2;
  }
  bool csv = std::string(argv[1]) == "--csv";
  std::string text;
  if (std::string(argv[2]) == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), {});
  } else {
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
      std::fprintf(err, "tvx import: cannot read %s\n", argv[2]);
      return 2;
    }
    text.assign(std::istreambuf_iterator<char>(in), {});
  }
  // Exclusive access to the file for the whole import: nobody changes it meanwhile.
  ToolTable original;
  std::string error;
  if (OpenToolTable(argv[0], true, original, error) != 0) {
    std::fprintf(err, "tvx import: %s\n", error.c_str());
    return 2;
  }
  std::vector<Row> rows;
  bool ok = csv ? ReadCsv(text, original.stored, rows, error) : ReadJson(text, original.table, original.stored, rows, error);
  // Every row into a record image first: a bad value stops the import before anything is written.
  std::vector<std::vector<uint8_t>> images;
  for (size_t i = 0; ok && i < rows.size(); ++i) {
    std::vector<uint8_t> rec(original.stored.record_length, 0);
    for (const isam::StreamField& f : original.stored.fields) {
      if (f.type == 18 && size_t{f.offset} + f.length <= rec.size()) std::fill_n(rec.begin() + f.offset, f.length, ' ');
    }
    for (const auto& [field, value] : rows[i].values) {
      const isam::StreamField& f = original.stored.fields[static_cast<size_t>(field)];
      std::string why;
      if (!ParseField(f, value, rec.data(), rec.size(), why)) {
        error = (csv ? "line " : "record ") + std::to_string(rows[i].line) + ", " + f.name.value_or("") + ": " + why;
        ok = false;
        break;
      }
    }
    images.push_back(std::move(rec));
  }
  if (!ok) {
    std::fprintf(err, "tvx import: %s: %s; nothing imported\n", argv[2], error.c_str());
    return 2;
  }
  isam::FileName fn = isam::SplitFileName(argv[0]);
  std::string path = isam::ResolvePhysicalPath(fn.physical);
  std::string work = path + ".import-" + std::to_string(::getpid());
  std::error_code ec;
  std::filesystem::copy_file(path, work, std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) {
    std::fprintf(err, "tvx import: cannot copy %s: %s; nothing imported\n", path.c_str(), ec.message().c_str());
    return 2;
  }
  int failed_at = -1, code = 0;
  {
    ToolTable copy;
    if (OpenToolTable(work + "\\!" + fn.table, true, copy, error) != 0) {
      std::filesystem::remove(work, ec);
      std::fprintf(err, "tvx import: %s; nothing imported\n", error.c_str());
      return 2;
    }
    code = Stream(*copy.fcb);
    for (size_t i = 0; code == 0 && i < images.size(); ++i) {
      std::copy(images[i].begin(), images[i].end(), copy.fcb->record.begin());
      code = Add(*copy.fcb);
      if (code != 0) failed_at = static_cast<int>(i);
    }
    if (code == 0) code = Flush(*copy.fcb);
    if (code == 0) code = Close(*copy.fcb);
  }
  if (code != 0) {
    std::filesystem::remove(work, ec);
    std::string where = failed_at >= 0 ? (csv ? " at line " : " at record ") + std::to_string(rows[static_cast<size_t>(failed_at)].line) : "";
    std::fprintf(err, "tvx import: %s%s: %s (error %d); nothing imported\n", argv[2], where.c_str(),
                 code == 40 ? "creates a duplicate key" : "adding failed", code);
    return code == 40 ? 1 : 2;
  }
  Close(*original.fcb);
  std::filesystem::rename(work, path, ec);
  if (ec) {
    std::filesystem::remove(work, ec);
    std::fprintf(err, "tvx import: cannot replace %s; nothing imported\n", path.c_str());
    return 2;
  }
  std::fprintf(out, "%s: %zu records imported\n", path.c_str(), images.size());
  return 0;
}

}  // namespace cinevo::tvx
