#include "tools/tvx/tvx_dump.h"

#include <algorithm>
#include <string>
#include <vector>

#include "tools/tvx/tvx_export.h"
#include "tools/tvx/tvx_json.h"
#include "tools/tvx/tvx_table.h"

namespace cinevo::tvx {
namespace {

constexpr size_t kMaxColumn = 40;  // wider texts are cut with "..." in the text form

int Usage(std::FILE* err) {
  std::fprintf(err, "usage: tvx dump FILE [--key NAME] [--format text|csv|json]\n");
  return 2;
}

std::string Cut(const std::string& s) { return s.size() <= kMaxColumn ? s : s.substr(0, kMaxColumn - 3) + "..."; }

}  // namespace

int RunDump(int argc, char** argv, std::FILE* out, std::FILE* err) {
  std::string file, key_name, format = "text";
  for (int i = 0; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--key" && i + 1 < argc) {
      key_name = argv[++i];
    } else if (a == "--format" && i + 1 < argc) {
      format = argv[++i];
    } else if (file.empty() && a.rfind("--", 0) != 0) {
      file = a;
    } else {
      return Usage(err);
    }
  }
  if (file.empty() || (format != "text" && format != "csv" && format != "json")) return Usage(err);
  ToolTable t;
  std::string error;
  if (OpenToolTable(file, false, t, error) != 0) {
    std::fprintf(err, "tvx dump: %s\n", error.c_str());
    return 2;
  }
  int key = -1;
  if (!key_name.empty() && (key = FindKey(t.stored, key_name)) < 0) {
    std::fprintf(err, "tvx dump: %s has no key %s\n", file.c_str(), key_name.c_str());
    return 2;
  }
  const auto& fields = t.stored.fields;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> header{"RECNO"};
  for (const auto& f : fields) header.push_back(f.name.value_or(""));
  JsonValue list = JsonValue::Array();
  int e = ForEachRecord(t, key, [&](uint32_t recno, const std::vector<uint8_t>& rec, const std::vector<std::string>&) {
    if (format == "json") {
      JsonValue& r = list.Push(JsonValue::Object());
      r.Add("record_number", JsonValue::Raw(std::to_string(recno)));
      JsonValue& v = r.Add("values", JsonValue::Object());
      for (const auto& f : fields) v.Add(f.name.value_or(""), JsonValue::Raw(FieldJson(f, rec.data(), rec.size())));
      return;
    }
    std::vector<std::string> row{std::to_string(recno)};
    for (const auto& f : fields) row.push_back(FieldText(f, rec.data(), rec.size()));
    rows.push_back(std::move(row));
  });
  if (e != 0) {
    std::fprintf(err, "tvx dump: %s: reading failed with error %d\n", file.c_str(), e);
    return 2;
  }
  std::string text;
  if (format == "json") {
    PrintJson(list, text);
    text += "\n";
  } else if (format == "csv") {
    text += CsvLine(header) + "\n";
    for (const auto& row : rows) text += CsvLine(row) + "\n";
  } else {
    std::vector<size_t> width(header.size());
    for (size_t c = 0; c < header.size(); ++c) width[c] = Cut(header[c]).size();
    for (const auto& row : rows) {
      for (size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], Cut(row[c]).size());
    }
    auto line = [&](const std::vector<std::string>& row) {
      std::string l;
      for (size_t c = 0; c < row.size(); ++c) {
        std::string cell = Cut(row[c]);
        bool right = c == 0 || (c > 0 && FieldIsNumber(fields[c - 1]));
        std::string pad(width[c] - cell.size(), ' ');
        l += (c ? "  " : "") + (right ? pad + cell : cell + (c + 1 < row.size() ? pad : ""));
      }
      return l + "\n";
    };
    text += line(header);
    for (const auto& row : rows) text += line(row);
    text += "(" + std::to_string(rows.size()) + " records)\n";
  }
  std::fwrite(text.data(), 1, text.size(), out);
  return 0;
}

}  // namespace cinevo::tvx
