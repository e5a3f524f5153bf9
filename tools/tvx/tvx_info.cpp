#include "tools/tvx/tvx_info.h"

#include <memory>
#include <string>

#include "runtime/core/type_code.h"
#include "runtime/data/isam/format_check.h"
#include "runtime/data/isam/isam_file.h"
#include "tools/tvx/tvx_table.h"

namespace cinevo::tvx {
namespace {

using namespace cinevo::isam;

std::string TextOf(const Text& t) { return t ? "\"" + *t + "\"" : std::string("(none)"); }

void PrintDeclaration(const TableDeclaration& d, std::FILE* out) {
  std::fprintf(out, "    version %u, record length %u, %zu fields, %zu memos, %zu keys\n", d.version, d.record_length,
               d.fields.size(), d.memos.size(), d.keys.size());
  for (const StreamField& f : d.fields) {
    std::fprintf(out, "    field %-20s %-8s offset %4u length %4u", f.name.value_or("").c_str(),
                 std::string(TypeCodeName(f.type)).c_str(), f.offset, f.length);
    if (f.elements != 1) std::fprintf(out, " x%u", f.elements);
    if (f.type == 10 || f.type == 11) std::fprintf(out, " digits %u places %u", f.digits, f.places);
    if (f.type >= 18 && f.type <= 20) std::fprintf(out, " declared %u picture %s", f.declared_length, TextOf(f.picture).c_str());
    std::fprintf(out, "\n");
  }
  for (const StreamMemo& m : d.memos) {
    std::fprintf(out, "    %s %-20s max %u flags 0x%02x external %s\n", (m.flags & 0x04) ? "blob" : "memo",
                 m.name.value_or("").c_str(), m.max_size, m.flags, TextOf(m.external).c_str());
  }
  for (const StreamKey& k : d.keys) {
    std::string comps;
    for (const StreamKeyComponent& c : k.components) {
      if (!comps.empty()) comps += ",";
      comps += c.descending ? "-" : "+";
      comps += c.field < d.fields.size() ? d.fields[c.field].name.value_or("?") : "?";
    }
    std::string flags;
    if (k.flags & 0x01) flags += " DUP";
    if (k.flags & 0x02) flags += " OPT";
    if (k.flags & 0x04) flags += " NOCASE";
    if (k.flags & 0x10) flags += " PRIMARY";
    std::fprintf(out, "    key   %-20s (%s)%s\n", k.name.value_or("").c_str(), comps.c_str(), flags.c_str());
  }
}

}  // namespace

int RunInfo(int argc, char** argv, std::FILE* out, std::FILE* err) {
  if (argc != 1) {
    std::fprintf(err, "usage: tvx info FILE\n");
    return 2;
  }
  PageStoreOptions options;
  options.read_only = true;
  std::unique_ptr<IsamFile> file;
  std::string path = ResolvePhysicalPath(argv[0]);
  FileHold hold;  // the figures of one committed state
  std::string busy;
  if (!hold.Take(path, kToolWaitMs, busy)) {
    std::fprintf(err, "tvx info: %s\n", busy.c_str());
    return 2;
  }
  Status st = IsamFile::Open(path, options, file);
  if (!st.ok()) {
    std::fprintf(err, "tvx info: %s: error %d (%d) %s\n", path.c_str(), st.code, st.file_error, st.detail.c_str());
    return 2;
  }
  const FileHeader& h = file->store().header();
  std::fprintf(out, "file %s\n", path.c_str());
  std::fprintf(out, "header: length %u (written %u), number counter %u, change counter %u, root %s\n",
               h.committed_length, h.written_length, h.number_counter, h.change_counter,
               h.root == kNoRoot ? "-1" : std::to_string(h.root).c_str());
  std::vector<Violation> violations;
  FileSummary s;
  st = CheckFormat(file->store(), violations, s);
  if (!st.ok()) {
    std::fprintf(err, "tvx info: error %d (%d) %s\n", st.code, st.file_error, st.detail.c_str());
    return 2;
  }
  std::fprintf(out, "classes:\n");
  for (uint32_t c = 1; c < kClassCount; ++c) {
    if (h.end[c] > h.start[c] || s.pages_per_class[c]) {
      std::fprintf(out, "  class %2u (%5u bytes): units %u..%u, %u pages, %llu in the tree\n", c, c * 256, h.start[c],
                   h.end[c], (h.end[c] - h.start[c]) / c, static_cast<unsigned long long>(s.pages_per_class[c]));
    }
  }
  std::fprintf(out, "tree: height %d, %llu pages (%llu compressed), %llu records\n", s.height,
               static_cast<unsigned long long>(s.pages), static_cast<unsigned long long>(s.compressed_pages),
               static_cast<unsigned long long>(s.records));
  double ratio = s.stored_bytes ? static_cast<double>(s.unpacked_bytes) / static_cast<double>(s.stored_bytes) : 1.0;
  std::fprintf(out, "compression: %llu bytes unpacked, %llu stored, ratio %.2f\n",
               static_cast<unsigned long long>(s.unpacked_bytes), static_cast<unsigned long long>(s.stored_bytes), ratio);
  for (const auto& [kind, count] : s.records_per_kind) {
    std::fprintf(out, "  %-18s %llu\n", kind.c_str(), static_cast<unsigned long long>(count));
  }
  std::fprintf(out, "tables: %zu\n", s.tables.size());
  for (const TableSummary& t : s.tables) {
    auto data = t.counters.find(0xF3);
    std::fprintf(out, "  table %s (number %u): %llu records (counter %s), %llu memo chunks\n",
                 t.name.empty() ? "?" : t.name.c_str(), t.number, static_cast<unsigned long long>(t.data_records),
                 data == t.counters.end() ? "none" : std::to_string(data->second).c_str(),
                 static_cast<unsigned long long>(t.memo_chunks));
    if (t.has_declaration) PrintDeclaration(t.declaration, out);
    for (const auto& [key, count] : t.key_entries) {
      std::fprintf(out, "    key %d: %llu entries\n", key + 1, static_cast<unsigned long long>(count));
    }
  }
  if (!violations.empty()) std::fprintf(out, "%zu violations (see tvx check)\n", violations.size());
  return 0;
}

}  // namespace cinevo::tvx
