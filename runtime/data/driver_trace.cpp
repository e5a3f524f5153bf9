#include "runtime/data/driver_trace.h"

#include <chrono>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <set>

#include "platform/profile.h"
#include "runtime/core/error.h"
#include "runtime/core/error_codes.h"
#include "runtime/core/std_date.h"
#include "runtime/core/value_ref.h"
#include "runtime/core/value_storage.h"

namespace cinevo {
namespace {

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof buf) return std::string(buf, static_cast<size_t>(n));
  std::string big(static_cast<size_t>(n) + 1, '\0');
  va_start(ap, fmt);
  std::vsnprintf(big.data(), big.size(), fmt, ap);
  va_end(ap);
  big.resize(static_cast<size_t>(n));
  return big;
}

std::string Setting(std::string_view section, std::string_view fallback) {
  std::string name = platform::GetProfileString(section, "TraceFile", fallback);
  if (name.empty()) name = std::string(fallback);
  if (name.size() > 260) name.resize(260);
  return name;
}

// The operations whose first argument is a key.
bool NamesKey(DriverOp op) {
  const OpRow* row = OpTableRow(static_cast<int>(op));
  if (row && (row->required & kStateIndexBuilt)) return true;
  return op == DriverOp::kBuildKey || op == DriverOp::kBuildDyn || op == DriverOp::kBuildDynFilter ||
         op == DriverOp::kSetPropertyKey || op == DriverOp::kGetPropertyKey || op == DriverOp::kDoPropertyKey;
}

bool RecordOperation(DriverOp op) {
  switch (op) {
    case DriverOp::kAdd: case DriverOp::kAddFileLen: case DriverOp::kAppend: case DriverOp::kAppendLen:
    case DriverOp::kDelete: case DriverOp::kGetFileKey: case DriverOp::kGetFilePtr: case DriverOp::kGetFilePtrLen:
    case DriverOp::kGetKeyPtr: case DriverOp::kNext: case DriverOp::kPrevious: case DriverOp::kPut:
    case DriverOp::kPutFilePtr: case DriverOp::kPutFilePtrLen: case DriverOp::kRegetFile: case DriverOp::kRegetKey:
      return true;
    default:
      return false;
  }
}

std::set<const FileDeclaration*>& TracedDeclarations() {
  static std::set<const FileDeclaration*> traced;  // this run's: each declaration is written once
  return traced;
}

std::string FieldValue(const FieldDeclaration& f, const uint8_t* p) {
  switch (f.type) {
    case TypeCode::kByte:
      return Format("%02XH", p[0]);
    case TypeCode::kDate: {
      const int32_t v = static_cast<int32_t>(LoadU32(p));
      DateParts d;
      if (DateToParts(v, &d) != 0) return Format("Invalid date (%ld)", static_cast<long>(v));
      return Format("%02d %s %d (%ld)", d.day, kMonths[d.month - 1], d.year, static_cast<long>(v));
    }
    case TypeCode::kTime: {
      const int32_t v = static_cast<int32_t>(LoadU32(p));
      TimeParts t;
      if (TimeToParts(v, &t) != 0) return Format("Invalid time (%ld)", static_cast<long>(v));
      return Format("%02d:%02d:%02d.%02d (%ld)", t.hours, t.minutes, t.seconds, t.hundredths, static_cast<long>(v));
    }
    case TypeCode::kString:
      return "'" + std::string(reinterpret_cast<const char*>(p), f.size) + "'";
    case TypeCode::kCString:
      return "'" + std::string(CStringValue(reinterpret_cast<const char*>(p), f.size)) + "'";
    case TypeCode::kPString:
      return "'" + std::string(PStringValue(p, f.size)) + "'";
    case TypeCode::kShort:
      return Format("%d", static_cast<int16_t>(LoadU16(p)));
    case TypeCode::kUShort:
      return Format("%u", static_cast<unsigned>(LoadU16(p)));
    case TypeCode::kLong:
      return Format("%ld", static_cast<long>(static_cast<int32_t>(LoadU32(p))));
    case TypeCode::kULong:
      return Format("%lu", static_cast<unsigned long>(LoadU32(p)));
    case TypeCode::kSReal:
      return Format("%.7g", static_cast<double>(LoadSReal(p)));
    case TypeCode::kReal:
      return Format("%.15g", LoadReal(p));
    default: {
      ValueRef r = ValueRef::Make(f.type, const_cast<uint8_t*>(p), f.size, f.places);
      return r.Valid() ? r.ToText() : std::string();
    }
  }
}

void AppendFields(const FileDeclaration& decl, size_t first, size_t count, const uint8_t* record, size_t size,
                  const std::string& indent, std::string& out) {
  for (size_t i = first; i < first + count && i < decl.fields.size(); ++i) {
    const FieldDeclaration& f = decl.fields[i];
    if (f.type == TypeCode::kEnd) break;
    if (f.type == TypeCode::kGroup) {
      out += indent + Format("  %-18s: ", f.label.c_str()) + "\r\n";
      AppendFields(decl, i + 1, f.group_fields, record, size, indent + "  ", out);
      i += f.group_fields;
      continue;
    }
    if (f.offset + f.size > size) continue;
    out += indent + Format("  %-18s: ", f.label.c_str()) + FieldValue(f, record + f.offset) + "\r\n";
  }
}

std::string Label(std::string_view label, int level) {
  return Format("%-20.*s", static_cast<int>(label.size()), label.data()) + std::string(static_cast<size_t>(level) * 2, ' ');
}

void AppendRecordFields(const FileDeclaration& d, size_t first, size_t count, int level, std::string& out) {
  uint64_t running_end = 0;
  for (size_t i = first; i < first + count && i < d.fields.size(); ++i) {
    const FieldDeclaration& f = d.fields[i];
    if (f.type == TypeCode::kEnd) break;
    std::string line = Label(f.label, level) + std::string(FieldTypeName(static_cast<int>(f.type)));
    if (f.type == TypeCode::kDecimal || f.type == TypeCode::kPDecimal) line += Format("(%u,%u)", f.digits, f.places);
    if (f.type == TypeCode::kString || f.type == TypeCode::kCString || f.type == TypeCode::kPString) {
      line += f.picture.empty() ? Format("(%u)", f.length ? f.length : f.size) : "(@" + f.picture + ")";
    }
    if (!f.dimensions.empty() && f.dimensions[0] != 0) {
      line += ", DIM(";
      for (size_t k = 0; k < f.dimensions.size() && f.dimensions[k] != 0; ++k) {
        line += (k ? "," : "") + std::to_string(f.dimensions[k]);
      }
      line += ")";
    }
    if (f.offset < running_end) {
      for (size_t k = first; k < i; ++k) {
        const FieldDeclaration& o = d.fields[k];
        if (f.offset >= o.offset && f.offset < o.offset + o.StorageSize()) {
          line += ", OVER(" + o.label + ")";
          break;
        }
      }
    }
    running_end = std::max<uint64_t>(running_end, f.offset + f.StorageSize());
    out += line + "\r\n";
    if (f.type == TypeCode::kGroup) {
      AppendRecordFields(d, i + 1, f.group_fields, level + 1, out);
      out += Label("", level) + "END\r\n";
      i += f.group_fields;
    }
  }
}

void AppendToLog(const std::string& path, const std::string& text) {
  std::FILE* log = std::fopen(path.c_str(), "ab");
  if (log == nullptr) return;  // a log that cannot be opened is skipped
  std::fwrite(text.data(), 1, text.size(), log);
  std::fclose(log);
}

}  // namespace

TraceSettings FileTraceSettings() {
  TraceSettings s;
  s.on = platform::GetProfileInt("VXTARVEX", "Profile", 0) != 0;
  if (!s.on) return s;
  s.details = platform::GetProfileInt("VXTARVEX", "Details", 0) != 0;
  s.file = Setting("VXTARVEX", "TARVEX.LOG");
  return s;
}

TraceSettings ViewTraceSettings() {
  TraceSettings s;
  s.on = platform::GetProfileInt("VXVIEW", "Profile", 0) != 0;
  if (!s.on) return s;
  s.into_files = platform::GetProfileInt("VXVIEW", "TraceIntoFiles", 0) != 0;
  s.file = Setting("VXVIEW", "VIEW.LOG");
  return s;
}

int64_t TraceClock() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::milliseconds>(now).count() / 10;
}

std::string TraceHead(DriverOp op, const FileControlBlock& fcb, const DriverArgs& args) {
  std::string head = std::string(DriverOpName(op)) + "(" + std::string(fcb.declaration->ExternalName());
  const auto& keys = fcb.declaration->keys;
  if (NamesKey(op) && args.key >= 0 && static_cast<size_t>(args.key) < keys.size()) {
    const KeyDeclaration& k = keys[args.key];
    head += "," + (k.name.empty() ? k.label : k.name) + "[" + std::to_string(args.key + 1) + "]";
  }
  head += ") ";
  return Format("%-18s", head.c_str());
}

std::string TraceResult(int result, const FileControlBlock& fcb, int64_t hundredths) {
  std::string out;
  if (result == kErrFileSystem) {
    out += "File Error: " + std::string(ErrorText(fcb.os_error + kErrSystemBase)) + " ";
  } else if (result > 0) {
    out += "Error: " + std::string(ErrorText(result)) + " ";
  }
  if (hundredths < 0) hundredths = 0;
  out += Format("Time Taken: %ld.%02ld secs", static_cast<long>(hundredths / 100), static_cast<long>(hundredths % 100));
  out += "\r\n";
  return out;
}

std::string TraceFields(const FileDeclaration& decl, const uint8_t* record, size_t size) {
  std::string out;
  AppendFields(decl, 0, decl.fields.size(), record, size, "", out);
  return out;
}

std::string TraceKeyFields(const FileDeclaration& decl, int key, const uint8_t* record, size_t size) {
  std::string out;
  if (key < 0 || static_cast<size_t>(key) >= decl.keys.size()) return out;
  for (int32_t c : decl.keys[key].components) {
    const size_t field = static_cast<size_t>(c < 0 ? -c : c) - 1;
    AppendFields(decl, field, 1, record, size, "", out);
  }
  return out;
}

std::string TraceDeclaration(const FileDeclaration& d) {
  std::string out = Label(d.label, 0) + "FILE,DRIVER(" + d.driver;
  if (d.driver_string) out += ",'" + *d.driver_string + "'";
  out += ")";
  if (d.owner) out += ",OWNER(******)";
  if (d.name) out += ",NAME('" + *d.name + "')";
  if (d.attributes & kFileCreate) out += ",CREATE";
  if (d.attributes & kFileEncrypt) out += ",ENCRYPT";
  if (d.attributes & kFileReclaim) out += ",RECLAIM";
  out += "\r\n";
  for (const KeyDeclaration& k : d.keys) {
    std::string line = Label(k.label, 1) + (k.IsIndex() ? "INDEX(" : "KEY(");
    for (size_t i = 0; i < k.components.size(); ++i) {
      const int32_t c = k.components[i];
      const size_t field = static_cast<size_t>(c < 0 ? -c : c) - 1;
      const std::string& label = field < d.fields.size() ? d.fields[field].label : std::string("?");
      line += (i ? "," : "") + Format("%c%s", c < 0 ? '-' : '+', label.c_str());
    }
    line += ")";
    if (k.flags & kKeyDup) line += ",DUP";
    if (k.flags & kKeyOpt) line += ",OPT";
    if (k.flags & kKeyNoCase) line += ",NOCASE";
    if (k.flags & kKeyPrimary) line += ",PRIMARY";
    if (!k.name.empty()) line += ",NAME(" + k.name + ")";
    out += line + "\r\n";
  }
  for (const MemoDeclaration& m : d.memos) {
    std::string line = Label(m.label, 1) + (m.IsBlob() ? std::string("BLOB") : Format("MEMO(%u)", m.max_size));
    if (!m.name.empty()) line += ",NAME(" + m.name + ")";
    if (m.flags & kMemoBinary) line += ",BINARY";
    out += line + "\r\n";
  }
  out += Label("", 1) + "RECORD\r\n";
  AppendRecordFields(d, 0, d.fields.size(), 2, out);
  out += Label("", 1) + "END\r\n";
  out += Label("", 0) + "END\r\n\r\n";
  return out;
}

void TraceFileOperation(const TraceSettings& s, DriverOp op, const FileControlBlock& fcb, const DriverArgs& args,
                        int result, int64_t start) {
  if (!s.on || op == DriverOp::kInternal87 || op == DriverOp::kInternal91) return;
  std::string text;
  const FileDeclaration& d = *fcb.declaration;
  if (s.details && TracedDeclarations().insert(&d).second) text += TraceDeclaration(d);
  text += TraceHead(op, fcb, args) + TraceResult(result < 0 ? 0 : result, fcb, TraceClock() - start);
  if (s.details) {
    if (RecordOperation(op)) text += TraceFields(d, fcb.record.data(), fcb.record.size());
    if (op == DriverOp::kSetKeyKey || op == DriverOp::kSetKeyKeyPtr) {
      text += TraceKeyFields(d, args.key, fcb.record.data(), fcb.record.size());
    }
  }
  AppendToLog(s.file, text);
}

void TraceViewOperation(const TraceSettings& s, uint32_t identity, DriverOp op, std::string_view name, int result,
                        int64_t start) {
  if (!s.on) return;
  std::string head = std::string(DriverOpName(op)) + "(" + std::string(name) + ") ";
  std::string text = Format("VIEW:%lX:", static_cast<unsigned long>(identity)) + Format("%-24s", head.c_str());
  std::string tail;
  if (result > 0) tail += "Error: " + std::string(ErrorText(result)) + " ";
  const int64_t t = std::max<int64_t>(0, TraceClock() - start);
  tail += Format("Time Taken: %ld.%02ld secs", static_cast<long>(t / 100), static_cast<long>(t % 100)) + "\r\n";
  AppendToLog(s.file, text + tail);
}

void ForgetTracedDeclarations() { TracedDeclarations().clear(); }

}  // namespace cinevo
