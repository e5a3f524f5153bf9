#include "tools/tvx/tvx_create.h"

#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <vector>

#include "runtime/core/picture.h"
#include "runtime/data/isam/declaration_stream.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/isam/isam_file.h"
#include "tools/tvx/tvx_table.h"

namespace cinevo::tvx {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// "NAME(a,b)" -> NAME and its arguments.
bool SplitCall(const std::string& word, std::string& name, std::vector<uint32_t>& args, std::string& text_arg) {
  size_t open = word.find('(');
  name = Upper(word.substr(0, open));
  args.clear();
  text_arg.clear();
  if (open == std::string::npos) return true;
  if (word.back() != ')') return false;
  text_arg = word.substr(open + 1, word.size() - open - 2);
  std::stringstream ss(text_arg);
  std::string part;
  while (std::getline(ss, part, ',')) {
    if (part == "@") return true;  // a picture taken out of the line ends the arguments
    char* end = nullptr;
    unsigned long v = std::strtoul(part.c_str(), &end, 10);
    if (part.empty() || *end != '\0' || v > 0xFFFF) {
      args.clear();
      return name == "NAME";
    }
    args.push_back(static_cast<uint32_t>(v));
  }
  return true;
}

struct TypeInfo {
  const char* name;
  TypeCode type;
  uint32_t size;  // 0: from the argument
};
constexpr TypeInfo kTypes[] = {
    {"BYTE", TypeCode::kByte, 1},       {"SHORT", TypeCode::kShort, 2},   {"USHORT", TypeCode::kUShort, 2},
    {"DATE", TypeCode::kDate, 4},       {"TIME", TypeCode::kTime, 4},     {"LONG", TypeCode::kLong, 4},
    {"ULONG", TypeCode::kULong, 4},     {"SREAL", TypeCode::kSReal, 4},   {"REAL", TypeCode::kReal, 8},
    {"DECIMAL", TypeCode::kDecimal, 0}, {"PDECIMAL", TypeCode::kPDecimal, 0}, {"STRING", TypeCode::kString, 0},
    {"CSTRING", TypeCode::kCString, 0}, {"PSTRING", TypeCode::kPString, 0}, {"GROUP", TypeCode::kGroup, 0},
};

bool IsDimWord(std::string_view w) {
  if (w.size() < 6 || (w.substr(0, 4) != "DIM(" && w.substr(0, 4) != "dim(") || w.back() != ')') return false;
  std::string_view n = w.substr(4, w.size() - 5);
  return !n.empty() && n.find_first_not_of("0123456789") == std::string_view::npos;
}

// Takes a string picture out of a FIELD line: the text from the "@" after "(" or "," up to the
// first ")" that ends a valid picture and after which only blanks, a DIM(n) and a comment
// follow. A picture may hold blanks, "#" and parentheses. The line keeps "@)" in its place.
bool TakePicture(std::string& line, std::string& picture) {
  size_t at = line.find("(@");
  if (size_t comma = line.find(",@"); comma != std::string::npos && (at == std::string::npos || comma < at)) at = comma;
  if (at == std::string::npos) return false;
  for (size_t close = line.find(')', at + 2); close != std::string::npos; close = line.find(')', close + 1)) {
    if (close + 1 < line.size() && !std::isspace(static_cast<unsigned char>(line[close + 1]))) continue;
    std::istringstream rest(line.substr(close + 1));
    std::string word;
    bool fits = true, dim_seen = false;
    while (fits && rest >> word) {
      if (word[0] == '#') break;
      fits = !dim_seen && IsDimWord(word);
      dim_seen = true;
    }
    if (!fits || !CompilePicture(line.substr(at + 2, close - at - 2)).Valid()) continue;
    picture = line.substr(at + 2, close - at - 2);
    line = line.substr(0, at + 2) + line.substr(close);
    return true;
  }
  return false;
}

}  // namespace

bool ParseDeclarationText(const std::string& text, FileDeclaration& out, std::string& error) {
  out = FileDeclaration{};
  out.label = "FILE";
  out.driver = std::string(isam::kDriverName);
  std::istringstream in(text);
  std::string line;
  uint32_t offset = 0;
  int number = 0;
  struct PendingKey {
    KeyDeclaration key;
    std::string components;
    int line;
  };
  std::vector<PendingKey> keys;
  auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(number) + ": " + why;
    return false;
  };
  while (std::getline(in, line)) {
    ++number;
    std::string picture;
    bool has_picture = TakePicture(line, picture);
    if (size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
    if (w.empty()) continue;
    std::string kind = Upper(w[0]);
    if (w.size() < 2) return fail("a label is missing");
    if (kind == "FIELD") {
      if (w.size() < 3 || w.size() > 4) return fail("expected FIELD LABEL TYPE [DIM(n)]");
      std::string tname, targ;
      std::vector<uint32_t> args;
      if (!SplitCall(w[2], tname, args, targ)) return fail("bad type " + w[2]);
      const TypeInfo* ti = nullptr;
      for (const TypeInfo& t : kTypes) {
        if (tname == t.name) ti = &t;
      }
      if (!ti) return fail("unknown type " + w[2]);
      FieldDeclaration f = MakeField(w[1], ti->type, offset, ti->size);
      if (has_picture) {
        // STRING(@picture): as many bytes as the picture is wide (and the zero byte or the
        // length byte of a CSTRING or PSTRING); STRING(n,@picture): n bytes.
        if (ti->type != TypeCode::kString && ti->type != TypeCode::kCString && ti->type != TypeCode::kPString) {
          return fail(tname + " takes no picture");
        }
        CompiledPicture pic = CompilePicture(picture);
        if (picture.empty() || !pic.Valid()) return fail("bad picture @" + picture);
        if (targ != "@" && (args.size() != 1 || targ != std::to_string(args[0]) + ",@" || args[0] == 0)) {
          return fail("expected " + tname + "(@picture) or " + tname + "(n,@picture)");
        }
        f.picture = "@" + picture;  // stored with its "@", as files keep pictures
        f.length = targ == "@" ? 0 : args[0];
        f.size = targ == "@" ? static_cast<uint32_t>(pic.Width()) + (ti->type == TypeCode::kString ? 0 : 1) : args[0];
      } else if (ti->size == 0) {
        if (args.empty() || args.size() > 2 || args[0] == 0) return fail(tname + " needs a size, e.g. " + tname + "(10)");
        if (ti->type == TypeCode::kDecimal || ti->type == TypeCode::kPDecimal) {
          if (args[0] > 31 || (args.size() == 2 && args[1] > args[0])) return fail("bad digits or places");
          f.digits = static_cast<uint8_t>(args[0]);
          f.places = args.size() == 2 ? static_cast<uint8_t>(args[1]) : 0;
          f.size = args[0] / 2 + 1;
        } else {
          if (args.size() != 1) return fail(tname + " takes one size");
          f.size = args[0];
          if (ti->type != TypeCode::kGroup) f.length = args[0];
        }
      } else if (!args.empty()) {
        return fail(tname + " takes no size");
      }
      if (w.size() == 4) {
        std::string dname, darg;
        std::vector<uint32_t> dims;
        if (!SplitCall(w[3], dname, dims, darg) || dname != "DIM" || dims.size() != 1 || dims[0] == 0) {
          return fail("expected DIM(n)");
        }
        f.dimensions = dims;
      }
      // A GROUP overlays the fields after it; the others take their bytes in turn.
      if (ti->type != TypeCode::kGroup) offset += static_cast<uint32_t>(f.StorageSize());
      out.fields.push_back(std::move(f));
    } else if (kind == "MEMO" || kind == "BLOB") {
      MemoDeclaration m;
      m.label = w[1];
      // NAME(external) may close either line.
      if (w.size() > 2) {
        std::string a, targ;
        std::vector<uint32_t> args;
        if (SplitCall(w.back(), a, args, targ) && a == "NAME" && !targ.empty()) {
          m.name = targ;
          w.pop_back();
        }
      }
      if (kind == "BLOB") {
        if (w.size() != 2) return fail("expected BLOB LABEL [NAME(external)]");
        m.flags = kMemoBlob | kMemoBinary;
      } else {
        if (w.size() < 3 || w.size() > 4) return fail("expected MEMO LABEL SIZE [BINARY] [NAME(external)]");
        char* end = nullptr;
        unsigned long size = std::strtoul(w[2].c_str(), &end, 10);
        if (*end != '\0' || size == 0 || size > 0xFFFF) return fail("bad memo size " + w[2]);
        m.max_size = static_cast<uint32_t>(size);
        if (w.size() == 4) {
          if (Upper(w[3]) != "BINARY") return fail("unknown memo attribute " + w[3]);
          m.flags |= kMemoBinary;
        }
      }
      out.memos.push_back(std::move(m));
    } else if (kind == "KEY" || kind == "INDEX") {
      if (w.size() < 3) return fail("expected KEY LABEL COMPONENTS [attributes]");
      PendingKey k{MakeKey(w[1], kind == "INDEX" ? static_cast<uint32_t>(kKeyIndex) : 0u, {}), w[2], number};
      for (size_t i = 3; i < w.size(); ++i) {
        std::string a, targ;
        std::vector<uint32_t> args;
        SplitCall(w[i], a, args, targ);
        if (a == "DUP") k.key.flags |= kKeyDup;
        else if (a == "OPT") k.key.flags |= kKeyOpt;
        else if (a == "NOCASE") k.key.flags |= kKeyNoCase;
        else if (a == "PRIMARY") k.key.flags |= kKeyPrimary;
        else if (a == "NAME" && !targ.empty()) k.key.name = targ;
        else return fail("unknown key attribute " + w[i]);
      }
      keys.push_back(std::move(k));
    } else {
      return fail("unknown item " + w[0] + " (FIELD, MEMO, BLOB, KEY or INDEX)");
    }
  }
  if (out.fields.empty()) {
    error = "no FIELD declared";
    return false;
  }
  for (PendingKey& k : keys) {
    number = k.line;
    std::stringstream ss(k.components);
    std::string c;
    while (std::getline(ss, c, ',')) {
      int sign = 1;
      if (!c.empty() && (c[0] == '+' || c[0] == '-')) {
        sign = c[0] == '-' ? -1 : 1;
        c.erase(0, 1);
      }
      int found = -1;
      for (size_t i = 0; i < out.fields.size(); ++i) {
        if (Upper(out.fields[i].label) == Upper(c)) found = static_cast<int>(i);
      }
      if (found < 0) return fail("key component " + c + " is not a field");
      k.key.components.push_back(sign * (found + 1));
    }
    if (k.key.components.empty()) return fail("a key needs components");
    out.keys.push_back(std::move(k.key));
  }
  if (ValidateDeclaration(out) != 0) {
    error = "the declaration does not hold together (fields outside the record or bad key components)";
    return false;
  }
  isam::Status st = isam::CheckTableLimits(isam::FromFileDeclaration(out));
  if (!st.ok()) {
    error = st.detail;
    return false;
  }
  return true;
}

bool WriteDeclarationText(const isam::TableDeclaration& d, std::string& text, std::string& error) {
  text.clear();
  auto name_of = [&](const isam::Text& t, const std::string& what) {
    if (!t || t->empty() || t->find_first_of(" \t#(),") != std::string::npos) {
      error = what + " has no label that a declaration text can hold";
      return false;
    }
    return true;
  };
  for (size_t i = 0; i < d.fields.size(); ++i) {
    const isam::StreamField& f = d.fields[i];
    std::string what = "field " + std::to_string(i + 1);
    if (!name_of(f.name, what)) return false;
    const TypeInfo* ti = nullptr;
    for (const TypeInfo& t : kTypes) {
      if (static_cast<uint8_t>(t.type) == f.type) ti = &t;
    }
    if (!ti) {
      error = what + " (" + *f.name + ") is of type " + std::string(FieldTypeName(f.type)) + ", which a declaration text cannot declare";
      return false;
    }
    std::string type = ti->name;
    auto type_code = static_cast<TypeCode>(f.type);
    if (type_code == TypeCode::kDecimal || type_code == TypeCode::kPDecimal) {
      type += "(" + std::to_string(f.digits) + "," + std::to_string(f.places) + ")";
    } else if (type_code == TypeCode::kString || type_code == TypeCode::kCString || type_code == TypeCode::kPString) {
      if (!f.picture) {
        type += "(" + std::to_string(f.length) + ")";
      } else if (f.declared_length == 0) {
        type += "(" + *f.picture + ")";
      } else {
        type += "(" + std::to_string(f.length) + "," + *f.picture + ")";
      }
    } else if (type_code == TypeCode::kGroup) {
      type += "(" + std::to_string(f.length) + ")";
    }
    text += "FIELD " + *f.name + " " + type + (f.elements > 1 ? " DIM(" + std::to_string(f.elements) + ")" : "") + "\n";
  }
  for (size_t i = 0; i < d.memos.size(); ++i) {
    const isam::StreamMemo& m = d.memos[i];
    if (!name_of(m.name, "memo " + std::to_string(i + 1))) return false;
    std::string external = m.external ? " NAME(" + *m.external + ")" : "";
    if (m.flags & kMemoBlob) {
      text += "BLOB " + *m.name + external + "\n";
    } else {
      text += "MEMO " + *m.name + " " + std::to_string(m.max_size) + ((m.flags & kMemoBinary) ? " BINARY" : "") + external + "\n";
    }
  }
  for (size_t i = 0; i < d.keys.size(); ++i) {
    const isam::StreamKey& k = d.keys[i];
    if (!name_of(k.name, "key " + std::to_string(i + 1))) return false;
    std::string components;
    for (const isam::StreamKeyComponent& c : k.components) {
      if (c.field >= d.fields.size()) {
        error = "key " + *k.name + " names a field that is not there";
        return false;
      }
      components += (components.empty() ? "" : ",") + std::string(c.descending ? "-" : "") + d.fields[c.field].name.value_or("");
    }
    text += "KEY " + *k.name + " " + components + ((k.flags & kKeyDup) ? " DUP" : "") + ((k.flags & kKeyOpt) ? " OPT" : "") +
            ((k.flags & kKeyNoCase) ? " NOCASE" : "") + ((k.flags & kKeyPrimary) ? " PRIMARY" : "") +
            (k.external ? " NAME(" + *k.external + ")" : "") + "\n";
  }
  // The text must make exactly this declaration again; what it cannot say is refused.
  FileDeclaration parsed;
  std::string why;
  if (!ParseDeclarationText(text, parsed, why)) {
    error = "the declaration cannot be written as text: " + why;
    return false;
  }
  isam::TableDeclaration again = isam::FromFileDeclaration(parsed);
  if (again == d) return true;
  std::string differs;
  for (size_t i = 0; differs.empty() && i < d.fields.size() && i < again.fields.size(); ++i) {
    if (!(d.fields[i] == again.fields[i])) differs = "field " + std::to_string(i + 1) + " (" + d.fields[i].name.value_or("") + ")";
  }
  for (size_t i = 0; differs.empty() && i < d.memos.size() && i < again.memos.size(); ++i) {
    if (!(d.memos[i] == again.memos[i])) differs = "memo " + std::to_string(i + 1);
  }
  if (differs.empty()) differs = isam::CompareDeclarations(d, again);
  error = "a declaration text cannot make this table's declaration again (it differs in " +
          (differs.empty() ? std::string("its keys") : differs) + ")";
  return false;
}

int RunCreate(int argc, char** argv, std::FILE* out, std::FILE* err) {
  if (argc != 2) {
    std::fprintf(err, "usage: tvx create FILE DECLARATION   (DECLARATION: a file, or - for standard input)\n");
    return 2;
  }
  std::string text, error;
  if (!ReadSource(argv[1], text, error)) {
    std::fprintf(err, "tvx create: %s\n", error.c_str());
    return 2;
  }
  FileDeclaration decl;
  if (!ParseDeclarationText(text, decl, error)) {
    std::fprintf(err, "tvx create: %s: %s\n", argv[1], error.c_str());
    return 2;
  }
  isam::FileName fn = isam::SplitFileName(argv[0]);
  std::string path = isam::ResolvePhysicalPath(fn.physical);
  {
    std::unique_ptr<isam::IsamFile> file;
    isam::PageStoreOptions ro;
    ro.read_only = true;
    if (isam::IsamFile::Open(path, ro, file).ok()) {
      uint32_t number = 0;
      bool found = false;
      if (!file->FindTable(fn.table, number, found).ok() || found) {
        std::fprintf(err, "tvx create: %s already holds a table %s; nothing changed\n", path.c_str(), fn.table.c_str());
        return 2;
      }
    } else if (std::ifstream(path).good()) {
      std::fprintf(err, "tvx create: %s exists and is not a data file; nothing changed\n", path.c_str());
      return 2;
    }
  }
  isam::OpenedTable created;
  isam::Status st = isam::CreateTable(argv[0], isam::FromFileDeclaration(decl), isam::IsamStoreDefaults(), created);
  if (!st.ok()) {
    std::fprintf(err, "tvx create: %s: %s (error %d)\n", path.c_str(), st.detail.c_str(), st.code);
    return 2;
  }
  std::fprintf(out, "%s: table %s created (%zu fields, %zu keys, record length %u)\n", path.c_str(), fn.table.c_str(),
               decl.fields.size(), decl.keys.size(), created.declaration.record_length);
  return 0;
}

}  // namespace cinevo::tvx
