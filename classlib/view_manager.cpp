#include "classlib/view_manager.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "classlib/field_values.h"
#include "runtime/data/file_statements.h"

namespace cinevo::classlib {

namespace {

constexpr size_t kMaxFilterText = 4999;
constexpr uint32_t kViewOpenMode = 0x22;  // read/write, deny write

// True when `bytes` lies inside `record`.
bool Inside(std::span<const uint8_t> bytes, std::span<const uint8_t> record) {
  return !bytes.empty() && bytes.data() >= record.data() &&
         bytes.data() + bytes.size() <= record.data() + record.size();
}

// The field of `file` whose bytes `bytes` are; null when none.
const FieldDeclaration* FieldAt(const FileControlBlock& file, std::span<const uint8_t> bytes) {
  if (!Inside(bytes, file.record)) return nullptr;
  const size_t offset = static_cast<size_t>(bytes.data() - file.record.data());
  for (const FieldDeclaration& f : file.declaration->fields) {
    if (f.type == TypeCode::kEnd) break;
    if (f.offset == offset && f.type != TypeCode::kGroup) return &f;
  }
  return nullptr;
}

// A string literal of the filter language: apostrophes inside are doubled.
std::string Quoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

}  // namespace

void ClearRecordBuffer(FileControlBlock& file) {
  for (const FieldDeclaration& f : file.declaration->fields) {
    if (f.type == TypeCode::kEnd) break;
    if (f.type == TypeCode::kGroup) continue;
    ClearField(f, file.record, 0);
  }
}

void ViewManager::Init(View& view, RelationManager& primary) {
  view_ = &view;
  primary_ = &primary;
  orders_.clear();
  current_ = 0;
  opened_ = false;
  pageSize = 20;
  pagesBehind = 2;
  pagesAhead = 0;
  timeout = 60;
  UseFiles();
}

int ViewManager::UseFiles() {
  for (FileControlBlock* f : ViewFiles(view_->declaration())) {
    FileManager* m = FindFileManager(*f);
    if (m == nullptr) continue;
    if (int r = m->EnsureOpen()) return r;
  }
  return 0;
}

void ViewManager::Open() {
  if (opened_) return;
  UseFiles();
  if (cinevo::Open(view_->block(), kViewOpenMode) != 0) primary_->Me().Throw(msg::kViewOpenError);
  // The VIEW engine reads through the files' own caches; the paging parameters are kept for
  // callers that size their reads by them.
  opened_ = true;
  ApplyOrder();
  ApplyFilter();
}

// --- Sort orders ---------------------------------------------------------------------------------

int ViewManager::AddSortOrder(int key) {
  auto order = MakeSortOrder();
  order->mainKey = key;
  order->rangeList = std::make_unique<BufferedPairs>();
  if (key >= 0) order->freeElement = primary_->Me().GetComponentField(key, 1);
  orders_.push_back(std::move(order));
  current_ = orders_.size() - 1;
  SetOrderText(KeyOrderText(key, 1));
  return static_cast<int>(orders_.size());
}

std::string ViewManager::KeyOrderText(int key, int first) const {
  if (key < 0) return {};
  return primary_->Me().KeyOrderText(key, first);
}

void ViewManager::SetOrderText(std::string_view text) {
  if (orders_.empty()) return;
  CurrentOrder().order.assign(text);
}

void ViewManager::SetKeyOrder() {
  if (orders_.empty()) return;
  SortOrder& o = CurrentOrder();
  const int f = GetFreeElementPosition();
  if (f != 0) o.freeElement = primary_->Me().GetComponentField(o.mainKey, f);
  SetOrderText(KeyOrderText(o.mainKey, f == 0 ? 1 : f));
}

void ViewManager::AddRelationRange(RelationManager& manager, RelationManager& related) {
  if (orders_.empty()) return;
  SortOrder& o = CurrentOrder();
  o.limitType = kRangeFile;
  BufferedPairs links;
  manager.ListLinkingFields(related, links, false);
  const FileControlBlock& mine = primary_->Me().File();
  const FileControlBlock& theirs = related.Me().File();
  for (const FieldPairs::Pair& p : links.Pairs()) {
    // Whatever the relation's own orientation, `left` is the field of this view's file.
    std::span<uint8_t> left = p.left, right = p.right;
    if (!Inside(left, mine.record) && Inside(right, mine.record)) std::swap(left, right);
    o.rangeList->AddPair(left, right);
    o.rightFields.push_back(FieldAt(theirs, right));
  }
  SetKeyOrder();
}

void ViewManager::AddRange(RangeKind kind, std::vector<std::span<uint8_t>> sources) {
  if (orders_.empty() || kind == kRangeNone || kind == kRangeFile) return;
  SortOrder& o = CurrentOrder();
  const FileManager& me = primary_->Me();
  const auto& fields = me.File().declaration->fields;
  o.limitType = kind;
  o.ownedValues.reserve(sources.size());  // `right` spans point into these
  for (size_t i = 0; i < sources.size(); ++i) {
    // The bounds of a Range both limit component n-1.
    int component = static_cast<int>(i) + 1;
    if (kind == kRangeRange && i + 1 == sources.size() && i > 0) component = static_cast<int>(i);
    const int field = me.GetComponentField(o.mainKey, component);
    const FieldDeclaration* decl = field >= 0 ? &fields[static_cast<size_t>(field)] : nullptr;
    o.ownedValues.emplace_back(sources[i].begin(), sources[i].end());
    o.rangeList->AddPair(sources[i], o.ownedValues.back());
    o.rightFields.push_back(decl);
  }
  SetKeyOrder();
}

void ViewManager::AddFilter(std::string expression) {
  if (orders_.empty()) return;
  CurrentOrder().filter.push_back(std::move(expression));
}

int ViewManager::GetFreeElementPosition() {
  if (orders_.empty()) return 0;
  const SortOrder& o = CurrentOrder();
  int fixed = static_cast<int>(o.rangeList ? o.rangeList->Size() : 0);
  if (o.limitType == kRangeRange) fixed = fixed >= 2 ? fixed - 2 : 0;  // the bounded component is free
  const int f = fixed + 1;
  return f > primary_->Me().GetComponents(o.mainKey) ? 0 : f;
}

std::string ViewManager::GetFreeElementName() {
  const int f = GetFreeElementPosition();
  if (f == 0) return {};
  const int field = primary_->Me().GetComponentField(CurrentOrder().mainKey, f);
  if (field < 0) return {};
  return primary_->Me().File().declaration->fields[static_cast<size_t>(field)].label;
}

int ViewManager::SetSort(int n) {
  if (orders_.empty()) return 0;
  size_t wanted = static_cast<size_t>(std::max(n, 1)) - 1;
  if (wanted >= orders_.size()) wanted = orders_.size() - 1;
  if (wanted == current_) return 0;
  current_ = wanted;
  return 1;
}

// --- Texts ---------------------------------------------------------------------------------------

std::string ViewManager::ComponentName(int i) const {
  return primary_->Me().GetComponentName(CurrentOrder().mainKey, i);
}

std::string ViewManager::LimitValueText(int pair) const {
  const SortOrder& o = CurrentOrder();
  if (pair < 1 || static_cast<size_t>(pair) > o.rangeList->Size()) return {};
  const FieldPairs::Pair& p = o.rangeList->Pairs()[static_cast<size_t>(pair - 1)];
  const FieldDeclaration* decl = o.rightFields[static_cast<size_t>(pair - 1)];
  std::string text;
  bool isString = true;
  if (decl != nullptr) {
    // Read the value through a copy laid out at the declaration's offset.
    std::vector<uint8_t> record(decl->offset + p.right.size());
    std::copy(p.right.begin(), p.right.end(), record.begin() + decl->offset);
    FieldDeclaration d = *decl;
    d.dimensions.clear();
    if (d.size > p.right.size()) d.size = static_cast<uint32_t>(p.right.size());
    text = FieldText(d, record);
    isString = IsStringField(d);
  } else {
    text.assign(p.right.begin(), p.right.end());
    while (!text.empty() && text.back() == ' ') text.pop_back();
  }
  if (!isString) return text;
  std::string literal = Quoted(text);
  // The component of a range pair: pair n of a Range limits component n-1.
  int component = pair;
  if (o.limitType == kRangeRange && static_cast<size_t>(pair) == o.rangeList->Size() && pair > 1) --component;
  if (ComponentName(component).find("UPPER(") != std::string::npos) literal = "UPPER(" + literal + ")";
  return literal;
}

std::string ViewManager::FilterText() const {
  if (orders_.empty()) return {};
  const SortOrder& o = CurrentOrder();
  const int n = static_cast<int>(o.rangeList ? o.rangeList->Size() : 0);
  std::string text;
  auto term = [&](const std::string& t) {
    if (!text.empty()) text += " AND ";
    text += t;
  };
  switch (o.limitType) {
    case kRangeFixed:
    case kRangeCurrent:
    case kRangeFile:
      for (int i = 1; i <= n; ++i) term(ComponentName(i) + " = " + LimitValueText(i));
      break;
    case kRangeRange:
      for (int i = 1; i <= n - 2; ++i) term(ComponentName(i) + " = " + LimitValueText(i));
      if (n >= 2) {
        term(ComponentName(n - 1) + " >= " + LimitValueText(n - 1));
        term(ComponentName(n - 1) + " <= " + LimitValueText(n));
      }
      break;
    case kRangeNone:
      break;
  }
  for (const std::string& f : o.filter) term("(" + f + ")");
  if (text.size() > kMaxFilterText) text.resize(kMaxFilterText);
  return text;
}

void ViewManager::ApplyOrder() {
  if (orders_.empty()) return;
  if (SetProperty(view_->block(), kPropViewOrder, CurrentOrder().order) != 0) {
    primary_->Me().Throw(msg::kViewOpenError);
  }
}

void ViewManager::ApplyFilter() {
  if (orders_.empty()) return;
  // A File range's buffers keep the values the filter is built from.
  if (CurrentOrder().limitType == kRangeFile) CurrentOrder().rangeList->AssignRightToBuffer();
  if (SetProperty(view_->block(), kPropViewFilter, FilterText()) != 0) primary_->Me().Throw(msg::kViewOpenError);
}

int ViewManager::RefreshRange() {
  if (orders_.empty()) return 0;
  SortOrder& o = CurrentOrder();
  BufferedPairs& pairs = *o.rangeList;
  if (pairs.Size() == 0) return 0;
  auto differs = [](const FieldPairs::Pair& p) {
    return !std::equal(p.left.begin(), p.left.end(), p.right.begin(), p.right.end());
  };
  switch (o.limitType) {
    case kRangeRange:
    case kRangeCurrent: {
      // Any source that moved brings its value into the filter.
      bool changed = false;
      for (const FieldPairs::Pair& p : pairs.Pairs()) changed = changed || differs(p);
      if (!changed) return 0;
      pairs.AssignLeftToRight();
      ApplyFilter();
      return 1;
    }
    case kRangeFile:
      if (pairs.EqualRightBuffer()) return 0;
      ApplyFilter();
      return 1;
    default:
      return 0;
  }
}

// --- Reading -------------------------------------------------------------------------------------

int ViewManager::Reset(int n) {
  Open();
  int e = SetView(view_->block());
  if (e == 0 && n > 1) e = Skip(view_->block(), n - 1);
  return e;
}

int ViewManager::Read(bool forward) {
  while (true) {
    const int e = forward ? cinevo::Next(view_->block()) : cinevo::Previous(view_->block());
    if (e == 33) return kLevelNotify;
    if (e != 0) {
      primary_->Me().Throw(msg::kRetrievalError);
      return kLevelFatal;
    }
    const int r = ValidateRecord();
    if (r == 0) return kLevelBenign;
    if (r != 1) return kLevelNotify;
  }
}

int ViewManager::PositionAtValue(std::string_view value) {
  Open();
  const int f = GetFreeElementPosition();
  const SortOrder* o = orders_.empty() ? nullptr : &CurrentOrder();
  const FileManager& me = primary_->Me();
  const KeyInfo* key = o ? me.FindKey(o->mainKey) : nullptr;
  const int field = f == 0 || o == nullptr ? -1 : me.GetComponentField(o->mainKey, f);
  if (field < 0 || key == nullptr) {
    SetView(view_->block());
    return kLevelNotify;
  }
  const FieldDeclaration& decl = me.File().declaration->fields[static_cast<size_t>(field)];
  const std::string name = ComponentName(f);
  std::string literal;
  if (IsStringField(decl)) {
    literal = Quoted(value);
    if (name.find("UPPER(") != std::string::npos) literal = "UPPER(" + literal + ")";
  } else {
    // Only a plain number may stand in a numeric term.
    std::string number(value);
    char* end = nullptr;
    std::strtod(number.c_str(), &end);
    literal = number.empty() || end == nullptr || *end != '\0' ? "0" : number;
  }
  const bool ascending = key->fields[static_cast<size_t>(f - 1)].ascend;
  const std::string saved = FilterText();
  const std::string bound = name + (ascending ? " >= " : " <= ") + literal;
  const std::string bounded = saved.empty() ? bound : saved + " AND " + bound;

  FileControlBlock& v = view_->block();
  std::string position;
  int e = SetProperty(v, kPropViewFilter, bounded);
  if (e == 0) e = SetView(v);
  if (e == 0) e = Read(true);
  if (e == 0) position = cinevo::Position(v);
  SetProperty(v, kPropViewFilter, saved);
  if (e != 0 || position.empty()) {
    SetView(v);
    return kLevelNotify;
  }
  // The row's position under the whole filter is the same key position; when the VIEW cannot
  // take it back, it finds the row by the primary record it read.
  if (cinevo::Reset(v, position) != 0) ResetViewFile(v);
  return kLevelBenign;
}

std::string ViewManager::FreeElementText() {
  if (orders_.empty()) return {};
  const SortOrder& o = CurrentOrder();
  if (o.freeElement < 0) return {};
  const FileManager& me = primary_->Me();
  return FieldText(me.File().declaration->fields[static_cast<size_t>(o.freeElement)], me.File().record);
}

int ViewManager::Next() { return Read(true); }
int ViewManager::Previous() { return Read(false); }

void ViewManager::PrimeRecord(bool keepBuffer) {
  if (!keepBuffer) {
    for (FileControlBlock* f : ViewFiles(view_->declaration())) ClearRecordBuffer(*f);
  }
  if (!orders_.empty()) {
    const SortOrder& o = CurrentOrder();
    size_t fixed = o.rangeList ? o.rangeList->Size() : 0;
    if (o.limitType == kRangeRange) fixed = fixed >= 2 ? fixed - 2 : 0;
    if (o.limitType == kRangeNone) fixed = 0;
    const FileManager& me = primary_->Me();
    const auto& fields = me.File().declaration->fields;
    for (size_t i = 0; i < fixed; ++i) {
      const FieldPairs::Pair& p = o.rangeList->Pairs()[i];
      const int field = me.GetComponentField(o.mainKey, static_cast<int>(i) + 1);
      if (field < 0) continue;
      std::span<uint8_t> target = FieldBytes(fields[static_cast<size_t>(field)], me.File().record);
      // Copied as a string of the target's size: blank padded or cut.
      const size_t n = std::min(target.size(), p.right.size());
      std::copy_n(p.right.begin(), n, target.begin());
      std::fill(target.begin() + static_cast<long>(n), target.end(), ' ');
    }
  }
  primary_->Me().PrimeRecord(true);
}

void ViewManager::Kill() {
  orders_.clear();
  current_ = 0;
}

}  // namespace cinevo::classlib
