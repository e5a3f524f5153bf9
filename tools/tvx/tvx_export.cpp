#include "tools/tvx/tvx_export.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

#include "runtime/core/error_codes.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_file.h"
#include "runtime/data/isam/record_kinds.h"
#include "tools/tvx/tvx_create.h"
#include "tools/tvx/tvx_json.h"

namespace cinevo::tvx {
namespace {

JsonValue Num(int64_t v) { return JsonValue::Raw(std::to_string(v)); }
JsonValue Str(std::string_view s) { return JsonValue::Raw(JsonString(s)); }

JsonValue TableJson(ToolTable& t, int& error) {
  const isam::TableDeclaration& d = t.stored;
  JsonValue table = JsonValue::Object();
  table.Add("name", Str(t.table));
  table.Add("table_number", Num(t.number));
  table.Add("version", Num(d.version));
  table.Add("record_length", Num(d.record_length));
  JsonValue& fields = table.Add("fields", JsonValue::Array());
  for (const isam::StreamField& f : d.fields) {
    JsonValue& jf = fields.Push(JsonValue::Object());
    jf.Add("name", Str(f.name.value_or("")));
    jf.Add("type", Str(FieldTypeName(f.type)));
    jf.Add("type_code", Num(f.type));
    jf.Add("offset", Num(f.offset));
    jf.Add("length", Num(f.length));
    if (f.type == 10 || f.type == 11) {
      jf.Add("digits", Num(f.digits));
      jf.Add("places", Num(f.places));
    }
    if (f.type == 18 || f.type == 19 || f.type == 20) {
      jf.Add("declared_length", Num(f.declared_length));
      if (f.picture) jf.Add("picture", Str(*f.picture));
    }
    if (f.elements > 1) jf.Add("elements", Num(f.elements));
  }
  JsonValue& memos = table.Add("memos", JsonValue::Array());
  for (const isam::StreamMemo& m : d.memos) {
    JsonValue& jm = memos.Push(JsonValue::Object());
    jm.Add("name", Str(m.name.value_or("")));
    jm.Add("kind", Str((m.flags & 0x04) ? "BLOB" : "MEMO"));
    jm.Add("max_size", Num(m.max_size));
    jm.Add("flags", Num(m.flags));
  }
  JsonValue& keys = table.Add("keys", JsonValue::Array());
  for (const isam::StreamKey& k : d.keys) {
    JsonValue& jk = keys.Push(JsonValue::Object());
    jk.Add("name", Str(k.name.value_or("")));
    jk.Add("flags", Num(k.flags));
    JsonValue& comps = jk.Add("components", JsonValue::Array());
    for (const isam::StreamKeyComponent& c : k.components) {
      JsonValue& jc = comps.Push(JsonValue::Object());
      jc.Add("field", Str(c.field < d.fields.size() ? d.fields[c.field].name.value_or("") : ""));
      jc.Add("descending", JsonValue::Raw(c.descending ? "true" : "false"));
    }
  }
  JsonValue& records = table.Add("records", JsonValue::Array());
  error = ForEachRecord(t, -1, [&](uint32_t recno, const std::vector<uint8_t>& rec, const std::vector<std::string>& ms) {
    JsonValue& jr = records.Push(JsonValue::Object());
    jr.Add("record_number", Num(recno));
    JsonValue& values = jr.Add("values", JsonValue::Object());
    for (const isam::StreamField& f : d.fields) values.Add(f.name.value_or(""), JsonValue::Raw(FieldJson(f, rec.data(), rec.size())));
    jr.Add("buffer_hex", Str(Hex(std::string_view(reinterpret_cast<const char*>(rec.data()), d.record_length))));
    if (!d.memos.empty()) {
      JsonValue& jm = jr.Add("memos", JsonValue::Object());
      for (size_t m = 0; m < d.memos.size(); ++m) {
        bool blob = (d.memos[m].flags & kMemoBlob) != 0;
        jm.Add(d.memos[m].name.value_or(""), Str(blob ? Hex(ms[m]) : ms[m]));
      }
    }
  });
  if (error != 0) return table;
  JsonValue& order = table.Add("key_order", JsonValue::Object());
  for (size_t k = 0; k < d.keys.size() && error == 0; ++k) {
    JsonValue& list = order.Add(d.keys[k].name.value_or(""), JsonValue::Array());
    error = ForEachRecord(t, static_cast<int>(k), [&](uint32_t recno, const std::vector<uint8_t>&,
                                                      const std::vector<std::string>&) { list.Push(Num(recno)); });
  }
  return table;
}

// The file's transaction marker (key 0xFF), when it has one: the transaction number as the hex
// of its four stored bytes and the control file's name up to its zero byte. A marker too short
// for its number shows what bytes it has.
isam::Status AddTransactionMarker(isam::IsamFile& file, JsonValue& doc) {
  isam::Record r;
  bool found = false;
  ISAM_RETURN_IF_ERROR(file.tree().Find(std::string(1, static_cast<char>(isam::kTagTransaction)), r, found));
  if (!found) return isam::Status::Ok();
  std::string_view payload = std::string_view(r.bytes).substr(std::min<size_t>(r.key_length, r.bytes.size()));
  std::string_view number = payload.substr(0, 4);
  std::string_view control = payload.substr(number.size());
  control = control.substr(0, control.find('\0'));
  JsonValue& marker = doc.Add("transaction_marker", JsonValue::Object());
  marker.Add("transaction", Str(Hex(number)));
  marker.Add("control_file", Str(control));
  return isam::Status::Ok();
}

}  // namespace

int ForEachRecord(ToolTable& t, int key,
                  const std::function<void(uint32_t, const std::vector<uint8_t>&, const std::vector<std::string>&)>& visit) {
  FileControlBlock& f = *t.fcb;
  int e = key < 0 ? Set(f) : SetKey(f, key);
  if (e != 0) return e;
  std::vector<std::string> memos(t.stored.memos.size());
  for (;;) {
    e = Next(f);
    if (e == kErrRecordNotAvailable) return 0;
    if (e != 0) return e;
    for (size_t m = 0; m < memos.size(); ++m) {
      if (t.stored.memos[m].flags & 0x04) {
        int64_t size = BlobSize(f, static_cast<int>(m + 1));
        memos[m].assign(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
        BlobRead(f, static_cast<int>(m + 1),
                 std::span<uint8_t>(reinterpret_cast<uint8_t*>(memos[m].data()), memos[m].size()), 0);
      } else {
        memos[m] = GetProperty(f, 0x7CBF, -static_cast<int32_t>(m + 1));
      }
    }
    visit(static_cast<uint32_t>(Pointer(f)), f.record, memos);
  }
}

std::vector<std::string> CsvHeader(const isam::TableDeclaration& d) {
  std::vector<std::string> header;
  for (const isam::StreamField& f : d.fields) {
    std::string name = f.name.value_or("");
    if (f.elements <= 1) header.push_back(name);
    for (uint16_t e = 0; f.elements > 1 && e < f.elements; ++e) header.push_back(name + "[" + std::to_string(e + 1) + "]");
  }
  for (const isam::StreamMemo& m : d.memos) header.push_back(m.name.value_or(""));
  return header;
}

std::vector<std::string> CsvCells(const isam::TableDeclaration& d, const std::vector<uint8_t>& record,
                                  const std::vector<std::string>& memos) {
  std::vector<std::string> cells;
  for (const isam::StreamField& f : d.fields) {
    for (uint16_t e = 0; e < std::max<uint16_t>(f.elements, 1); ++e) cells.push_back(FieldText(f, record.data(), record.size(), e));
  }
  for (size_t m = 0; m < d.memos.size() && m < memos.size(); ++m) {
    cells.push_back((d.memos[m].flags & kMemoBlob) ? Hex(memos[m]) : memos[m]);
  }
  return cells;
}

std::string CsvLine(const std::vector<std::string>& cells) {
  std::string line;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i) line += ',';
    const std::string& c = cells[i];
    if (c.find_first_of(",\"\r\n") != std::string::npos || (!c.empty() && (c.front() == ' ' || c.back() == ' '))) {
      line += '"';
      for (char ch : c) line += ch == '"' ? std::string("\"\"") : std::string(1, ch);
      line += '"';
    } else {
      line += c;
    }
  }
  return line;
}

int RunExport(int argc, char** argv, std::FILE* out, std::FILE* err) {
  std::string file, table;
  bool csv = false, declaration = false;
  for (int i = 0; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--csv") {
      csv = true;
    } else if (a == "--declaration") {
      declaration = true;
    } else if (a == "--json") {
      csv = false;
    } else if (a == "--table" && i + 1 < argc) {
      table = argv[++i];
    } else if (file.empty() && a.rfind("--", 0) != 0) {
      file = a;
    } else {
      std::fprintf(err, "usage: tvx export FILE [--json|--csv|--declaration] [--table NAME]\n");
      return 2;
    }
  }
  if (file.empty()) {
    std::fprintf(err, "usage: tvx export FILE [--json|--csv|--declaration] [--table NAME]\n");
    return 2;
  }
  isam::FileName fn = isam::SplitFileName(file);
  std::string path = isam::ResolvePhysicalPath(fn.physical);
  // What belongs to the whole file, read as committed: its tables, its counter, its marker.
  std::vector<isam::TableInfo> tables;
  JsonValue marker = JsonValue::Object();
  uint32_t number_counter = 0;
  {
    FileHold reading;
    std::string busy;
    if (!reading.Take(path, kToolWaitMs, busy)) {
      std::fprintf(err, "tvx export: %s\n", busy.c_str());
      return 2;
    }
    std::unique_ptr<isam::IsamFile> isf;
    isam::PageStoreOptions ro;
    ro.read_only = true;
    isam::Status st = isam::IsamFile::Open(path, ro, isf);
    if (st.ok()) st = isf->ListTables(tables);
    if (st.ok() && !csv) st = AddTransactionMarker(*isf, marker);
    if (!st.ok()) {
      std::fprintf(err, "tvx export: %s: %s (error %d)\n", path.c_str(), st.detail.c_str(), st.code);
      return 2;
    }
    number_counter = isf->store().header().number_counter;
  }
  if (!table.empty() || file.find("\\!") != std::string::npos) {
    std::string wanted = table.empty() ? fn.table : table;
    for (char& c : wanted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::erase_if(tables, [&](const isam::TableInfo& t) { return t.name != wanted; });
    if (tables.empty()) {
      std::fprintf(err, "tvx export: %s: no table %s\n", path.c_str(), wanted.c_str());
      return 2;
    }
  }
  if ((csv || declaration) && tables.size() != 1) {
    std::fprintf(err, "tvx export: %s holds %zu tables; name one with --table for %s\n", path.c_str(), tables.size(),
                 csv ? "CSV" : "a declaration");
    return 2;
  }
  if (declaration) {
    ToolTable t;
    std::string error, text;
    if (OpenToolTable(path + "\\!" + tables[0].name, false, t, error) != 0) {
      std::fprintf(err, "tvx export: %s\n", error.c_str());
      return 2;
    }
    if (!WriteDeclarationText(t.stored, text, error)) {
      std::fprintf(err, "tvx export: %s: table %s: %s\n", path.c_str(), tables[0].name.c_str(), error.c_str());
      return 2;
    }
    std::fwrite(text.data(), 1, text.size(), out);
    return 0;
  }
  JsonValue doc = JsonValue::Object();
  doc.Add("format", Str("tvx-ground-truth/1"));
  doc.Add("file", Str(std::filesystem::path(path).filename().string()));
  doc.Add("number_counter", Num(number_counter));
  JsonValue& jtables = doc.Add("tables", JsonValue::Array());
  std::string text;
  for (const isam::TableInfo& info : tables) {
    ToolTable t;
    std::string error;
    if (OpenToolTable(path + "\\!" + info.name, false, t, error) != 0 || HoldSnapshot(t, error) != 0) {
      std::fprintf(err, "tvx export: %s\n", error.c_str());
      return 2;
    }
    int e = 0;
    if (csv) {
      text += CsvLine(CsvHeader(t.stored)) + "\n";
      e = ForEachRecord(t, -1, [&](uint32_t, const std::vector<uint8_t>& rec, const std::vector<std::string>& memos) {
        text += CsvLine(CsvCells(t.stored, rec, memos)) + "\n";
      });
    } else {
      jtables.Push(TableJson(t, e));
    }
    if (e != 0) {
      std::fprintf(err, "tvx export: %s: reading failed with error %d\n", path.c_str(), e);
      return 2;
    }
  }
  if (!csv) {
    for (JsonValue& item : marker.items) doc.items.push_back(std::move(item));
    PrintJson(doc, text);
    text += "\n";
  }
  std::fwrite(text.data(), 1, text.size(), out);
  return 0;
}

}  // namespace cinevo::tvx
