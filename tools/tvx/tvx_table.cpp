#include "tools/tvx/tvx_table.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

#include <sys/stat.h>

#include "runtime/core/type_code.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/isam/isam_file.h"

namespace cinevo::tvx {
namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool SameLabel(const std::optional<std::string>& label, std::string_view name) {
  if (!label) return false;
  std::string l = Upper(*label), n = Upper(name);
  if (l == n) return true;
  size_t colon = l.find(':');
  return colon != std::string::npos && l.substr(colon + 1) == n;
}

std::string DecimalText(const uint8_t* p, size_t size, uint8_t places, bool packed) {
  // Digits high nibble first; DECIMAL has the sign in the first nibble, PDECIMAL in the last.
  std::string digits;
  bool negative = false;
  for (size_t i = 0; i < size; ++i) {
    uint8_t hi = p[i] >> 4, lo = p[i] & 0x0F;
    if (!packed && i == 0) {
      negative = hi != 0;
      digits.push_back(static_cast<char>('0' + std::min<uint8_t>(lo, 9)));
    } else if (packed && i + 1 == size) {
      digits.push_back(static_cast<char>('0' + std::min<uint8_t>(hi, 9)));
      negative = lo == 0x0D;
    } else {
      digits.push_back(static_cast<char>('0' + std::min<uint8_t>(hi, 9)));
      digits.push_back(static_cast<char>('0' + std::min<uint8_t>(lo, 9)));
    }
  }
  places = static_cast<uint8_t>(std::min<size_t>(places, digits.size()));
  std::string whole = digits.substr(0, digits.size() - places);
  size_t nz = whole.find_first_not_of('0');
  whole = nz == std::string::npos ? "0" : whole.substr(nz);
  std::string out = (negative ? "-" : "") + whole;
  if (places) out += "." + digits.substr(digits.size() - places);
  return out;
}

bool ParseDecimal(std::string_view text, uint8_t* p, size_t size, uint8_t places, bool packed, std::string& error) {
  bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
  size_t dot = text.find('.');
  std::string whole(text.substr(0, dot)), frac(dot == std::string_view::npos ? "" : text.substr(dot + 1));
  if ((whole + frac).empty() || (whole + frac).find_first_not_of("0123456789") != std::string::npos) {
    error = "not a decimal number";
    return false;
  }
  if (frac.size() > places) frac.resize(places);  // extra places are cut
  frac.append(places - frac.size(), '0');
  size_t capacity = 2 * size - 1;
  std::string digits = whole + frac;
  size_t nz = digits.find_first_not_of('0');
  digits = nz == std::string::npos ? "" : digits.substr(nz);
  if (digits.size() > capacity) {
    error = "too many digits";
    return false;
  }
  digits.insert(0, capacity - digits.size(), '0');
  bool zero = nz == std::string::npos;
  std::memset(p, 0, size);
  std::string nibbles;
  if (!packed) nibbles.push_back(static_cast<char>(negative && !zero ? 0xF : 0));
  for (char c : digits) nibbles.push_back(static_cast<char>(c - '0'));
  if (packed) nibbles.push_back(static_cast<char>(negative && !zero ? 0xD : 0xF));
  for (size_t i = 0; i < size; ++i) p[i] = static_cast<uint8_t>((nibbles[2 * i] << 4) | nibbles[2 * i + 1]);
  return true;
}

template <typename T>
bool ParseInt(std::string_view text, T& out) {
  auto r = std::from_chars(text.data(), text.data() + text.size(), out);
  return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

// Whether another open holds every reader slot of the file (a deny-all open or LOCK).
bool HeldExclusively(const std::string& path) {
  int error = 0;
  auto locks = isam::TableLocks::Open(path, error);
  return locks && locks->TakeReaderSlot(0) == EAGAIN;
}

}  // namespace

bool ReadSource(const std::string& source, std::string& text, std::string& error) {
  text.clear();
  std::FILE* in = stdin;
  if (source != "-") {
    struct stat st {};
    if (::stat(source.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      error = source + " is a directory, not a file";
      return false;
    }
    in = std::fopen(source.c_str(), "rb");
    if (!in) {
      error = "cannot read " + source + ": " + std::strerror(errno);
      return false;
    }
  }
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, got);
  bool failed = std::ferror(in) != 0;
  int e = errno;
  if (in != stdin) std::fclose(in);
  if (failed) {
    error = "cannot read " + (source == "-" ? std::string("standard input") : source) + ": " + std::strerror(e);
    return false;
  }
  return true;
}

bool FileHold::Take(const std::string& path, int wait_ms, std::string& why) {
  int error = 0;
  locks_ = isam::TableLocks::Open(path, error);
  if (!locks_) return true;
  auto start = std::chrono::steady_clock::now();
  auto waited = [&] {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
  };
  auto slot = static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(start.time_since_epoch()).count() / 10);
  int e = 0;
  while ((e = locks_->TakeReaderSlot(slot)) == EAGAIN && waited() < wait_ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (e == 0) e = locks_->TakeUpdate(std::max(wait_ms - waited(), 0));
  if (e == 0) return true;
  locks_.reset();
  why = path + (e == EAGAIN ? ": in use by another program (held for more than " + std::to_string(wait_ms / 1000) +
                                  " s); try again later"
                            : ": cannot lock: " + std::string(std::strerror(e)));
  return false;
}

int OpenToolTable(const std::string& name, bool write, ToolTable& out, std::string& error) {
  isam::RegisterIsamDriver();
  isam::FileName fn = isam::SplitFileName(name);
  std::string path = isam::ResolvePhysicalPath(fn.physical);
  isam::Status st;
  bool found = false;
  {
    // The declaration as committed: no other program writes while it is read.
    FileHold reading;
    if (!reading.Take(path, kToolWaitMs, error)) return isam::kErrAccessDenied;
    std::unique_ptr<isam::IsamFile> file;
    isam::PageStoreOptions ro;
    ro.read_only = true;
    st = isam::IsamFile::Open(path, ro, file);
    if (st.ok()) st = file->FindTable(fn.table, out.number, found);
    if (st.ok() && !found) st = isam::Status::Error(isam::kErrFileNotFound, "no table " + fn.table);
    if (st.ok()) st = file->ReadDeclaration(out.number, out.stored);
  }
  if (!st.ok()) {
    if (st.code == isam::kErrFileNotFound && !found) {
      error = path + ": " + (st.detail.rfind("no table", 0) == 0 ? st.detail : "no such file");
    } else {
      error = path + ": " + (st.detail.empty() ? "" : st.detail + " ") + "(error " + std::to_string(st.code) + ")";
    }
    return st.code;
  }
  out.path = name;
  out.table = fn.table;
  out.declaration = isam::ToFileDeclaration(out.stored, name);
  out.fcb = std::make_unique<FileControlBlock>(out.declaration);
  // Shared, as the program opens its files; a program that holds the file exclusively (a
  // deny-all open or LOCK) is waited for.
  auto start = std::chrono::steady_clock::now();
  int e = 0;
  bool held = false;
  while ((e = Open(*out.fcb, write ? 0x42 : 0x40)) == isam::kErrAccessDenied && (held = HeldExclusively(path)) &&
         std::chrono::steady_clock::now() - start < std::chrono::milliseconds(kToolWaitMs)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (e == isam::kErrAccessDenied && held) {
    error = path + ": held exclusively by another program; try again later (error 5)";
  } else if (e != 0) {
    error = path + ": cannot open (error " + std::to_string(e) + ")";
  }
  return e;
}

ToolTable::~ToolTable() {
  if (snapshot && fcb) {
    FileControlBlock* files[] = {fcb.get()};
    Rollback(files);
  }
}

int HoldSnapshot(ToolTable& t, std::string& error) {
  FileControlBlock* files[] = {t.fcb.get()};
  int e = Logout(kToolWaitMs / 1000, files);
  if (e == 0) {
    t.snapshot = true;
  } else {
    error = t.path + (e == 32 ? ": being changed by another program; try again later (error 32)"
                              : ": cannot hold the file still (error " + std::to_string(e) + ")");
  }
  return e;
}

int FindKey(const isam::TableDeclaration& d, std::string_view name) {
  for (size_t i = 0; i < d.keys.size(); ++i) {
    if (SameLabel(d.keys[i].name, name) || SameLabel(d.keys[i].external, name)) return static_cast<int>(i);
  }
  return -1;
}

int FindField(const isam::TableDeclaration& d, std::string_view name) {
  for (size_t i = 0; i < d.fields.size(); ++i) {
    if (SameLabel(d.fields[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

std::string ShortestDouble(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  std::string sci(buf, r.ptr);
  bool negative = sci[0] == '-';
  if (negative) sci.erase(0, 1);
  size_t e = sci.find('e');
  std::string digits = sci.substr(0, e);
  digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
  int exponent = std::stoi(sci.substr(e + 1));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int n = static_cast<int>(digits.size());
  int point = exponent + 1;  // digits before the decimal point
  std::string out;
  if (exponent >= -4 && exponent < 16) {
    if (point <= 0) {
      out = "0." + std::string(static_cast<size_t>(-point), '0') + digits;
    } else if (point >= n) {
      out = digits + std::string(static_cast<size_t>(point - n), '0') + ".0";
    } else {
      out = digits.substr(0, static_cast<size_t>(point)) + "." + digits.substr(static_cast<size_t>(point));
    }
  } else {
    out = digits.substr(0, 1);
    if (n > 1) out += "." + digits.substr(1);
    char exp[16];
    std::snprintf(exp, sizeof exp, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    out += exp;
  }
  return (negative ? "-" : "") + out;
}

std::string JsonString(std::string_view bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20 || c >= 0x80) {
          char u[8];
          std::snprintf(u, sizeof u, "\\u%04x", c);
          out += u;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  return out + "\"";
}

bool FieldIsNumber(const isam::StreamField& f) {
  switch (static_cast<TypeCode>(f.type)) {
    case TypeCode::kByte: case TypeCode::kShort: case TypeCode::kUShort: case TypeCode::kLong:
    case TypeCode::kULong: case TypeCode::kSReal: case TypeCode::kReal:
      return true;
    default:
      return false;
  }
}

std::string FieldText(const isam::StreamField& f, const uint8_t* record, size_t record_size, uint16_t element) {
  size_t at = size_t{f.offset} + size_t{element} * f.length;
  if (element >= std::max<uint16_t>(f.elements, 1) || at + f.length > record_size) return "";
  const uint8_t* p = record + at;
  char buf[32];
  switch (static_cast<TypeCode>(f.type)) {
    case TypeCode::kByte: return std::to_string(p[0]);
    case TypeCode::kShort: return std::to_string(LoadI16(p));
    case TypeCode::kUShort: return std::to_string(LoadU16(p));
    case TypeCode::kLong: return std::to_string(LoadI32(p));
    case TypeCode::kULong: return std::to_string(LoadU32(p));
    case TypeCode::kSReal: return ShortestDouble(static_cast<double>(LoadSReal(p)));
    case TypeCode::kReal: return ShortestDouble(LoadReal(p));
    case TypeCode::kDate:
      if (LoadU32(p) == 0) return "";  // no date
      std::snprintf(buf, sizeof buf, "%04u-%02u-%02u", LoadU16(p + 2), p[1], p[0]);
      return buf;
    case TypeCode::kTime:
      if (LoadU32(p) == 0) return "";  // no time
      std::snprintf(buf, sizeof buf, "%02u:%02u:%02u.%02u", p[3], p[2], p[1], p[0]);
      return buf;
    case TypeCode::kDecimal: return DecimalText(p, f.length, f.places, false);
    case TypeCode::kPDecimal: return DecimalText(p, f.length, f.places, true);
    case TypeCode::kString: {
      std::string s(reinterpret_cast<const char*>(p), f.length);
      size_t end = s.find_last_not_of(' ');
      return end == std::string::npos ? "" : s.substr(0, end + 1);
    }
    case TypeCode::kCString: return std::string(CStringValue(reinterpret_cast<const char*>(p), f.length));
    case TypeCode::kPString: return std::string(PStringValue(p, f.length));
    default: return Hex(std::string_view(reinterpret_cast<const char*>(p), f.length));
  }
}

std::vector<uint8_t> BlankRecord(const isam::TableDeclaration& d) {
  std::vector<uint8_t> rec(d.record_length, 0);
  for (const isam::StreamField& f : d.fields) {
    size_t bytes = size_t{f.length} * std::max<uint16_t>(f.elements, 1);
    if (f.type == static_cast<uint8_t>(TypeCode::kString) && size_t{f.offset} + bytes <= rec.size()) {
      std::fill_n(rec.begin() + f.offset, bytes, ' ');
    }
  }
  return rec;
}

std::string FieldJson(const isam::StreamField& f, const uint8_t* record, size_t record_size) {
  auto one = [&](uint16_t element) {
    std::string text = FieldText(f, record, record_size, element);
    return FieldIsNumber(f) ? text : JsonString(text);
  };
  if (f.elements <= 1) return one(0);
  std::string list = "[";
  for (uint16_t e = 0; e < f.elements; ++e) list += (e ? ", " : "") + one(e);
  return list + "]";
}

bool ParseField(const isam::StreamField& f, std::string_view text, uint8_t* record, size_t record_size,
                std::string& error, uint16_t element) {
  size_t at = size_t{f.offset} + size_t{element} * f.length;
  if (element >= std::max<uint16_t>(f.elements, 1) || at + f.length > record_size) {
    error = "field outside the record";
    return false;
  }
  uint8_t* p = record + at;
  auto bad = [&](const char* what) {
    error = std::string(what) + ": \"" + std::string(text) + "\"";
    return false;
  };
  switch (static_cast<TypeCode>(f.type)) {
    case TypeCode::kByte: { uint8_t v; if (!ParseInt(text, v)) return bad("not a BYTE"); p[0] = v; return true; }
    case TypeCode::kShort: { int16_t v; if (!ParseInt(text, v)) return bad("not a SHORT"); StoreU16(p, static_cast<uint16_t>(v)); return true; }
    case TypeCode::kUShort: { uint16_t v; if (!ParseInt(text, v)) return bad("not a USHORT"); StoreU16(p, v); return true; }
    case TypeCode::kLong: { int32_t v; if (!ParseInt(text, v)) return bad("not a LONG"); StoreU32(p, static_cast<uint32_t>(v)); return true; }
    case TypeCode::kULong: { uint32_t v; if (!ParseInt(text, v)) return bad("not a ULONG"); StoreU32(p, v); return true; }
    case TypeCode::kSReal:
    case TypeCode::kReal: {
      double v = 0;
      auto r = std::from_chars(text.data(), text.data() + text.size(), v);
      if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return bad("not a number");
      if (f.type == static_cast<uint8_t>(TypeCode::kSReal)) StoreSReal(p, static_cast<float>(v)); else StoreReal(p, v);
      return true;
    }
    case TypeCode::kDate: {
      if (text.empty()) {
        StoreU32(p, 0);
        return true;
      }
      unsigned y = 0, m = 0, d = 0;
      char tail = 0;
      if (std::sscanf(std::string(text).c_str(), "%4u-%2u-%2u%c", &y, &m, &d, &tail) != 3 || m < 1 || m > 12 || d < 1 || d > 31) {
        return bad("not a date YYYY-MM-DD");
      }
      p[0] = static_cast<uint8_t>(d);
      p[1] = static_cast<uint8_t>(m);
      StoreU16(p + 2, static_cast<uint16_t>(y));
      return true;
    }
    case TypeCode::kTime: {
      if (text.empty()) {
        StoreU32(p, 0);
        return true;
      }
      unsigned h = 0, mi = 0, s = 0, hs = 0;
      char tail = 0;
      int n = std::sscanf(std::string(text).c_str(), "%2u:%2u:%2u.%2u%c", &h, &mi, &s, &hs, &tail);
      if ((n != 3 && n != 4) || h > 23 || mi > 59 || s > 59 || hs > 99) return bad("not a time HH:MM:SS.hh");
      p[0] = static_cast<uint8_t>(hs);
      p[1] = static_cast<uint8_t>(s);
      p[2] = static_cast<uint8_t>(mi);
      p[3] = static_cast<uint8_t>(h);
      return true;
    }
    case TypeCode::kDecimal:
    case TypeCode::kPDecimal:
      if (!ParseDecimal(text, p, f.length, f.places, f.type == static_cast<uint8_t>(TypeCode::kPDecimal), error)) {
        return bad(error.c_str());
      }
      return true;
    case TypeCode::kString:
      if (text.size() > f.length) return bad("text longer than the field");
      StoreString(reinterpret_cast<char*>(p), f.length, text);
      return true;
    case TypeCode::kCString:
      if (text.size() + 1 > f.length) return bad("text longer than the field");
      StoreCString(reinterpret_cast<char*>(p), f.length, text);
      return true;
    case TypeCode::kPString:
      if (text.size() + 1 > f.length) return bad("text longer than the field");
      StorePString(p, f.length, text);
      return true;
    default: {
      if (text.size() != 2 * size_t{f.length}) return bad("not hexadecimal bytes of the field's size");
      for (size_t i = 0; i < f.length; ++i) {
        unsigned v = 0;
        auto r = std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, v, 16);
        if (r.ec != std::errc() || r.ptr != text.data() + 2 * i + 2) return bad("not hexadecimal bytes");
        p[i] = static_cast<uint8_t>(v);
      }
      return true;
    }
  }
}

}  // namespace cinevo::tvx
