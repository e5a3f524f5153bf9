#include "runtime/data/isam/btree.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>

#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/format_check.h"

namespace cinevo::isam {
namespace {

std::string Key(uint32_t n) {
  std::string k = "\xFF";  // transaction-marker keys: the walk relates them to no table
  AppendBe32(k, n);
  return k;
}

class TreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("isam_btree_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "T.TVX").string();
    options_.sync = false;
    ASSERT_TRUE(PageStore::Create(path_, options_, store_).ok());
    tree_ = std::make_unique<BTree>(*store_);
  }
  void TearDown() override {
    tree_.reset();
    store_.reset();
    std::filesystem::remove_all(dir_);
  }

  // Starts over with an empty file whose store caches at most `limit` clean pages.
  void RecreateWithCache(size_t limit, size_t low) {
    tree_.reset();
    store_.reset();
    options_.cache_limit = limit;
    options_.cache_low = low;
    options_.index_cache_limit = 0;  // the limit covers index pages too
    ASSERT_TRUE(PageStore::Create(path_, options_, store_).ok());
    tree_ = std::make_unique<BTree>(*store_);
  }

  void Insert(const std::string& key, const std::string& payload) {
    bool existed = false;
    Status st = tree_->Insert(Record{key + payload, static_cast<uint16_t>(key.size())}, existed);
    ASSERT_TRUE(st.ok()) << st.detail;
    ASSERT_FALSE(existed) << key;
    ASSERT_TRUE(store_->Commit().ok());
    reference_[key] = payload;
  }
  // Inserts `count` records of 120-byte payloads in the order n x step (mod count), one commit
  // each; `step` prime to `count` visits every key once.
  void InsertSpread(uint32_t count, uint32_t step) {
    for (uint32_t n = 0; n < count; ++n) {
      Insert(Key(n * step % count), std::string(120, static_cast<char>('a' + n % 5)));
      if (HasFatalFailure()) return;
    }
  }
  void Erase(const std::string& key) {
    bool found = false;
    ASSERT_TRUE(tree_->Erase(key, found).ok());
    ASSERT_TRUE(found);
    ASSERT_TRUE(store_->Commit().ok());
    reference_.erase(key);
  }

  // The file passes the full consistency walk and holds exactly the reference contents, in
  // order, forwards and backwards.
  void ExpectMatchesReference() {
    ASSERT_TRUE(tree_->CheckInvariants().ok());
    std::vector<Violation> violations;
    FileSummary summary;
    ASSERT_TRUE(CheckFormat(*store_, violations, summary).ok());
    for (const Violation& v : violations) {
      ADD_FAILURE() << v.check << " " << v.where << " " << v.text;
    }
    ASSERT_EQ(summary.records, reference_.size());
    Record r;
    bool found = false;
    ASSERT_TRUE(tree_->AtOrAfter("", r, found).ok());
    for (const auto& [key, payload] : reference_) {
      ASSERT_TRUE(found);
      ASSERT_EQ(std::string(r.key()), key);
      ASSERT_EQ(r.bytes.substr(r.key_length), payload);
      ASSERT_TRUE(tree_->After(key, r, found).ok());
    }
    EXPECT_FALSE(found);
    ASSERT_TRUE(tree_->AtOrBefore(std::string(20, '\xFF'), r, found).ok());
    for (auto it = reference_.rbegin(); it != reference_.rend(); ++it) {
      ASSERT_TRUE(found);
      ASSERT_EQ(std::string(r.key()), it->first);
      ASSERT_TRUE(tree_->Before(it->first, r, found).ok());
    }
    EXPECT_FALSE(found);
    summary_ = summary;
    ExpectEveryPageWithinTheSplitRule();
  }

  // After every update no page is left that the split rule would cut (a page that grew through
  // a changed first record of a child, or an entry from a child's split, included).
  void ExpectEveryPageWithinTheSplitRule() {
    if (store_->header().root == kNoRoot) return;
    std::vector<uint32_t> pending{store_->header().root};
    while (!pending.empty()) {
      PageRef page;
      ASSERT_TRUE(store_->Load(pending.back(), page).ok());
      pending.pop_back();
      EXPECT_FALSE(NeedsSplit(*page)) << "page " << page->address << " with " << page->size() << " records";
      if (page->level > 0) pending.insert(pending.end(), page->children.begin(), page->children.end());
    }
  }

  std::filesystem::path dir_;
  std::string path_;
  PageStoreOptions options_;
  std::unique_ptr<PageStore> store_;
  std::unique_ptr<BTree> tree_;
  std::map<std::string, std::string> reference_;
  FileSummary summary_;
};


TEST_F(TreeTest, EmptyFileHasNoRootAndOnlyAHeader) {
  EXPECT_EQ(store_->header().root, kNoRoot);
  EXPECT_EQ(store_->header().committed_length, 0x200u);
  EXPECT_EQ(store_->header().change_counter, 1u);
  EXPECT_EQ(std::filesystem::file_size(path_), 0x200u);
  Record r;
  bool found = true;
  ASSERT_TRUE(tree_->AtOrAfter("", r, found).ok());
  EXPECT_FALSE(found);
}

TEST_F(TreeTest, RandomInsertsAndDeletesKeepEveryInvariant) {
  std::mt19937 rng(12345);
  std::vector<uint32_t> live;
  int max_height = 0;
  std::set<uint32_t> classes_seen;
  for (int step = 0; step < 1400; ++step) {
    bool insert = live.empty() || rng() % 100 < 70;
    if (insert) {
      uint32_t n = rng() % 100000;
      if (reference_.count(Key(n))) continue;
      size_t len = rng() % 4 == 0 ? 300 + rng() % 900 : 20 + rng() % 200;
      std::string payload(len, static_cast<char>('a' + rng() % 26));
      for (size_t i = 0; i < len; i += 1 + rng() % 3) payload[i] = static_cast<char>(rng());
      Insert(Key(n), payload);
      live.push_back(n);
    } else {
      size_t i = rng() % live.size();
      Erase(Key(live[i]));
      live[i] = live.back();
      live.pop_back();
    }
    ExpectMatchesReference();
    if (HasFatalFailure()) return;
    max_height = std::max(max_height, summary_.height);
    for (uint32_t c = 1; c < 60; ++c) {
      if (summary_.pages_per_class[c]) classes_seen.insert(c);
    }
  }
  EXPECT_GE(max_height, 3);
  EXPECT_GE(classes_seen.size(), 4u);
  // Both ways of growing a class were taken, and boundary pages moved.
  EXPECT_GT(store_->space_stats().grown_down, 0u);
  EXPECT_GT(store_->space_stats().grown_up, 0u);
  EXPECT_GT(store_->space_stats().moved_pages, 0u);
  // Delete everything: pages are released down to an empty file again.
  for (uint32_t n : live) Erase(Key(n));
  ExpectMatchesReference();
  EXPECT_EQ(store_->header().root, kNoRoot);
  EXPECT_EQ(store_->header().committed_length, 0x200u);
  EXPECT_EQ(std::filesystem::file_size(path_), 0x200u);
}

TEST_F(TreeTest, InsertingInFrontOfTheWholeTreeKeepsTheLeftmostCopiesInOrder) {
  // Descending inserts always land before every record; leaf and parent splits follow.
  for (uint32_t n = 3000; n-- > 2000;) {
    Insert(Key(n), std::string(150, static_cast<char>('a' + n % 7)));
    if (HasFatalFailure()) return;
  }
  ExpectMatchesReference();
  EXPECT_GE(summary_.height, 3);
  for (uint32_t n = 2000; n < 3000; n += 37) {
    Record r;
    bool found = false;
    ASSERT_TRUE(tree_->Find(Key(n), r, found).ok());
    EXPECT_TRUE(found) << n;
  }
}

TEST_F(TreeTest, ParentsThatGrowThroughALongerFirstRecordAreSplitToo) {
  // Records of about 700 bytes fill leaves and parents close to the hard capacity; then the
  // first record of every leaf grows to 3,000 bytes, which still fits a half-full leaf but not
  // as the whole copy in a full parent: such a parent must split although no child split.
  for (uint32_t n = 1; n <= 600; ++n) {
    Insert(Key(10 * n), std::string(700, 's'));
    if (HasFatalFailure()) return;
  }
  // The first key of every leaf, from the pages one level above them.
  std::vector<std::string> firsts;
  std::vector<uint32_t> pending{store_->header().root};
  while (!pending.empty()) {
    PageRef page;
    ASSERT_TRUE(store_->Load(pending.back(), page).ok());
    pending.pop_back();
    if (page->level == 1) {
      for (size_t i = 0; i < page->size(); ++i) firsts.emplace_back(page->key(i));
    } else if (page->level > 1) {
      pending.insert(pending.end(), page->children.begin(), page->children.end());
    }
  }
  ASSERT_GT(firsts.size(), 40u);
  for (const std::string& first : firsts) {
    bool found = false;
    Record longer{first + std::string(3000, 'L'), static_cast<uint16_t>(first.size())};
    ASSERT_TRUE(tree_->Replace(longer, found).ok());
    ASSERT_TRUE(found);
    ASSERT_TRUE(store_->Commit().ok());
    reference_[first] = std::string(3000, 'L');
  }
  ExpectMatchesReference();
}

TEST_F(TreeTest, LookupsAtOrAfterAndBeforeMissingKeys) {
  for (uint32_t n = 10; n <= 500; n += 10) Insert(Key(n), "payload");
  Record r;
  bool found = false;
  ASSERT_TRUE(tree_->AtOrAfter(Key(15), r, found).ok());
  EXPECT_EQ(std::string(r.key()), Key(20));
  ASSERT_TRUE(tree_->AtOrBefore(Key(15), r, found).ok());
  EXPECT_EQ(std::string(r.key()), Key(10));
  ASSERT_TRUE(tree_->Find(Key(15), r, found).ok());
  EXPECT_FALSE(found);
  ASSERT_TRUE(tree_->AtOrAfter(Key(501), r, found).ok());
  EXPECT_FALSE(found);
  ASSERT_TRUE(tree_->Before(Key(10), r, found).ok());
  EXPECT_FALSE(found);
}

TEST_F(TreeTest, ReplaceChangesThePayloadAndItsCopies) {
  for (uint32_t n = 0; n < 300; ++n) Insert(Key(n), std::string(100, 'x'));
  for (uint32_t n = 0; n < 300; n += 3) {
    bool found = false;
    Record rec{Key(n) + std::string(n % 2 ? 400 : 10, 'y'), 5};
    ASSERT_TRUE(tree_->Replace(rec, found).ok());
    ASSERT_TRUE(found);
    ASSERT_TRUE(store_->Commit().ok());
    reference_[Key(n)] = rec.bytes.substr(5);
  }
  ExpectMatchesReference();
}

TEST_F(TreeTest, DuplicateInsertChangesNothing) {
  Insert(Key(1), "one");
  bool existed = false;
  ASSERT_TRUE(tree_->Insert(Record{Key(1) + "other", 5}, existed).ok());
  EXPECT_TRUE(existed);
  ExpectMatchesReference();
}

TEST_F(TreeTest, RecordsTooLongToSplitAreRefused) {
  bool existed = false;
  Status st = tree_->Insert(Record{Key(1) + std::string(kMaxTreeRecord, 'x'), 5}, existed);
  EXPECT_EQ(st.code, kErrFileSystem);
  EXPECT_EQ(st.file_error, kCheckRecordTooLong);
  store_->Abort();
  // The longest allowed record still splits cleanly, even many of them.
  for (uint32_t n = 0; n < 6; ++n) Insert(Key(n), std::string(kMaxTreeRecord - 5, static_cast<char>('0' + n)));
  ExpectMatchesReference();
}

TEST_F(TreeTest, AbortForgetsTheUpdateAndReopenSeesCommittedData) {
  for (uint32_t n = 0; n < 200; ++n) Insert(Key(n), std::string(60, 'p'));
  bool existed = false;
  ASSERT_TRUE(tree_->Insert(Record{Key(999) + "gone", 5}, existed).ok());
  store_->Abort();
  ExpectMatchesReference();
  tree_.reset();
  store_.reset();
  ASSERT_TRUE(PageStore::Open(path_, options_, store_).ok());
  tree_ = std::make_unique<BTree>(*store_);
  ExpectMatchesReference();
}

// A scan steps with After from the record it was given while records around it are added and
// removed (in its leaf and elsewhere, with splits and emptied pages in between): it must
// still see every record that stays, in order, and never one that is gone.
TEST_F(TreeTest, AScanGoesOnCorrectlyWhileRecordsAroundItChange) {
  std::mt19937 rng(21);
  for (uint32_t n = 0; n < 800; ++n) Insert(Key(n * 5), std::string(40 + n % 50, 'a'));
  if (HasFatalFailure()) return;
  Record r;
  bool found = false;
  ASSERT_TRUE(tree_->AtOrAfter("", r, found).ok());
  std::string previous;
  size_t seen = 0;
  while (found) {
    std::string key(r.key());
    ASSERT_TRUE(reference_.count(key)) << "a removed record was returned";
    if (!previous.empty()) {
      auto expected = reference_.upper_bound(previous);
      ASSERT_NE(expected, reference_.end());
      ASSERT_EQ(expected->first, key) << "a record was skipped after " << seen << " steps";
    }
    previous = key;
    ++seen;
    // Change the tree around the scan: the next key, a key just behind, something far away.
    uint32_t here = GetBe32(Bytes(key) + 1);
    int action = static_cast<int>(rng() % 4);
    if (action == 0) {
      std::string k = Key(here + 1 + rng() % 3);
      if (!reference_.count(k)) Insert(k, std::string(30, 'n'));
    } else if (action == 1 && here >= 5) {
      std::string k = Key(here - 5);
      if (reference_.count(k)) Erase(k);
    } else if (action == 2) {
      auto next = reference_.upper_bound(key);
      if (next != reference_.end() && rng() % 2 == 0) Erase(std::string(next->first));
    } else {
      std::string k = Key(4000 + static_cast<uint32_t>(rng() % 1000));
      if (!reference_.count(k)) Insert(k, std::string(200, 'f'));
    }
    if (HasFatalFailure()) return;
    ASSERT_TRUE(tree_->CheckInvariants().ok());
    ASSERT_TRUE(tree_->After(key, r, found).ok());
  }
  EXPECT_EQ(previous, reference_.rbegin()->first);
  ExpectMatchesReference();
}

// A scan with a screen gives exactly the records the screen keeps, across leaves, and counts the
// others; a scan screened to the end of the tree finds nothing, and the next step from the same
// key, unscreened, still gives the record after it.
TEST_F(TreeTest, AScreenedScanPassesByTheRecordsItSkips) {
  for (uint32_t n = 0; n < 900; ++n) Insert(Key(n), std::string(60, static_cast<char>('a' + n % 7)));
  if (HasFatalFailure()) return;
  auto skip_c_and_d = [](const void*, RecordView r) {
    const char c = r.bytes[r.key_length];
    return c == 'c' || c == 'd';
  };
  RecordScreen screen{+skip_c_and_d, nullptr, 0};
  Record r;
  bool found = false;
  std::vector<std::string> got, want;
  for (const auto& [key, payload] : reference_) {
    if (payload[0] != 'c' && payload[0] != 'd') want.push_back(key);
  }
  ASSERT_TRUE(tree_->AtOrAfter("", r, found).ok());
  while (found) {
    got.emplace_back(r.key());
    ASSERT_TRUE(tree_->After(got.back(), r, found, &screen).ok());
  }
  EXPECT_EQ(got, want);
  EXPECT_EQ(screen.skipped, reference_.size() - want.size());

  auto skip_all = [](const void*, RecordView) { return true; };
  RecordScreen everything{+skip_all, nullptr, 0};
  ASSERT_TRUE(tree_->After(Key(10), r, found, &everything).ok());
  EXPECT_FALSE(found);
  EXPECT_EQ(everything.skipped, 889u);
  ASSERT_TRUE(tree_->After(Key(10), r, found).ok());
  ASSERT_TRUE(found);
  EXPECT_EQ(std::string(r.key()), Key(11));
}

TEST_F(TreeTest, SmallCacheStillServesALargeTree) {
  RecreateWithCache(3, 2);
  if (HasFatalFailure()) return;
  InsertSpread(600, 7);
  if (HasFatalFailure()) return;
  ExpectMatchesReference();
  EXPECT_GT(store_->cache().evictions(), 0u);
}

// A descent reaches a child through the page object its parent remembers for it, while the
// cache has let no page go since. Through a cache that turns over at every load, and after a
// parent's child address changes, every child reached is still the page at that address.
TEST_F(TreeTest, RememberedChildPagesAreAlwaysThePagesAtTheirAddresses) {
  RecreateWithCache(4, 2);
  if (HasFatalFailure()) return;
  InsertSpread(800, 13);
  if (HasFatalFailure()) return;
  PageRef root;
  ASSERT_TRUE(store_->Load(store_->header().root, root).ok());
  ASSERT_GE(root->level, 2) << "the test needs children that are index pages";
  std::mt19937 rng(5);
  auto expect_child = [&](size_t i) {
    PageRef child, grandchild;
    ASSERT_TRUE(store_->LoadChild(*root, i, child).ok());
    ASSERT_EQ(child->address, root->children[i]);
    EXPECT_EQ(child->key(0), root->key(i));
    size_t j = rng() % child->size();
    ASSERT_TRUE(store_->LoadChild(*child, j, grandchild).ok());
    ASSERT_EQ(grandchild->address, child->children[j]);
    EXPECT_EQ(grandchild->key(0), child->key(j));
  };
  for (int round = 0; round < 2000; ++round) {
    expect_child(rng() % root->size());
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(store_->cache().evictions(), 100u);

  // A cache large enough to keep every page: the children come from the parents' memory, and a
  // changed child address is followed.
  RecreateWithCache(1000, 20);
  if (HasFatalFailure()) return;
  reference_.clear();
  InsertSpread(800, 13);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(store_->Load(store_->header().root, root).ok());
  for (size_t i = 0; i < root->size(); ++i) expect_child(i);
  if (HasFatalFailure()) return;
  uint64_t evictions = store_->cache().evictions();
  PageRef first, again;
  ASSERT_TRUE(store_->LoadChild(*root, 0, first).ok());
  ASSERT_TRUE(store_->LoadChild(*root, 0, again).ok());
  EXPECT_EQ(first.get(), again.get());
  std::swap(root->children[0], root->children[1]);
  ASSERT_TRUE(store_->LoadChild(*root, 0, again).ok());
  EXPECT_EQ(again->address, root->children[0]);
  EXPECT_NE(first.get(), again.get());
  std::swap(root->children[0], root->children[1]);
  EXPECT_EQ(store_->cache().evictions(), evictions);
}

// A long update keeps every page it changed until its commit; the commit then gives back what
// exceeds the limit, keeping only the pages someone still holds (the tree's remembered paths).
TEST_F(TreeTest, ACommitOfManyPagesGivesTheCacheBackToItsLimit) {
  RecreateWithCache(10, 4);
  if (HasFatalFailure()) return;
  bool existed = false;
  for (uint32_t n = 0; n < 3000; ++n) {
    ASSERT_TRUE(tree_->Insert(Record{Key(n * 7 % 3000) + std::string(150, 'p'), 5}, existed).ok());
  }
  ASSERT_GT(store_->cache().size(), 100u) << "the update's pages stay until the commit";
  ASSERT_TRUE(store_->Commit().ok());
  int height = 0;
  ASSERT_TRUE(tree_->Height(height).ok());
  EXPECT_LE(store_->cache().size(), 10u + 2 * static_cast<size_t>(height));
}

// A damaged index page whose child address leads back to a leaf already walked (forward) or
// on to one not yet reached (backward): a walk with After or Before would be handed records it
// has passed, then the same leaves again, for ever. Every step must move on, so the walk ends
// with check 9 instead.
TEST_F(TreeTest, WalksThatWouldGoRoundInADamagedTreeEndWithAnError) {
  InsertSpread(300, 7);
  ASSERT_FALSE(HasFatalFailure());
  for (bool forward : {true, false}) {
    SCOPED_TRACE(forward ? "forward" : "backward");
    PageRef root;
    ASSERT_TRUE(store_->Load(store_->header().root, root).ok());
    ASSERT_EQ(root->level, 1) << "the test wants leaves under one root";
    ASSERT_GE(root->size(), 4u);
    std::vector<uint32_t> sound = root->children;
    // Forward: the third child is the first leaf again. Backward: the second is the third.
    if (forward) root->children[2] = sound[0]; else root->children[1] = sound[2];
    store_->Touch(root);
    ASSERT_TRUE(store_->Commit().ok());
    tree_ = std::make_unique<BTree>(*store_);

    Record r;
    bool found = false;
    ASSERT_TRUE((forward ? tree_->AtOrAfter("", r, found) : tree_->AtOrBefore(std::string(8, '\xFF'), r, found)).ok());
    Status st;
    int steps = 0;
    while (found && steps < 5000) {
      std::string at(r.key());
      st = forward ? tree_->After(at, r, found) : tree_->Before(at, r, found);
      if (!st.ok()) break;
      ++steps;
    }
    EXPECT_LT(steps, 300);
    EXPECT_EQ(st.code, kErrFileSystem);
    EXPECT_EQ(st.file_error, kCheckRecordOrder);
    EXPECT_FALSE(found);

    ASSERT_TRUE(store_->Load(store_->header().root, root).ok());
    root->children = sound;
    store_->Touch(root);
    ASSERT_TRUE(store_->Commit().ok());
    tree_ = std::make_unique<BTree>(*store_);
  }
}

}  // namespace
}  // namespace cinevo::isam
