#include "runtime/data/isam/declaration_stream.h"

#include <algorithm>
#include <cctype>

#include "runtime/data/isam/byte_order.h"

namespace cinevo::isam {
namespace {

bool IsDecimalType(uint8_t t) { return t == 10 || t == 11; }
bool IsStringType(uint8_t t) { return t == 18 || t == 19 || t == 20; }

void PutText(std::string& out, const Text& text) {
  if (!text) {
    out.append("\0\1", 2);
  } else if (text->empty()) {
    out.append("\0\0", 2);
  } else {
    out.append(*text);
    out.push_back('\0');
  }
}

class Reader {
 public:
  explicit Reader(std::string_view in) : in_(in) {}
  bool ok() const { return ok_; }
  bool done() const { return pos_ == in_.size(); }
  uint8_t U8() {
    if (pos_ + 1 > in_.size()) return Fail();
    return static_cast<uint8_t>(in_[pos_++]);
  }
  uint16_t U16() {
    if (pos_ + 2 > in_.size()) return Fail();
    uint16_t v = GetLe16(reinterpret_cast<const uint8_t*>(in_.data()) + pos_);
    pos_ += 2;
    return v;
  }
  Text ReadText() {
    if (pos_ >= in_.size()) return Fail(), Text();
    if (in_[pos_] == '\0') {
      if (pos_ + 2 > in_.size()) return Fail(), Text();
      char second = in_[pos_ + 1];
      pos_ += 2;
      if (second == '\0') return std::string();
      if (second == '\1') return std::nullopt;
      return Fail(), Text();
    }
    size_t zero = in_.find('\0', pos_);
    if (zero == std::string_view::npos) return Fail(), Text();
    std::string s(in_.substr(pos_, zero - pos_));
    pos_ = zero + 1;
    return s;
  }

 private:
  uint8_t Fail() {
    ok_ = false;
    pos_ = in_.size();
    return 0;
  }
  std::string_view in_;
  size_t pos_ = 0;
  bool ok_ = true;
};

bool SameText(const Text& a, const Text& b) {
  std::string x = a.value_or(""), y = b.value_or("");
  return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin(), [](char p, char q) {
           return std::toupper(static_cast<unsigned char>(p)) == std::toupper(static_cast<unsigned char>(q));
         });
}

}  // namespace

std::string EncodeDeclaration(const TableDeclaration& d) {
  std::string out;
  AppendLe16(out, d.version);
  AppendLe16(out, d.record_length);
  AppendLe16(out, static_cast<uint16_t>(d.fields.size()));
  AppendLe16(out, static_cast<uint16_t>(d.memos.size()));
  AppendLe16(out, static_cast<uint16_t>(d.keys.size()));
  for (const StreamField& f : d.fields) {
    out.push_back(static_cast<char>(f.type));
    AppendLe16(out, f.offset);
    PutText(out, f.name);
    AppendLe16(out, f.elements);
    AppendLe16(out, f.length);
    AppendLe16(out, f.flags);
    AppendLe16(out, f.index);
    if (IsDecimalType(f.type)) {
      out.push_back(static_cast<char>(f.digits));
      out.push_back(static_cast<char>(f.places));
    } else if (IsStringType(f.type)) {
      AppendLe16(out, f.declared_length);
      PutText(out, f.picture);
    }
  }
  for (const StreamMemo& m : d.memos) {
    PutText(out, m.external);
    PutText(out, m.name);
    AppendLe16(out, m.max_size);
    AppendLe16(out, m.flags);
  }
  for (const StreamKey& k : d.keys) {
    PutText(out, k.external);
    PutText(out, k.name);
    out.push_back(static_cast<char>(k.flags));
    AppendLe16(out, static_cast<uint16_t>(k.components.size()));
    for (const StreamKeyComponent& c : k.components) {
      AppendLe16(out, c.field);
      AppendLe16(out, c.descending);
    }
  }
  return out;
}

Status DecodeDeclaration(std::string_view stream, TableDeclaration& out) {
  Reader r(stream);
  TableDeclaration d;
  d.version = r.U16();
  d.record_length = r.U16();
  uint16_t fields = r.U16(), memos = r.U16(), keys = r.U16();
  // Every item takes at least 2 bytes, so counts beyond the stream are rejected before use.
  if (!r.ok() || size_t{fields} + memos + keys > stream.size()) {
    return Status::Internal(kCheckDeclaration, "declaration counts exceed the stream");
  }
  for (uint16_t i = 0; i < fields && r.ok(); ++i) {
    StreamField f;
    f.type = r.U8();
    f.offset = r.U16();
    f.name = r.ReadText();
    f.elements = r.U16();
    f.length = r.U16();
    f.flags = r.U16();
    f.index = r.U16();
    if (IsDecimalType(f.type)) {
      f.digits = r.U8();
      f.places = r.U8();
    } else if (IsStringType(f.type)) {
      f.declared_length = r.U16();
      f.picture = r.ReadText();
    }
    d.fields.push_back(std::move(f));
  }
  for (uint16_t i = 0; i < memos && r.ok(); ++i) {
    StreamMemo m;
    m.external = r.ReadText();
    m.name = r.ReadText();
    m.max_size = r.U16();
    m.flags = r.U16();
    d.memos.push_back(std::move(m));
  }
  for (uint16_t i = 0; i < keys && r.ok(); ++i) {
    StreamKey k;
    k.external = r.ReadText();
    k.name = r.ReadText();
    k.flags = r.U8();
    uint16_t n = r.U16();
    for (uint16_t c = 0; c < n && r.ok(); ++c) {
      StreamKeyComponent comp;
      comp.field = r.U16();
      comp.descending = r.U16();
      if (comp.field >= fields) return Status::Internal(kCheckDeclaration, "key component names no field");
      k.components.push_back(comp);
    }
    d.keys.push_back(std::move(k));
  }
  if (!r.ok()) return Status::Internal(kCheckDeclaration, "declaration stream ends early");
  if (!r.done()) return Status::Internal(kCheckDeclaration, "declaration stream has bytes left over");
  for (const StreamField& f : d.fields) {
    if (uint32_t{f.offset} + uint32_t{f.length} * std::max<uint32_t>(f.elements, 1) > d.record_length) {
      return Status::Internal(kCheckDeclaration, "field " + f.name.value_or("") + " lies outside the record");
    }
  }
  out = std::move(d);
  return Status::Ok();
}

TableDeclaration FromFileDeclaration(const FileDeclaration& decl) {
  TableDeclaration d;
  d.record_length = static_cast<uint16_t>(decl.RecordSize());
  size_t count = decl.FieldCount();
  for (size_t i = 0; i < count; ++i) {
    const FieldDeclaration& fd = decl.fields[i];
    StreamField f;
    f.type = static_cast<uint8_t>(fd.type);
    f.offset = static_cast<uint16_t>(fd.offset);
    f.name = fd.label;
    f.elements = static_cast<uint16_t>(fd.ElementCount());
    f.length = static_cast<uint16_t>(fd.size);
    if (IsDecimalType(f.type)) {
      f.digits = fd.digits;
      f.places = fd.places;
    } else if (IsStringType(f.type)) {
      f.declared_length = static_cast<uint16_t>(fd.length);
      if (!fd.picture.empty()) f.picture = fd.picture;
    }
    d.fields.push_back(std::move(f));
  }
  for (const MemoDeclaration& md : decl.memos) {
    StreamMemo m;
    if (!md.name.empty()) m.external = md.name;
    m.name = md.label;
    m.max_size = static_cast<uint16_t>(md.max_size);
    m.flags = md.flags & (kMemoBinary | kMemoBlob);
    if (md.IsBlob()) d.version = 2;
    d.memos.push_back(std::move(m));
  }
  for (const KeyDeclaration& kd : decl.keys) {
    StreamKey k;
    if (!kd.name.empty()) k.external = kd.name;
    k.name = kd.label;
    k.flags = static_cast<uint8_t>(kd.flags & (kKeyDup | kKeyOpt | kKeyNoCase | kKeyPrimary));
    for (int32_t c : kd.components) {
      StreamKeyComponent comp;
      comp.field = static_cast<uint16_t>((c < 0 ? -c : c) - 1);
      comp.descending = c < 0 ? 1 : 0;
      k.components.push_back(comp);
    }
    d.keys.push_back(std::move(k));
  }
  return d;
}

std::string CompareDeclarations(const TableDeclaration& s, const TableDeclaration& p) {
  if (s.version != p.version) return "version";
  if (s.record_length != p.record_length) return "record length";
  if (s.fields.size() != p.fields.size()) return "number of fields";
  if (s.memos.size() != p.memos.size()) return "number of memos";
  if (s.keys.size() != p.keys.size()) return "number of keys";
  for (size_t i = 0; i < s.fields.size(); ++i) {
    const StreamField& a = s.fields[i];
    const StreamField& b = p.fields[i];
    std::string what = "field " + std::to_string(i + 1) + " ";
    if (a.type != b.type) return what + "type";
    if (a.offset != b.offset) return what + "offset";
    if (!SameText(a.name, b.name)) return what + "name";
    if (a.elements != b.elements || a.length != b.length) return what + "size";
    if (a.digits != b.digits || a.places != b.places) return what + "digits";
    if (a.declared_length != b.declared_length) return what + "declared length";
  }
  for (size_t i = 0; i < s.memos.size(); ++i) {
    if (!SameText(s.memos[i].name, p.memos[i].name)) return "memo " + std::to_string(i + 1) + " name";
    if ((s.memos[i].flags ^ p.memos[i].flags) & kMemoBlob) return "memo " + std::to_string(i + 1) + " kind";
  }
  for (size_t i = 0; i < s.keys.size(); ++i) {
    const StreamKey& a = s.keys[i];
    const StreamKey& b = p.keys[i];
    std::string what = "key " + std::to_string(i + 1) + " ";
    if (!SameText(a.name, b.name)) return what + "name";
    if ((a.flags & ~kKeyPrimary) != (b.flags & ~kKeyPrimary)) return what + "flags";
    if (a.components != b.components) return what + "components";
  }
  return {};
}

size_t LongestKeyEntry(const TableDeclaration& d) {
  size_t longest = 0;
  for (const StreamKey& k : d.keys) {
    size_t bytes = 4 + 1 + ((k.flags & kKeyDup) ? 4 : 0) + 4;
    for (const StreamKeyComponent& c : k.components) {
      if (c.field < d.fields.size()) bytes += d.fields[c.field].length;
    }
    longest = std::max(longest, bytes);
  }
  return longest;
}

}  // namespace cinevo::isam
