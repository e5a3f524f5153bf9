#include "tools/tvx/tvx_dump.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "tools/tvx/tvx_export.h"
#include "tools/tvx/tvx_json.h"
#include "tools/tvx/tvx_table.h"
#include "runtime/core/error.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/view/view.h"

namespace cinevo::tvx {
namespace {

constexpr size_t kMaxColumn = 40;  // wider texts are cut with "..." in the text form

int Usage(std::FILE* err) {
  std::fprintf(err,
               "usage: tvx dump FILE [--key NAME] [--filter EXPRESSION] [--order TEXT] [--explain]\n"
               "                     [--format text|csv|json]\n");
  return 2;
}

std::string Cut(const std::string& s) { return s.size() <= kMaxColumn ? s : s.substr(0, kMaxColumn - 3) + "..."; }

using RowSink = std::function<void(uint32_t recno, const std::vector<uint8_t>& record)>;

// The rows of a VIEW over the table with a filter and an order, as a program reads them; with
// `explain` only the plan is printed. Returns 0, or 2 with a message.
int DumpThroughView(ToolTable& t, int key, const std::string& filter, const std::string& order, bool explain,
                    std::FILE* out, std::FILE* err, const RowSink& sink) {
  ViewDeclaration d;
  d.primary = t.fcb.get();
  d.key = key;
  View v(d);
  if (int e = Open(v.block())) {
    std::fprintf(err, "tvx dump: the view cannot be opened (%d %s)\n", e, std::string(ErrorText(e)).c_str());
    return 2;
  }
  for (auto [property, text, what] : {std::tuple{kPropViewFilter, &filter, "filter"}, {kPropViewOrder, &order, "order"}}) {
    if (int e = SetProperty(v.block(), property, *text)) {
      std::fprintf(err, "tvx dump: the %s does not compile (%d %s)\n", what, e, std::string(ErrorText(e)).c_str());
      return 2;
    }
  }
  if (explain) {
    std::string plan = v.Explain();
    std::fwrite(plan.data(), 1, plan.size(), out);
    return 0;
  }
  // The dump is one read of every row (the VIEW's sharing rule for a declared read).
  v.ExpectReads(INT64_MAX);
  int e = SetView(v.block());
  while (e == 0 && (e = Next(v.block())) == 0) sink(static_cast<uint32_t>(Pointer(*t.fcb)), t.fcb->record);
  if (e != 33) {
    std::fprintf(err, "tvx dump: reading failed with error %d %s\n", e, std::string(ErrorText(e)).c_str());
    return 2;
  }
  return 0;
}

}  // namespace

int RunDump(int argc, char** argv, std::FILE* out, std::FILE* err) {
  std::string file, key_name, format = "text", filter, order;
  bool through_view = false, explain = false;
  for (int i = 0; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--filter" && i + 1 < argc) {
      filter = argv[++i];
      through_view = true;
    } else if (a == "--order" && i + 1 < argc) {
      order = argv[++i];
      through_view = true;
    } else if (a == "--explain") {
      explain = through_view = true;
    } else if (a == "--key" && i + 1 < argc) {
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
  RowSink sink = [&](uint32_t recno, const std::vector<uint8_t>& rec) {
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
  };
  if (through_view) {
    if (int e = DumpThroughView(t, key, filter, order, explain, out, err, sink)) return e;
    if (explain) return 0;
  } else if (int e = ForEachRecord(t, key, [&](uint32_t recno, const std::vector<uint8_t>& rec,
                                                const std::vector<std::string>&) { sink(recno, rec); })) {
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
