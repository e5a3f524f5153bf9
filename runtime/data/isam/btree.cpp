#include "runtime/data/isam/btree.h"

#include "runtime/core/invariant.h"

#include <algorithm>

namespace cinevo::isam {
namespace {
constexpr int kMaxDepth = 48;
}

// Whether `key` falls in the leaf of a remembered path; if so `path` becomes that path. The
// leaf covers the keys from its first record (from the start, for the first leaf of the tree)
// up to, not including, the first key of the next subtree: the record after the path's entry
// in the lowest parent that has one (to the end, for the last leaf).
bool BTree::DescendFromHint(std::string_view key, Path& path, bool latest_only) {
  uint64_t epoch = store_.epoch();
  const Hint* latest = &hints_[0];
  for (const Hint& h : hints_) {
    if (h.used > latest->used) latest = &h;
  }
  for (Hint& hint : hints_) {
    if (hint.epoch != epoch || hint.path.empty() || (latest_only && &hint != latest)) continue;
    const Page& leaf = *hint.path.back().page;
    if (leaf.empty()) continue;
    if (!hint.first_leaf && CompareKeys(key, leaf.key(0)) < 0) continue;
    if (hint.bound_level >= 0) {
      const Step& s = hint.path[static_cast<size_t>(hint.bound_level)];
      if (CompareKeys(key, s.page->key(static_cast<size_t>(s.index) + 1)) >= 0) continue;
    }
    // Copy the path, leaving alone the levels that already hold the same page (a scan asks
    // for the same leaf again and again).
    path.resize(hint.path.size());
    for (size_t i = 0; i < path.size(); ++i) {
      if (path[i].page != hint.path[i].page) path[i].page = hint.path[i].page;
      path[i].index = hint.path[i].index;
      store_.MarkUsed(*path[i].page);
    }
    path.back().index = leaf.FindFloor(key);
    hint.used = ++hint_clock_;
    return true;
  }
  return false;
}

// The page at `address`, met at `depth` of a descent, the child at `index` of `parent` (or the
// root, without a parent). The upper levels of the tree are mostly the pages a remembered path
// holds at the same depth: those are taken from the path, without a lookup in the cache.
// Within one epoch a remembered page is the cache's page for its address (held pages are never
// evicted, and nothing else replaces a cached page). Below them the parent's remembered child
// pages save the lookup while the cache keeps its pages.
Status BTree::LoadAt(size_t depth, uint32_t address, PageRef& out, Page* parent, size_t index) {
  uint64_t epoch = store_.epoch();
  for (const Hint& hint : hints_) {
    if (hint.epoch == epoch && depth < hint.path.size() && hint.path[depth].page->address == address) {
      out = hint.path[depth].page;
      store_.MarkUsed(*out);
      return Status::Ok();
    }
  }
  return parent ? store_.LoadChild(*parent, index, out) : store_.Load(address, out);
}

Status BTree::Descend(std::string_view key, Path& path) {
  path_epoch_ = 0;
  // Lookups in no order of their own (each record of a key-order scan, say) seldom fall in a
  // remembered leaf, and trying the older one costs key comparisons in pages that are no longer
  // in the processor's cache. After a run of misses only the latest leaf is tried (at every
  // eighth descent both are), until one falls in again.
  bool both = hint_misses_ < kHintMissesBeforeLatestOnly || (++hint_tries_ & 7) == 0;
  if (DescendFromHint(key, path, !both)) {
    hint_misses_ = 0;
    path_epoch_ = store_.epoch();
    return Status::Ok();
  }
  ++hint_misses_;
  uint32_t address = store_.header().root;
  if (address == kNoRoot) {
    path.clear();
    return Status::Ok();
  }
  // The root's level gives the length of the path; its steps are overwritten in place.
  PageRef page;
  Status st = LoadAt(0, address, page);
  size_t levels = st.ok() ? size_t{page->level} + 1 : 0;
  if (st.ok() && levels > kMaxDepth) st = Status::Internal(kCheckTreeLevel, "tree too deep");
  if (!st.ok()) {
    path.clear();
    return st;
  }
  path.resize(levels);
  for (size_t depth = 0;; ++depth) {
    if (depth > 0) st = LoadAt(depth, address, page, path[depth - 1].page.get(), static_cast<size_t>(path[depth - 1].index));
    if (st.ok() && page->level != levels - 1 - depth) {
      st = Status::Internal(kCheckTreeLevel, "page " + std::to_string(address) + " has level " + std::to_string(page->level));
    }
    if (st.ok() && page->empty()) st = Status::Internal(kCheckEmptyPage, "empty page in the tree");
    if (!st.ok()) {
      path.clear();
      return st;
    }
    // One child's address and remembered page are read right after the search: ask for all of
    // them now (a few cache lines), so that they arrive while the search runs.
    if (depth + 1 < levels) {
      const char* addresses = reinterpret_cast<const char*>(page->children.data());
      const char* pages = reinterpret_cast<const char*>(page->child_pages.data());
      size_t address_bytes = page->children.size() * sizeof(uint32_t);
      size_t page_bytes = std::min<size_t>(page->child_pages.size() * sizeof(Page::ChildPage), 1024);
      for (size_t at = 0; at < address_bytes && at < 1024; at += 64) __builtin_prefetch(addresses + at);
      for (size_t at = 0; at < page_bytes; at += 64) __builtin_prefetch(pages + at);
    }
    int index = page->FindFloor(key);
    Step& step = path[depth];
    step.page = std::move(page);
    if (depth + 1 == levels) {
      step.index = index;
      break;
    }
    step.index = std::max(index, 0);
    address = step.page->children[static_cast<size_t>(step.index)];
  }
  Hint* oldest = &hints_[0];
  for (Hint& h : hints_) {
    if (h.used < oldest->used) oldest = &h;
  }
  path_epoch_ = store_.epoch();
  oldest->path = path;
  oldest->epoch = store_.epoch();
  oldest->used = ++hint_clock_;
  oldest->first_leaf = true;
  oldest->bound_level = -1;
  for (size_t i = 0; i + 1 < path.size(); ++i) oldest->first_leaf = oldest->first_leaf && path[i].index == 0;
  for (size_t i = path.size() - 1; i-- > 0;) {
    if (static_cast<size_t>(path[i].index) + 1 < path[i].page->size()) {
      oldest->bound_level = static_cast<int>(i);
      break;
    }
  }
  return Status::Ok();
}

// The first (or last) record of the subtree at `address`, whose root has `level`.
Status BTree::EdgeRecord(uint32_t address, uint8_t level, bool first, Record& out) {
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    PageRef page;
    ISAM_RETURN_IF_ERROR(store_.Load(address, page));
    if (page->level != level || page->empty()) return Status::Internal(kCheckTreeLevel, "bad subtree");
    size_t i = first ? 0 : page->size() - 1;
    if (level == 0) {
      page->CopyTo(i, out);
      return Status::Ok();
    }
    address = page->children[i];
    --level;
  }
  return Status::Internal(kCheckTreeLevel, "tree too deep");
}

// From the leaf at the end of `path`, the first record of the next leaf (or the last of the
// previous one).
Status BTree::StepAcross(const Path& path, bool forward, Record& out, bool& found) {
  found = false;
  for (size_t i = path.size() - 1; i-- > 0;) {
    const Page& page = *path[i].page;
    int next = path[i].index + (forward ? 1 : -1);
    if (next >= 0 && next < static_cast<int>(page.size())) {
      found = true;
      return EdgeRecord(page.children[static_cast<size_t>(next)], static_cast<uint8_t>(page.level - 1), forward, out);
    }
  }
  return Status::Ok();
}

// From the leaf at the end of a scan's `path` to the first record of the next leaf: the path
// moves along to it, so that the scan's next step starts in that leaf rather than with a
// descent. After the last leaf nothing moves (`moved` false) and the path stays.
Status BTree::StepAlong(Path& path, bool& moved) {
  moved = false;
  // The deepest level whose page has a next child.
  size_t turn = path.size() - 1;
  for (;;) {
    if (turn == 0) return Status::Ok();  // the leaf is the last of the tree
    --turn;
    if (static_cast<size_t>(path[turn].index) + 1 < path[turn].page->size()) break;
  }
  ++path[turn].index;
  for (size_t depth = turn + 1; depth < path.size(); ++depth) {
    const Step& parent = path[depth - 1];
    const size_t index = static_cast<size_t>(parent.index);
    PageRef page;
    ISAM_RETURN_IF_ERROR(LoadAt(depth, parent.page->children[index], page, parent.page.get(), index));
    if (page->level != path.size() - 1 - depth || page->empty()) return Status::Internal(kCheckTreeLevel, "bad subtree");
    path[depth] = Step{std::move(page), 0};
  }
  moved = true;
  return Status::Ok();
}

// After a descent to `key`: whether the leaf record the path ends at has that key.
bool BTree::ExactMatch(std::string_view key) const {
  if (path_.empty() || path_.back().index < 0) return false;
  return CompareKeys(path_.back().page->key(static_cast<size_t>(path_.back().index)), key) == 0;
}

Status BTree::Find(std::string_view key, Record& out, bool& found) {
  ISAM_RETURN_IF_ERROR(Descend(key, path_));
  found = ExactMatch(key);
  if (found) path_.back().page->CopyTo(static_cast<size_t>(path_.back().index), out);
  return Status::Ok();
}

Status BTree::AppendPayload(std::string_view key, std::string& out, bool& found) {
  ISAM_RETURN_IF_ERROR(Descend(key, path_));
  // The key comparison waits for the record's first bytes; let the rest come meanwhile.
  if (!path_.empty() && path_.back().index >= 0) path_.back().page->Prefetch(static_cast<size_t>(path_.back().index));
  found = ExactMatch(key);
  if (found) {
    RecordView r = path_.back().page->record(static_cast<size_t>(path_.back().index));
    out.append(r.bytes.substr(r.key_length));
  }
  return Status::Ok();
}

Status BTree::AtOrAfter(std::string_view key, Record& out, bool& found) {
  found = false;
  ISAM_RETURN_IF_ERROR(Descend(key, path_));
  if (path_.empty()) return Status::Ok();
  if (ExactMatch(key)) {
    path_.back().page->CopyTo(static_cast<size_t>(path_.back().index), out);
    found = true;
    return Status::Ok();
  }
  const Page& leaf = *path_.back().page;
  size_t next = static_cast<size_t>(path_.back().index + 1);
  if (next < leaf.size()) {
    leaf.CopyTo(next, out);
    found = true;
    return Status::Ok();
  }
  return StepAcross(path_, true, out, found);
}

// Whether the path a scan last took still ends at the record with exactly `key`: the scan asks
// for the record after the one it was just given. Within one epoch the path is still a path of
// the tree (its pages held, the entries of its index pages in place); the leaf may have gained
// or lost records, which the exact match allows for.
bool BTree::ScanAt(std::string_view key) {
  if (scan_epoch_ != store_.epoch() || scan_.empty()) return false;
  const Step& leaf = scan_.back();
  if (leaf.index < 0 || static_cast<size_t>(leaf.index) >= leaf.page->size()) return false;
  if (CompareKeys(leaf.page->key(static_cast<size_t>(leaf.index)), key) != 0) return false;
  store_.MarkUsed(*leaf.page);
  return true;
}

Status BTree::After(std::string_view key, Record& out, bool& found, RecordScreen* screen) {
  found = false;
  if (!ScanAt(key)) {
    scan_epoch_ = 0;
    ISAM_RETURN_IF_ERROR(Descend(key, path_));
    scan_ = path_;  // the scan goes on from the path this descent took
    scan_epoch_ = path_epoch_;
  }
  if (scan_.empty()) return Status::Ok();
  size_t next = static_cast<size_t>(scan_.back().index + 1);
  for (;;) {
    const Page& leaf = *scan_.back().page;
    if (next >= leaf.size()) {
      // Should the screen pass by every record up to the end of the tree, the path is left in
      // the last leaf at a record that is not the one given last: the next step descends.
      bool moved = false;
      if (Status st = StepAlong(scan_, moved); !st.ok()) {
        scan_epoch_ = 0;
        return st;
      }
      if (!moved) return Status::Ok();
      next = 0;
      continue;
    }
    if (next + 1 < leaf.size()) leaf.Prefetch(next + 1);  // most likely the scan's next record
    if (screen && screen->skip(screen->context, leaf.record(next))) {
      ++screen->skipped;
      ++next;
      continue;
    }
    leaf.CopyTo(next, out);
    found = true;
    scan_.back().index = static_cast<int>(next);  // the scan's path now ends at the record given
    break;
  }
  return MovedOn(key, out, found, true);
}

// Every walk over the tree steps with After or Before from the key it was last given. A
// damaged tree (records out of order, a parent's copy that is not its child's first record)
// could hand back that key or one behind it, and the walk would never end; such a step is an
// error instead. With every step moving strictly on, a walk meets each record at most once.
Status BTree::MovedOn(std::string_view from, Record& out, bool& found, bool forward) {
  if (!found) return Status::Ok();
  int order = CompareKeys(out.key(), from);
  if (forward ? order > 0 : order < 0) return Status::Ok();
  found = false;
  scan_epoch_ = 0;
  return Status::Internal(kCheckRecordOrder, std::string("the record ") + (forward ? "after" : "before") +
                                                 " a key does not move on (records out of order)");
}

Status BTree::AtOrBefore(std::string_view key, Record& out, bool& found) {
  Path& path = path_;
  found = false;
  ISAM_RETURN_IF_ERROR(Descend(key, path));
  if (path.empty()) return Status::Ok();
  int index = path.back().index;
  if (index >= 0) {
    path.back().page->CopyTo(static_cast<size_t>(index), out);
    found = true;
    return Status::Ok();
  }
  return StepAcross(path, false, out, found);
}

Status BTree::Before(std::string_view key, Record& out, bool& found) {
  Path& path = path_;
  found = false;
  ISAM_RETURN_IF_ERROR(Descend(key, path));
  if (path.empty()) return Status::Ok();
  const Page& leaf = *path.back().page;
  int index = path.back().index;
  if (index >= 0 && CompareKeys(leaf.key(static_cast<size_t>(index)), key) == 0) --index;
  if (index >= 0) {
    leaf.CopyTo(static_cast<size_t>(index), out);
    found = true;
  } else {
    ISAM_RETURN_IF_ERROR(StepAcross(path, false, out, found));
  }
  return MovedOn(key, out, found, false);
}

Status BTree::CheckInvariants() {
  if constexpr (!kCheckInvariants) return Status::Ok();
  store_.cache().CheckInvariants();
  uint32_t root = store_.header().root;
  if (root != kNoRoot) {
    PageRef page;
    ISAM_RETURN_IF_ERROR(store_.Load(root, page));
    ISAM_RETURN_IF_ERROR(CheckSubtree(root, page->level, {}, {}, 0));
  }
  uint64_t epoch = store_.epoch();
  for (const Hint& hint : hints_) {
    if (hint.epoch == epoch) CheckPath(hint.path);
  }
  if (path_epoch_ == epoch) CheckPath(path_);
  if (scan_epoch_ == epoch) CheckPath(scan_);
  return Status::Ok();
}

// The subtree at `address` is of level `level`, and its keys lie in [low, high) (an empty
// `high`: no bound above). `low` is the parent's copy of its first record's key.
Status BTree::CheckSubtree(uint32_t address, int level, std::string_view low, std::string_view high, int depth) {
  CINEVO_INVARIANT(depth <= 64, "the tree is no deeper than 64 levels");
  PageRef page;
  ISAM_RETURN_IF_ERROR(store_.Load(address, page));
  const Page& p = *page;
  p.CheckInvariants();
  CINEVO_INVARIANT(p.level == level, "a child lies one level below its parent");
  CINEVO_INVARIANT(!p.empty(), "no page of the tree is empty");
  CINEVO_INVARIANT(depth == 0 || p.key(0) == low, "a parent holds its child's first key");
  CINEVO_INVARIANT(high.empty() || CompareKeys(p.key(p.size() - 1), high) < 0,
                   "a subtree's keys lie below the next record of its parent");
  if (p.level == 0) return Status::Ok();
  CINEVO_INVARIANT(p.children.size() == p.size(), "an index page has one child per record");
  // Copies: the records are needed after the page may have left the cache.
  std::vector<Record> records = RecordsOf(p);
  std::vector<uint32_t> children = p.children;
  page.reset();
  for (size_t i = 0; i < records.size(); ++i) {
    std::string_view next = i + 1 < records.size() ? records[i + 1].key() : high;
    ISAM_RETURN_IF_ERROR(CheckSubtree(children[i], level - 1, records[i].key(), next, depth + 1));
    PageRef child;
    ISAM_RETURN_IF_ERROR(store_.Load(children[i], child));
    CINEVO_INVARIANT(child->record(0).bytes == std::string_view(records[i].bytes),
                     "a parent's record for a child is a whole copy of the child's first record");
  }
  return Status::Ok();
}

// A remembered path leads from the root down, each step's page the child its parent's chosen
// record names.
void BTree::CheckPath(const Path& path) const {
  if (path.empty()) return;
  CINEVO_INVARIANT(path[0].page->address == store_.header().root, "a path starts at the root");
  for (size_t d = 0; d + 1 < path.size(); ++d) {
    const Page& parent = *path[d].page;
    int i = path[d].index;
    CINEVO_INVARIANT(i >= 0 && static_cast<size_t>(i) < parent.children.size(), "a path's step names a child");
    CINEVO_INVARIANT(path[d + 1].page->address == parent.children[static_cast<size_t>(i)],
                     "a path's next page is the child its step names");
    CINEVO_INVARIANT(path[d + 1].page->level + 1 == parent.level, "a path goes down one level at a time");
  }
  CINEVO_INVARIANT(path.back().page->level == 0, "a path ends in a leaf");
}

Status BTree::Height(int& height) {
  height = 0;
  if (store_.header().root == kNoRoot) return Status::Ok();
  PageRef root;
  ISAM_RETURN_IF_ERROR(store_.Load(store_.header().root, root));
  height = root->level + 1;
  return Status::Ok();
}

// The first record of the page at path[level_index] changed: replace its copy in each parent
// for as long as the changed entry is the parent's first. Returns the highest level (smallest
// path index) whose page changed.
size_t BTree::PropagateFirst(Path& path, size_t level_index) {
  size_t top = level_index;
  for (size_t i = level_index; i > 0; --i) {
    Step& parent = path[i - 1];
    parent.page->Replace(static_cast<size_t>(parent.index), path[i].page->record(0));
    store_.Touch(parent.page);
    top = i - 1;
    if (parent.index != 0) break;
  }
  return top;
}

// Splits `page` (child `index` of `parent`, or the root when parent is null) while the split
// rule fires, checking both halves again.
Status BTree::Split(PageRef page, PageRef parent, size_t index, int depth) {
  if (!NeedsSplit(*page)) return Status::Ok();
  if (depth > kMaxDepth) return Status::Internal(kCheckSplitTooFew, "split does not converge");
  if (page->size() < 2) return Status::Internal(kCheckSplitTooFew, "a page to split holds one record");
  // Cut at the middle record (the root of the balanced in-page tree); it goes to the half with
  // fewer records, which with this cut is always the right one, the new page.
  size_t middle = page->size() / 2;
  PageRef right = store_.NewPage(page->level);
  page->MoveTail(middle, *right);
  if (page->level > 0) {
    right->children.assign(page->children.begin() + static_cast<long>(middle), page->children.end());
    page->children.resize(middle);
  }
  store_.Touch(page);
  if (!parent) {
    parent = store_.NewPage(static_cast<uint8_t>(page->level + 1));
    parent->Append(page->record(0));
    parent->children = {page->address};
    store_.set_root(parent->address);
    index = 0;
  }
  parent->Insert(index + 1, right->record(0));
  parent->children.insert(parent->children.begin() + static_cast<long>(index + 1), right->address);
  store_.Touch(parent);
  ISAM_RETURN_IF_ERROR(Split(page, parent, index, depth + 1));
  auto it = std::find(parent->children.begin(), parent->children.end(), right->address);
  return Split(right, parent, static_cast<size_t>(it - parent->children.begin()), depth + 1);
}

// Applies the split rule from path[deepest] up to the root, then to a root that grew. The
// pages from path[changed_top] to path[deepest] changed; a page above them can only have grown
// by the split of its child, so the walk stops at the first level that needed no split.
Status BTree::FixSizes(Path& path, size_t deepest, size_t changed_top) {
  bool child_split = true;
  bool any_split = false;
  for (size_t i = deepest + 1; i-- > 0;) {
    if (!child_split && i < changed_top) break;
    child_split = NeedsSplit(*path[i].page);
    if (!child_split) continue;
    any_split = true;
    PageRef parent = i > 0 ? path[i - 1].page : nullptr;
    size_t index = i > 0 ? static_cast<size_t>(path[i - 1].index) : 0;
    ISAM_RETURN_IF_ERROR(Split(path[i].page, parent, index, 0));
  }
  if (!any_split) return Status::Ok();
  for (int guard = 0; guard < kMaxDepth; ++guard) {
    PageRef root;
    ISAM_RETURN_IF_ERROR(store_.Load(store_.header().root, root));
    if (!NeedsSplit(*root)) return Status::Ok();
    ISAM_RETURN_IF_ERROR(Split(root, nullptr, 0, 0));
  }
  return Status::Internal(kCheckSplitTooFew, "root keeps splitting");
}

Status BTree::Insert(const Record& record, bool& existed) {
  existed = false;
  if (record.bytes.size() > kMaxTreeRecord || record.key_length == 0 || record.key_length > record.bytes.size()) {
    return Status::Internal(kCheckRecordTooLong, "record of " + std::to_string(record.bytes.size()) + " bytes");
  }
  Path& path = path_;
  ISAM_RETURN_IF_ERROR(Descend(record.key(), path));
  if (path.empty()) {
    PageRef leaf = store_.NewPage(0);
    leaf->Append(record);
    store_.set_root(leaf->address);
    return Status::Ok();
  }
  Step& leaf = path.back();
  if (leaf.index >= 0 && CompareKeys(leaf.page->key(static_cast<size_t>(leaf.index)), record.key()) == 0) {
    existed = true;
    return Status::Ok();
  }
  size_t at = static_cast<size_t>(leaf.index + 1);
  leaf.page->Insert(at, record);
  store_.Touch(leaf.page);
  size_t deepest = path.size() - 1;
  size_t top = at == 0 ? PropagateFirst(path, deepest) : deepest;
  return FixSizes(path, deepest, top);
}

Status BTree::Replace(const Record& record, bool& found) {
  found = false;
  if (record.bytes.size() > kMaxTreeRecord || record.key_length == 0 || record.key_length > record.bytes.size()) {
    return Status::Internal(kCheckRecordTooLong, "record of " + std::to_string(record.bytes.size()) + " bytes");
  }
  Path& path = path_;
  ISAM_RETURN_IF_ERROR(Descend(record.key(), path));
  if (path.empty() || path.back().index < 0) return Status::Ok();
  Step& leaf = path.back();
  if (CompareKeys(leaf.page->key(static_cast<size_t>(leaf.index)), record.key()) != 0) return Status::Ok();
  found = true;
  leaf.page->Replace(static_cast<size_t>(leaf.index), record);
  store_.Touch(leaf.page);
  size_t deepest = path.size() - 1;
  size_t top = leaf.index == 0 ? PropagateFirst(path, deepest) : deepest;
  return FixSizes(path, deepest, top);
}

Status BTree::Erase(std::string_view key, bool& found) {
  found = false;
  Path& path = path_;
  ISAM_RETURN_IF_ERROR(Descend(key, path));
  if (path.empty() || path.back().index < 0) return Status::Ok();
  Step& leaf = path.back();
  if (CompareKeys(leaf.page->key(static_cast<size_t>(leaf.index)), key) != 0) return Status::Ok();
  found = true;
  size_t removed = static_cast<size_t>(leaf.index);
  leaf.page->Erase(removed);
  // Walk up while pages become empty: release them and drop their entries from the parents.
  for (size_t i = path.size() - 1;; --i) {
    PageRef& page = path[i].page;
    if (!page->empty()) {
      store_.Touch(page);
      // The page only shrank; its parents change (and may grow) when its first record went.
      if (removed != 0) return Status::Ok();
      return FixSizes(path, i, PropagateFirst(path, i));
    }
    store_.Release(page);
    if (i == 0) {
      store_.set_root(kNoRoot);
      return Status::Ok();
    }
    Page& parent = *path[i - 1].page;
    removed = static_cast<size_t>(path[i - 1].index);
    parent.Erase(removed);
    parent.children.erase(parent.children.begin() + static_cast<long>(removed));
  }
}

}  // namespace cinevo::isam
