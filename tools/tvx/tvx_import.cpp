#include "tools/tvx/tvx_import.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/core/error_codes.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/isam_file.h"
#include "runtime/data/isam/transaction.h"
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

// Where a value goes: one element of a field, or a memo (BLOB values are hexadecimal bytes).
struct Target {
  int field = -1;
  uint16_t element = 0;
  int memo = -1;
};

struct Row {
  size_t line;
  std::vector<std::pair<Target, std::string>> values;
  std::string buffer;  // the record's bytes as exported, when given and usable
};

int FindMemo(const isam::TableDeclaration& d, std::string_view name) {
  for (size_t m = 0; m < d.memos.size(); ++m) {
    isam::TableDeclaration one;
    isam::StreamField f;
    f.name = d.memos[m].name;
    one.fields.push_back(f);
    if (FindField(one, name) == 0) return static_cast<int>(m);
  }
  return -1;
}

// A column or member name: a field ("LABEL", the first element of one with DIM), an element
// ("LABEL[2]"), or a memo.
bool ResolveName(const isam::TableDeclaration& d, const std::string& name, Target& t, std::string& error) {
  t = Target{};
  std::string base = name;
  uint16_t element = 0;
  if (size_t open = name.find('['); open != std::string::npos && name.back() == ']') {
    base = name.substr(0, open);
    std::string index = name.substr(open + 1, name.size() - open - 2);
    unsigned long n = index.empty() || index.find_first_not_of("0123456789") != std::string::npos
                          ? 0 : std::strtoul(index.c_str(), nullptr, 10);
    int f = FindField(d, base);
    if (f < 0 || n < 1 || n > std::max<uint16_t>(d.fields[static_cast<size_t>(f)].elements, 1)) {
      error = "no element " + name;
      return false;
    }
    element = static_cast<uint16_t>(n - 1);
  }
  t.field = FindField(d, base);
  t.element = element;
  if (t.field < 0 && base == name) t.memo = FindMemo(d, name);
  if (t.field < 0 && t.memo < 0) {
    error = "no field " + name;
    return false;
  }
  return true;
}

bool ReadCsv(const std::string& text, const isam::TableDeclaration& d, std::vector<Row>& rows, std::string& error) {
  size_t at = 0, line = 1;
  std::vector<std::string> cells;
  bool bad = false;
  if (!CsvRow(text, at, cells, bad) || bad) {
    error = "the first line must name the fields";
    return false;
  }
  std::vector<Target> columns;
  for (const std::string& name : cells) {
    Target t;
    if (!ResolveName(d, name, t, error)) {
      error = "line 1: " + error;
      return false;
    }
    columns.push_back(t);
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
    Row r{line, {}, {}};
    for (size_t i = 0; i < cells.size(); ++i) r.values.emplace_back(columns[i], cells[i]);
    rows.push_back(std::move(r));
  }
  return true;
}

const JsonValue* Member(const JsonValue& object, std::string_view key) {
  for (const JsonValue& v : object.items) {
    if (v.key == key) return &v;
  }
  return nullptr;
}

// Whether the fields an exported table declares are laid out as `d`'s: then its records'
// exported bytes can be taken as they are.
bool SameLayout(const JsonValue* fields, const isam::TableDeclaration& d) {
  if (!fields || fields->kind != JsonValue::Kind::kArray || fields->items.size() != d.fields.size()) return false;
  for (size_t i = 0; i < d.fields.size(); ++i) {
    const JsonValue& jf = fields->items[i];
    const isam::StreamField& f = d.fields[i];
    auto number = [&](std::string_view key, long expected) {
      const JsonValue* v = Member(jf, key);
      return v ? ScalarText(*v) == std::to_string(expected) : expected == 1 && key == "elements";
    };
    const JsonValue* name = Member(jf, "name");
    if (!name || ScalarText(*name) != f.name.value_or("") || !number("type_code", f.type) || !number("offset", f.offset) ||
        !number("length", f.length) || !number("elements", f.elements)) {
      return false;
    }
  }
  return true;
}

bool FromHex(std::string_view hex, std::string& out) {
  out.clear();
  if (hex.size() % 2) return false;
  for (size_t i = 0; i < hex.size(); i += 2) {
    unsigned v = 0;
    auto r = std::from_chars(hex.data() + i, hex.data() + i + 2, v, 16);
    if (r.ec != std::errc() || r.ptr != hex.data() + i + 2) return false;
    out.push_back(static_cast<char>(v));
  }
  return true;
}

bool ReadJsonValue(const isam::TableDeclaration& d, const std::string& name, const JsonValue& v, Row& r,
                   std::string& error) {
  Target t;
  if (!ResolveName(d, name, t, error)) return false;
  if (v.kind == JsonValue::Kind::kObject) {
    error = "field " + name + " is not a value";
    return false;
  }
  if (v.kind != JsonValue::Kind::kArray) {
    r.values.emplace_back(t, ScalarText(v));
    return true;
  }
  if (t.field < 0 || name.find('[') != std::string::npos ||
      v.items.size() > std::max<uint16_t>(d.fields[static_cast<size_t>(t.field)].elements, 1)) {
    error = "field " + name + ": more values than elements";
    return false;
  }
  for (size_t e = 0; e < v.items.size(); ++e) {
    if (v.items[e].kind == JsonValue::Kind::kArray || v.items[e].kind == JsonValue::Kind::kObject) {
      error = "field " + name + ": element " + std::to_string(e + 1) + " is not a single value";
      return false;
    }
    r.values.emplace_back(Target{t.field, static_cast<uint16_t>(e), -1}, ScalarText(v.items[e]));
  }
  return true;
}

// The document's records of `table` (or the array itself), and the transaction marker of a
// whole exported document.
bool ReadJson(const std::string& text, const std::string& table, const isam::TableDeclaration& d, std::vector<Row>& rows,
              const JsonValue** marker, JsonValue& doc, std::string& error) {
  if (!ParseJson(text, doc, error)) return false;
  const JsonValue* list = &doc;
  const JsonValue* layout = nullptr;
  if (doc.kind == JsonValue::Kind::kObject) {
    list = nullptr;
    *marker = Member(doc, "transaction_marker");
    const JsonValue* tables = Member(doc, "tables");
    for (const JsonValue& t : tables && tables->kind == JsonValue::Kind::kArray ? tables->items : doc.items) {
      if (t.kind != JsonValue::Kind::kObject) continue;
      const JsonValue* name = Member(t, "name");
      if (!name || ScalarText(*name) != table) continue;
      list = Member(t, "records");
      layout = Member(t, "fields");
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
  bool same_layout = SameLayout(layout, d);
  size_t n = 0;
  for (const JsonValue& item : list->items) {
    ++n;
    auto fail = [&](const std::string& why) {
      error = "record " + std::to_string(n) + ": " + why;
      return false;
    };
    if (item.kind != JsonValue::Kind::kObject) return fail("not an object of field values");
    const JsonValue* values = Member(item, "values");
    Row r{n, {}, {}};
    if (!values) {
      values = &item;  // an object of field values itself
    } else {
      if (values->kind != JsonValue::Kind::kObject) return fail("\"values\" is not an object of field values");
      const JsonValue* memos = Member(item, "memos");
      if (memos && memos->kind != JsonValue::Kind::kObject) return fail("\"memos\" is not an object");
      for (const JsonValue& m : memos ? memos->items : std::vector<JsonValue>{}) {
        int index = FindMemo(d, m.key);
        if (index < 0) return fail("no memo " + m.key);
        if (m.kind == JsonValue::Kind::kArray || m.kind == JsonValue::Kind::kObject) return fail("memo " + m.key + " is not a text");
        r.values.emplace_back(Target{-1, 0, index}, ScalarText(m));
      }
      const JsonValue* buffer = Member(item, "buffer_hex");
      if (buffer && same_layout && (!FromHex(ScalarText(*buffer), r.buffer) || r.buffer.size() != d.record_length)) {
        return fail("\"buffer_hex\" is not the record's bytes");
      }
    }
    for (const JsonValue& v : values->items) {
      std::string why;
      if (!ReadJsonValue(d, v.key, v, r, why)) return fail(why);
    }
    rows.push_back(std::move(r));
  }
  return true;
}

// The transaction marker of an exported document goes into a file that has none; a file with
// a marker of its own keeps it (it names the file's own last transaction).
int CarryMarker(const std::string& path, const JsonValue& marker, std::FILE* out, std::FILE* err) {
  const JsonValue* number = marker.kind == JsonValue::Kind::kObject ? Member(marker, "transaction") : nullptr;
  const JsonValue* control = marker.kind == JsonValue::Kind::kObject ? Member(marker, "control_file") : nullptr;
  std::string bytes;
  if (!number || !control || !FromHex(ScalarText(*number), bytes) || bytes.size() != 4) {
    std::fprintf(err, "tvx import: %s: the document's transaction marker is not readable; not carried\n", path.c_str());
    return 2;
  }
  FileHold hold;
  std::string error;
  if (!hold.Take(path, kToolWaitMs, error)) {
    std::fprintf(err, "tvx import: %s; the transaction marker is not carried\n", error.c_str());
    return 2;
  }
  std::unique_ptr<isam::IsamFile> file;
  isam::PageStoreOptions options = isam::IsamStoreDefaults();
  isam::Status st = isam::IsamFile::Open(path, options, file);
  uint32_t had = 0;
  std::string had_control;
  bool found = false;
  if (st.ok()) st = isam::ReadMarker(file->store(), had, had_control, found);
  uint32_t wanted = isam::GetBe32(reinterpret_cast<const uint8_t*>(bytes.data()));
  if (st.ok() && found) {
    if (had != wanted || had_control != ScalarText(*control)) {
      std::fprintf(out, "%s: keeps its own transaction marker (the document's is not carried)\n", path.c_str());
    }
    return 0;
  }
  bool existed = false;
  if (st.ok()) st = file->tree().Insert(isam::MarkerRecord(wanted, ScalarText(*control)), existed);
  if (st.ok()) st = file->store().Commit();
  if (!st.ok()) {
    if (file) file->store().Abort();
    std::fprintf(err, "tvx import: %s: the transaction marker could not be written: %s (error %d)\n", path.c_str(),
                 st.detail.c_str(), st.code);
    return 2;
  }
  std::fprintf(out, "%s: transaction marker carried\n", path.c_str());
  return 0;
}

}  // namespace

int RunImport(int argc, char** argv, std::FILE* out, std::FILE* err) {
  if (argc != 3 || (std::string(argv[1]) != "--csv" && std::string(argv[1]) != "--json")) {
    std::fprintf(err, "usage: tvx import FILE --csv|--json SOURCE   (SOURCE - reads standard input)\n");
    return 2;
  }
  bool csv = std::string(argv[1]) == "--csv";
  std::string text, error;
  if (!ReadSource(argv[2], text, error)) {
    std::fprintf(err, "tvx import: %s; nothing imported\n", error.c_str());
    return 2;
  }
  ToolTable original;
  if (OpenToolTable(argv[0], true, original, error) != 0) {
    std::fprintf(err, "tvx import: %s\n", error.c_str());
    return 2;
  }
  const isam::TableDeclaration& d = original.stored;
  std::vector<Row> rows;
  JsonValue doc;
  const JsonValue* marker = nullptr;
  bool ok = csv ? ReadCsv(text, d, rows, error) : ReadJson(text, original.table, d, rows, &marker, doc, error);
  // Every row into a record image and its memos first: a bad value stops the import before
  // anything is written.
  struct Image {
    std::vector<uint8_t> record;
    std::vector<std::string> memos;
  };
  std::vector<Image> images;
  for (size_t i = 0; ok && i < rows.size(); ++i) {
    Image image{BlankRecord(d), std::vector<std::string>(d.memos.size())};
    std::vector<uint8_t>& rec = image.record;
    // Exported bytes first, so that what the values do not show (bytes after a CSTRING's end,
    // say) comes back too; a value then changes only what it says differently.
    bool exact = !rows[i].buffer.empty();
    if (exact) rec.assign(rows[i].buffer.begin(), rows[i].buffer.end());
    for (const auto& [target, value] : rows[i].values) {
      std::string why, name;
      if (target.memo >= 0) {
        const isam::StreamMemo& m = d.memos[static_cast<size_t>(target.memo)];
        name = m.name.value_or("");
        std::string& content = image.memos[static_cast<size_t>(target.memo)];
        if (m.flags & kMemoBlob) {
          if (!FromHex(value, content)) why = "a BLOB is given as hexadecimal bytes";
        } else if (m.max_size > 0 && value.size() > m.max_size) {
          why = "text of " + std::to_string(value.size()) + " bytes, the memo holds " + std::to_string(m.max_size);
        } else {
          content = value;
        }
      } else {
        const isam::StreamField& f = d.fields[static_cast<size_t>(target.field)];
        name = f.name.value_or("");
        if (f.elements > 1) name += "[" + std::to_string(target.element + 1) + "]";
        if (!(exact && FieldText(f, rec.data(), rec.size(), target.element) == value)) {
          // A value that does not fit leaves its reason in `why`.
          static_cast<void>(ParseField(f, value, rec.data(), rec.size(), why, target.element));
        }
      }
      if (!why.empty()) {
        error = (csv ? "line " : "record ") + std::to_string(rows[i].line) + ", " + name + ": " + why;
        ok = false;
        break;
      }
    }
    images.push_back(std::move(image));
  }
  if (!ok) {
    std::fprintf(err, "tvx import: %s: %s; nothing imported\n", argv[2], error.c_str());
    return 2;
  }
  // The records go in through the driver as one transaction: LOGOUT holds the file's update
  // lock until COMMIT, so no other program changes the file in between, and nothing is on disk
  // unless every record is.
  isam::FileName fn = isam::SplitFileName(argv[0]);
  std::string path = isam::ResolvePhysicalPath(fn.physical);
  FileControlBlock* files[] = {original.fcb.get()};
  int code = Logout(kToolWaitMs / 1000, files);
  if (code != 0) {
    std::fprintf(err, "tvx import: %s: %s (error %d); nothing imported\n", path.c_str(),
                 code == 32 ? "being changed by another program; try again later" : "cannot start the import", code);
    return 2;
  }
  int failed_at = -1;
  for (size_t i = 0; code == 0 && i < images.size(); ++i) {
    std::copy(images[i].record.begin(), images[i].record.end(), original.fcb->record.begin());
    for (size_t m = 0; code == 0 && m < d.memos.size(); ++m) {
      code = SetProperty(*original.fcb, isam::kBlobPropContents, images[i].memos[m], -static_cast<int32_t>(m + 1));
    }
    if (code == 0) code = Add(*original.fcb);
    if (code != 0) failed_at = static_cast<int>(i);
  }
  if (code != 0) {
    Rollback(files);
    std::string where = failed_at >= 0 ? (csv ? " at line " : " at record ") + std::to_string(rows[static_cast<size_t>(failed_at)].line) : "";
    std::fprintf(err, "tvx import: %s%s: %s (error %d); nothing imported\n", argv[2], where.c_str(),
                 code == kErrCreatesDuplicateKey ? "creates a duplicate key" : "adding failed", code);
    return code == kErrCreatesDuplicateKey ? 1 : 2;
  }
  code = Commit(files);
  if (code != 0) {
    std::fprintf(err, "tvx import: %s: the changes could not be written (error %d); nothing imported\n", path.c_str(), code);
    return 2;
  }
  if ((code = Close(*original.fcb)) != 0) {
    std::fprintf(err, "tvx import: %s: closing failed (error %d)\n", path.c_str(), code);
    return 2;
  }
  std::fprintf(out, "%s: %zu records imported\n", path.c_str(), images.size());
  if (marker) return CarryMarker(path, *marker, out, err);
  return 0;
}

}  // namespace cinevo::tvx
