#include "runtime/data/isam/isam_build.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "runtime/core/error.h"
#include "runtime/core/eval.h"
#include "runtime/core/value_ref.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/isam_table.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {


bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }
std::span<const uint8_t> Span(const std::string& s) { return {Bytes(s), s.size()}; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// The field a component label names: the full label, else (for a label without a prefix) the
// one field whose name after its prefix matches. -1 when none or more than one.
int FieldNamed(const TableDeclaration& decl, std::string_view label) {
  for (size_t i = 0; i < decl.fields.size(); ++i) {
    if (decl.fields[i].name && SameNoCase(*decl.fields[i].name, label)) return static_cast<int>(i);
  }
  if (label.find(':') != std::string_view::npos) return -1;
  int found = -1;
  for (size_t i = 0; i < decl.fields.size(); ++i) {
    if (!decl.fields[i].name) continue;
    std::string_view name = *decl.fields[i].name;
    size_t colon = name.find(':');
    if (colon == std::string_view::npos || !SameNoCase(name.substr(colon + 1), label)) continue;
    if (found >= 0) return -1;  // ambiguous
    found = static_cast<int>(i);
  }
  return found;
}

// Binds every field of the table by its label to `image` in a scope of its own for as long as
// it lives. `image` must keep its address and size meanwhile.
class FieldScope {
 public:
  FieldScope(const TableDeclaration& decl, std::string& image) {
    PushScope(true);
    for (const StreamField& f : decl.fields) {
      TypeCode type = static_cast<TypeCode>(f.type);
      if (!f.name || !ValueRef::HasKind(type) || size_t{f.offset} + f.length > image.size()) continue;
      Bind(*f.name, ValueRef::Make(type, image.data() + f.offset, f.length, f.places));
    }
  }
  ~FieldScope() { PopScope(); }
  FieldScope(const FieldScope&) = delete;
  FieldScope& operator=(const FieldScope&) = delete;
};

bool IsBlank(std::string_view s) { return Trim(s).empty(); }

}  // namespace

const std::string* DynamicIndex::Neighbour(bool forward, bool fresh, const std::string& point) const {
  if (forward) {
    auto it = fresh ? std::lower_bound(entries.begin(), entries.end(), point)
                    : std::upper_bound(entries.begin(), entries.end(), point);
    return it == entries.end() ? nullptr : &*it;
  }
  auto it = fresh ? std::upper_bound(entries.begin(), entries.end(), point)
                  : std::lower_bound(entries.begin(), entries.end(), point);
  return it == entries.begin() ? nullptr : &*(it - 1);
}

bool ParseIndexComponents(const TableDeclaration& decl, std::string_view text, std::vector<StreamKeyComponent>& out) {
  out.clear();
  while (true) {
    size_t comma = text.find(',');
    std::string_view item = Trim(text.substr(0, comma));
    uint16_t descending = 0;
    if (!item.empty() && (item.front() == '+' || item.front() == '-')) {
      descending = item.front() == '-' ? 1 : 0;
      item = Trim(item.substr(1));
    }
    if (item.empty()) return false;
    int field = FieldNamed(decl, item);
    if (field < 0) return false;
    out.push_back(StreamKeyComponent{static_cast<uint16_t>(field), descending});
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return !out.empty();
}

DynamicIndex* IsamTable::DynamicOf(int key) {
  auto it = dynamic_.find(key);
  return it == dynamic_.end() ? nullptr : &it->second;
}

void IsamTable::DropDynamic(int key) {
  for (auto it = dynamic_.begin(); it != dynamic_.end();) {
    if (key >= 0 && it->first != key) {
      ++it;
      continue;
    }
    KeyDesc& k = keys_[static_cast<size_t>(it->first)];
    k.key = it->second.declared;
    k.dup = it->second.declared_dup;
    if (seq_.order() == Order::kKey && seq_.key() == it->first) seq_.End();  // its points meant the old entries
    it = dynamic_.erase(it);
  }
}

bool IsamTable::RouteBuild(DriverOp op, DriverArgs& args, int& result) {
  switch (op) {
    case DriverOp::kBuildDyn:
      result = BuildDynamic(args.key, args.text, {});
      return true;
    case DriverOp::kBuildDynFilter:
      result = BuildDynamic(args.key, args.text, args.text2);
      return true;
    case DriverOp::kBuildFile:
    case DriverOp::kPack:
      DropDynamic(-1);  // the declared keys are built, the dynamic ones with them
      return false;
    case DriverOp::kBuildKey:
      DropDynamic(args.key);
      return false;
    case DriverOp::kOpen:
    case DriverOp::kShare:
    case DriverOp::kClose:
      dynamic_.clear();  // an index built for one open ends with it; OPEN sets up the keys anew
      return false;
    default:
      break;
  }
  if (dynamic_.empty()) return false;
  const DynamicIndex* in_sequence = seq_.order() == Order::kKey ? DynamicOf(seq_.key()) : nullptr;
  switch (op) {
    case DriverOp::kNext:
    case DriverOp::kPrevious:
      if (!in_sequence) return false;
      result = DynamicStep(*in_sequence, op == DriverOp::kNext, true, 1);
      return true;
    case DriverOp::kSkip:
      if (!in_sequence) return false;
      result = args.count >= 0 ? DynamicStep(*in_sequence, true, false, args.count)
                               : DynamicStep(*in_sequence, false, false, -args.count);
      return true;
    case DriverOp::kBof:
    case DriverOp::kEof:
      if (!in_sequence) return false;
      result = DynamicTestEnd(*in_sequence, op == DriverOp::kEof, args);
      return true;
    case DriverOp::kGetFileKey:
    case DriverOp::kSetFileKey:
    case DriverOp::kRecordsKey: {
      const DynamicIndex* d = DynamicOf(args.key);
      if (!d) return false;
      if (op == DriverOp::kGetFileKey) {
        result = DynamicGet(*d, args.key);
      } else if (op == DriverOp::kSetFileKey) {
        result = DynamicSetFileKey(*d, args.key);
      } else {
        args.number_result = static_cast<int64_t>(d->entries.size());
        result = 0;
      }
      return true;
    }
    default:
      return false;
  }
}

int IsamTable::BuildDynamic(int key, std::string_view components, std::string_view filter) {
  if (!table_.file) return kErrFileNotOpen;
  if (key < 0 || static_cast<size_t>(key) >= keys_.size()) return kErrUnsupported;
  KeyDesc& k = keys_[static_cast<size_t>(key)];
  if (!k.on_demand) return kErrUnsupported;  // a KEY is kept by every change: only an INDEX is built so
  const DynamicIndex* before = DynamicOf(key);
  StreamKey declared = before ? before->declared : k.key;
  bool declared_dup = before ? before->declared_dup : k.dup;

  StreamKey dynamic_key = declared;
  if (!IsBlank(components)) {
    if (!ParseIndexComponents(table_.declaration, components, dynamic_key.components)) return kErrInvalidIndexString;
  } else if (declared.components.empty()) {
    return kErrInvalidIndexString;
  }
  dynamic_key.flags |= kKeyDup;

  // The filter reads a private copy of each record through its own bindings.
  std::string image(table_.declaration.record_length, '\0');
  std::unique_ptr<FieldScope> scope;  // outlives the expression compiled against it
  std::unique_ptr<CompiledExpression> condition;
  if (!IsBlank(filter)) {
    scope = std::make_unique<FieldScope>(table_.declaration, image);
    condition = CompiledExpression::Compile(filter);
    if (!condition) return ErrorCode() != 0 ? ErrorCode() : kErrInvalidExpression;
  }

  int e = Begin();
  if (e != 0) return e;
  KeyDesc desc = k;
  desc.key = dynamic_key;
  desc.dup = true;
  DynamicIndex built{declared, declared_dup, {}};
  BTree& tree = table_.file->tree();
  Status st = [&]() -> Status {
    std::string data_prefix = DataKey(table_.number, 0).substr(0, 5);
    Record r;
    bool found = false;
    ISAM_RETURN_IF_ERROR(tree.AtOrAfter(data_prefix, r, found));
    std::string record;
    while (found && StartsWith(r.key(), data_prefix)) {
      if (r.key_length != 9) return Status::Internal(kCheckRecordFields, "data record key of the wrong length");
      uint32_t recno = GetBe32(Bytes(r.bytes) + 5);
      ToImage(r.bytes.substr(r.key_length), record);
      record.resize(image.size(), '\0');
      bool wanted = keys_.HasEntry(desc, Span(record));
      if (wanted && condition) {
        std::copy(record.begin(), record.end(), image.begin());
        wanted = condition->Truth();
      }
      if (wanted) built.entries.push_back(keys_.EntryKeyFor(desc, Span(record), recno));
      std::string at(r.key());
      ISAM_RETURN_IF_ERROR(tree.After(at, r, found));
    }
    return Status::Ok();
  }();
  if (!st.ok()) return End(Fail(st), false);
  std::sort(built.entries.begin(), built.entries.end());

  DropDynamic(key);
  k.key = dynamic_key;
  k.dup = true;
  dynamic_.emplace(key, std::move(built));
  return End(0, false);
}

int IsamTable::DynamicStep(const DynamicIndex& d, bool forward, bool read, int64_t count) {
  int e = Begin();
  if (e != 0) return e;
  std::string stored;
  uint32_t recno = 0;
  for (int64_t done = 0; done < count;) {
    bool fresh = false;
    const std::string& point = seq_.From(forward, fresh);
    const std::string* entry = d.Neighbour(forward, fresh, point);
    if (!entry) return End(kErrRecordNotAvailable, false);
    seq_.MovedTo(*entry);
    recno = GetBe32(Bytes(*entry) + entry->size() - 4);
    bool exists = false;
    Status st = ReadData(recno, stored, exists);
    if (!st.ok()) return End(Fail(st), false);
    if (!exists) continue;  // deleted since the build: stepped over
    ++done;
  }
  if (!read) return End(0, false);
  return End(Load(recno, stored), false);
}

int IsamTable::DynamicTestEnd(const DynamicIndex& d, bool forward, DriverArgs& args) {
  bool fresh = false;
  const std::string& point = seq_.From(forward, fresh);
  args.number_result = d.Neighbour(forward, fresh, point) ? 0 : 1;
  return 0;
}

int IsamTable::DynamicGet(const DynamicIndex& d, int key) {
  int e = Begin();
  if (e != 0) return e;
  const KeyDesc& k = keys_[static_cast<size_t>(key)];
  std::string image(fcb_.record.begin(), fcb_.record.end());
  image.resize(table_.declaration.record_length, '\0');
  std::string value = KeyEntryKey(table_.number, k.number, EncodeKeyValue(table_.declaration, k.key, Span(image), keys_.codec()),
                                  false, 0);
  // The first entry of that value whose record still exists.
  for (auto it = std::lower_bound(d.entries.begin(), d.entries.end(), value);
       it != d.entries.end() && it->size() == value.size() + 4 && StartsWith(*it, value); ++it) {
    uint32_t recno = GetBe32(Bytes(*it) + it->size() - 4);
    std::string stored;
    bool found = false;
    Status st = ReadData(recno, stored, found);
    if (!st.ok()) return End(Fail(st), false);
    if (found) return End(Load(recno, stored), false);
  }
  return End(kErrRecordNotFound, false);
}

int IsamTable::DynamicSetFileKey(const DynamicIndex& d, int key) {
  const KeyDesc& k = keys_[static_cast<size_t>(key)];
  std::string image(fcb_.record.begin(), fcb_.record.end());
  image.resize(table_.declaration.record_length, '\0');
  std::string value = KeyEntryKey(table_.number, k.number, EncodeKeyValue(table_.declaration, k.key, Span(image), keys_.codec()),
                                  false, 0);
  // File order from the first record whose value in the index is at or after the buffer's.
  auto it = std::lower_bound(d.entries.begin(), d.entries.end(), value);
  if (it != d.entries.end()) {
    seq_.StartAt(-1, DataKey(table_.number, GetBe32(Bytes(*it) + it->size() - 4)));
  } else {
    seq_.StartAt(-1, seq_.OrderEnd(-1));
  }
  return 0;
}

}  // namespace cinevo::isam
