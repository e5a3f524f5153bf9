#include "runtime/data/isam/page_store.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "runtime/data/isam/btree.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/faulty_file_io.h"
#include "runtime/data/isam/format_check.h"

namespace cinevo::isam {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// One record of the given payload size whose bytes have no runs (so the page is not compressed).
Record One(size_t payload) {
  std::string bytes = "\xFFkey";
  for (size_t i = 0; i < payload; ++i) bytes.push_back(static_cast<char>(i % 7 + 'a'));
  return Record{bytes, 4};
}

// The key of record n: keys sort by number.
std::string NumberKey(uint32_t n) {
  std::string k = "\xFF";
  AppendBe32(k, n);
  return k;
}

// A cache of four pages and none kept apart for index pages: nearly every lookup reads pages.
void UseATinyCache(PageStoreOptions& options) {
  options.cache_limit = 4;
  options.cache_low = 2;
  options.index_cache_limit = 0;
}

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("isam_store_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "S.TVX").string();
    options_.sync = false;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  // A new file holding one record (One(50)).
  void WriteOneRecord() {
    std::unique_ptr<PageStore> store;
    ASSERT_TRUE(PageStore::Create(path_, options_, store).ok());
    BTree tree(*store);
    bool flag = false;
    ASSERT_TRUE(tree.Insert(One(50), flag).ok());
    ASSERT_TRUE(store->Commit().ok());
  }

  std::filesystem::path dir_;
  std::string path_;
  PageStoreOptions options_;
};


TEST(FileHeaderCodec, EmptyHeaderLayout) {
  FileHeader h;
  h.change_counter = 1;
  h.number_counter = 0x01020304;
  std::string b = EncodeHeader(h);
  ASSERT_EQ(b.size(), 0x200u);
  const auto* p = Bytes(b);
  EXPECT_EQ(GetLe16(p + 4), 0x200);
  EXPECT_EQ(GetLe32(p + 6), 0x200u);
  EXPECT_EQ(GetLe32(p + 0x0A), 0x200u);
  EXPECT_EQ(b.substr(0x0E, 4), "tArV");
  EXPECT_EQ(b.substr(0x14, 4), "\x01\x02\x03\x04") << "number counter is big-endian";
  EXPECT_EQ(GetLe32(p + 0x1C), 0xFFFFFFFFu);
  FileHeader back;
  ASSERT_TRUE(DecodeHeader(b, back).ok());
  EXPECT_EQ(back, h);
}

TEST(FileHeaderCodec, BadHeadersGive36Or90) {
  FileHeader h;
  std::string b = EncodeHeader(h);
  FileHeader out;
  EXPECT_EQ(DecodeHeader(b.substr(0, 0x1FF), out).code, kErrInvalidDataFile);
  std::string magic = b;
  magic[0x0E] = 'T';
  EXPECT_EQ(DecodeHeader(magic, out).code, kErrInvalidDataFile);
  std::string classes = b;
  PutLe32(reinterpret_cast<uint8_t*>(classes.data()) + 0x20 + 4 * 3, 0);
  PutLe32(reinterpret_cast<uint8_t*>(classes.data()) + 0x110 + 4 * 3, 4);  // 4 units is not whole class-3 pages
  Status st = DecodeHeader(classes, out);
  EXPECT_EQ(st.code, kErrFileSystem);
  EXPECT_EQ(st.file_error, kCheckClassTable);
}

TEST(FileHeaderCodec, ClassOfAnAddressAndFileLength) {
  FileHeader h;
  h.start[1] = 0; h.end[1] = 2;
  for (int i = 2; i <= 3; ++i) h.start[i] = h.end[i] = 2;
  h.start[4] = 4; h.end[4] = 12;  // gap 2..4
  for (int i = 5; i < 60; ++i) h.start[i] = h.end[i] = 12;
  EXPECT_EQ(h.ClassOf(1), 1u);
  EXPECT_EQ(h.ClassOf(2), 0u) << "in the gap";
  EXPECT_EQ(h.ClassOf(8), 4u);
  EXPECT_EQ(h.ClassOf(9), 0u) << "inside a class-4 page, not at its start";
  EXPECT_EQ(h.ClassOf(12), 0u);
  EXPECT_EQ(h.DataLength(), 12u * 256 + 0x200);
}

TEST_F(StoreTest, AGrowingPageChangesClassAndLeavesAGapThatLaterPagesUse) {
  std::unique_ptr<PageStore> store;
  ASSERT_TRUE(PageStore::Create(path_, options_, store).ok());
  BTree tree(*store);
  bool flag = false;
  ASSERT_TRUE(tree.Insert(One(100), flag).ok());
  ASSERT_TRUE(store->Commit().ok());
  const FileHeader& h = store->header();
  EXPECT_EQ(h.root, 0u);
  EXPECT_EQ(h.end[1], 1u);
  for (int c = 2; c < 60; ++c) EXPECT_EQ(h.start[c], 1u) << "empty classes above move up with class 1";

  // The page needs two units: class 2 grows upward, class 1 gives its page back.
  ASSERT_TRUE(tree.Replace(One(300), flag).ok());
  ASSERT_TRUE(store->Commit().ok());
  EXPECT_EQ(h.root, 1u);
  EXPECT_EQ(h.start[2], 1u);
  EXPECT_EQ(h.end[2], 3u);
  EXPECT_EQ(h.start[1], h.end[1]);
  EXPECT_EQ(h.committed_length, 3u * 256 + 0x200);
  EXPECT_EQ(std::filesystem::file_size(path_), h.committed_length);

  // Three units: class 3 grows upward again; the free space below class 3 is a gap now.
  ASSERT_TRUE(tree.Replace(One(600), flag).ok());
  ASSERT_TRUE(store->Commit().ok());
  EXPECT_EQ(h.root, 3u);
  EXPECT_EQ(h.start[3], 3u);
  EXPECT_EQ(h.end[3], 6u);
  EXPECT_EQ(h.start[2], h.end[2]);

  // Back to one unit: class 1 grows downward into that gap.
  uint64_t down_before = store->space_stats().grown_down;
  ASSERT_TRUE(tree.Replace(One(10), flag).ok());
  ASSERT_TRUE(store->Commit().ok());
  EXPECT_EQ(store->space_stats().grown_down, down_before + 1);
  EXPECT_LT(h.root, 3u);
  EXPECT_EQ(h.ClassOf(h.root), 1u);
  EXPECT_EQ(h.committed_length, 0x200u + 256 * h.end[1]) << "class 3 emptied, the file shrinks";
  EXPECT_EQ(std::filesystem::file_size(path_), h.committed_length);
}

TEST_F(StoreTest, InterruptedUpdateIsWalkedAndDiscarded) {
  WriteOneRecord();
  if (HasFatalFailure()) return;
  std::string good = ReadAll(path_);
  // A page of two units written past the end, header marked with the longer length.
  std::string page(512, '\xB0');
  PutLe32(reinterpret_cast<uint8_t*>(page.data()), 1);
  PutLe16(reinterpret_cast<uint8_t*>(page.data()) + 4, 300);
  std::string broken = good + page;
  PutLe32(reinterpret_cast<uint8_t*>(broken.data()) + 0x0A, static_cast<uint32_t>(broken.size()));
  WriteAll(path_, broken);

  PageStoreOptions ro = options_;
  ro.read_only = true;
  std::unique_ptr<PageStore> reader;
  ASSERT_TRUE(PageStore::Open(path_, ro, reader).ok());
  EXPECT_EQ(reader->recovered_pages(), std::vector<uint32_t>{1});
  EXPECT_EQ(ReadAll(path_), broken) << "a read-only open writes nothing";
  reader.reset();

  std::unique_ptr<PageStore> writer;
  ASSERT_TRUE(PageStore::Open(path_, options_, writer).ok());
  EXPECT_EQ(writer->recovered_pages().size(), 1u);
  EXPECT_EQ(ReadAll(path_), good) << "the unfinished pages are cut off and the header made whole";
}

// A writer may keep a file's length when its classes shrink: the bytes after the highest class
// are free. Such a file opens, reads and passes the check, and takes further updates; a length
// that ends inside the class table is still refused.
TEST_F(StoreTest, AFileLongerThanItsClassesIsWholeAndALengthInsideThemIsNot) {
  WriteOneRecord();
  if (HasFatalFailure()) return;
  std::string good = ReadAll(path_);
  std::string longer = good + std::string(512, '\xB0');
  PutLe32(reinterpret_cast<uint8_t*>(longer.data()) + 0x06, static_cast<uint32_t>(longer.size()));
  PutLe32(reinterpret_cast<uint8_t*>(longer.data()) + 0x0A, static_cast<uint32_t>(longer.size()));
  WriteAll(path_, longer);
  {
    std::unique_ptr<PageStore> store;
    ASSERT_TRUE(PageStore::Open(path_, options_, store).ok());
    std::vector<Violation> violations;
    FileSummary summary;
    ASSERT_TRUE(CheckFormat(*store, violations, summary).ok());
    EXPECT_TRUE(violations.empty()) << violations.front().text;
    EXPECT_EQ(summary.records, 1u);
    BTree tree(*store);
    Record r;
    bool found = false;
    ASSERT_TRUE(tree.Find(One(50).key(), r, found).ok());
    EXPECT_TRUE(found);
    Record second = One(20);
    second.bytes[1] = 'z';
    ASSERT_TRUE(tree.Insert(second, found).ok());
    ASSERT_TRUE(store->Commit().ok());
  }
  {
    std::unique_ptr<PageStore> store;
    ASSERT_TRUE(PageStore::Open(path_, options_, store).ok());
    std::vector<Violation> violations;
    FileSummary summary;
    ASSERT_TRUE(CheckFormat(*store, violations, summary).ok());
    EXPECT_TRUE(violations.empty());
    EXPECT_EQ(summary.records, 2u);
  }
  std::string cut = good;
  PutLe32(reinterpret_cast<uint8_t*>(cut.data()) + 0x06, 0x200);
  PutLe32(reinterpret_cast<uint8_t*>(cut.data()) + 0x0A, 0x200);
  WriteAll(path_, cut);
  std::unique_ptr<PageStore> store;
  EXPECT_EQ(PageStore::Open(path_, options_, store).code, kErrFileSystem);
}

TEST_F(StoreTest, AReaderDropsItsCachedPagesWhenTheChangeCounterMoves) {
  std::unique_ptr<PageStore> writer, reader;
  ASSERT_TRUE(PageStore::Create(path_, options_, writer).ok());
  BTree wtree(*writer);
  bool flag = false;
  ASSERT_TRUE(wtree.Insert(Record{"\xFF" "a1", 3}, flag).ok());
  ASSERT_TRUE(writer->Commit().ok());
  ASSERT_TRUE(PageStore::Open(path_, options_, reader).ok());
  BTree rtree(*reader);
  Record r;
  ASSERT_TRUE(rtree.Find("\xFF" "a2", r, flag).ok());
  EXPECT_FALSE(flag);
  ASSERT_TRUE(wtree.Insert(Record{"\xFF" "a2", 3}, flag).ok());
  ASSERT_TRUE(writer->Commit().ok());
  ASSERT_TRUE(reader->Refresh().ok());
  EXPECT_EQ(reader->header().change_counter, writer->header().change_counter);
  ASSERT_TRUE(rtree.Find("\xFF" "a2", r, flag).ok());
  EXPECT_TRUE(flag);
}

// Pages that lie one after another are read in one larger read, and the later ones are taken
// from it. Those bytes never outlive a change: neither another store's commit (seen at the next
// refresh) nor this store's own.
void ExpectRunsNeverOutliveAChange(const std::string& path, PageStoreOptions options) {
  UseATinyCache(options);
  auto key = NumberKey;
  auto record = [&](uint32_t n, char fill) { return Record{key(n) + std::string(120, fill), 5}; };
  constexpr uint32_t kCount = 6000;
  {
    // Keys in ascending order: the leaves lie one after another in the file.
    std::unique_ptr<PageStore> writer;
    ASSERT_TRUE(PageStore::Create(path, options, writer).ok());
    BTree tree(*writer);
    bool existed = false;
    for (uint32_t n = 0; n < kCount; ++n) ASSERT_TRUE(tree.Insert(record(n, 'a'), existed).ok());
    ASSERT_TRUE(writer->Commit().ok());
  }
  std::unique_ptr<PageStore> reader;
  ASSERT_TRUE(PageStore::Open(path, options, reader).ok());
  BTree rtree(*reader);
  auto expect_fills = [&](uint32_t from, uint32_t to, auto fill_of) {
    Record r;
    bool found = false;
    for (uint32_t n = from; n < to; ++n) {
      ASSERT_TRUE((n == from ? rtree.AtOrAfter(key(n), r, found) : rtree.After(key(n - 1), r, found)).ok());
      ASSERT_TRUE(found) << n;
      ASSERT_EQ(r.key(), key(n));
      ASSERT_EQ(r.bytes[r.key_length], fill_of(n)) << "record " << n;
    }
  };
  expect_fills(0, kCount, [](uint32_t) { return 'a'; });
  if (::testing::Test::HasFatalFailure()) return;

  // Another store changes records at the end, which the reader has just read in a run.
  {
    std::unique_ptr<PageStore> writer;
    ASSERT_TRUE(PageStore::Open(path, options, writer).ok());
    BTree tree(*writer);
    bool found = false;
    for (uint32_t n = kCount - 100; n < kCount; ++n) ASSERT_TRUE(tree.Replace(record(n, 'b'), found).ok());
    ASSERT_TRUE(writer->Commit().ok());
  }
  ASSERT_TRUE(reader->Refresh().ok());
  expect_fills(kCount - 100, kCount, [](uint32_t) { return 'b'; });
  if (::testing::Test::HasFatalFailure()) return;

  // The reader's own change, then lookups elsewhere, each before the one before it in the file,
  // that push the changed pages out of its small cache without reading a new run.
  bool found = false;
  for (uint32_t n = kCount - 50; n < kCount - 40; ++n) ASSERT_TRUE(rtree.Replace(record(n, 'c'), found).ok());
  ASSERT_TRUE(reader->Commit().ok());
  Record r;
  for (uint32_t n : {4800u, 3600u, 2400u, 1200u, 10u}) ASSERT_TRUE(rtree.Find(key(n), r, found).ok() && found);
  ASSERT_TRUE(rtree.Find(key(kCount - 45), r, found).ok() && found);
  EXPECT_EQ(r.bytes[r.key_length], 'c');
  expect_fills(kCount - 100, kCount, [](uint32_t n) { return n >= kCount - 50 && n < kCount - 40 ? 'c' : 'b'; });
}

TEST_F(StoreTest, PagesReadInARunNeverOutliveAChange) { ExpectRunsNeverOutliveAChange(path_, options_); }

TEST_F(StoreTest, PagesReadInARunWithoutAMappingNeverOutliveAChange) {
  options_.map_reads = false;
  ExpectRunsNeverOutliveAChange(path_, options_);
}

// Pages are copied from a mapping of the file. It follows the file as another store makes it
// longer, and when another program cuts the file short under it, a read of a page that is gone
// is an I/O error: the process goes on, and the pages the file still holds read as before.
TEST_F(StoreTest, MappedReadsFollowTheFileAndSurviveItBeingCutShort) {
  UseATinyCache(options_);
  auto key = NumberKey;
  auto insert = [&](uint32_t from, uint32_t to) {
    std::unique_ptr<PageStore> writer;
    ASSERT_TRUE((from == 0 ? PageStore::Create(path_, options_, writer) : PageStore::Open(path_, options_, writer)).ok());
    BTree tree(*writer);
    bool existed = false;
    for (uint32_t n = from; n < to; ++n) ASSERT_TRUE(tree.Insert(Record{key(n) + std::string(120, 'a' + n % 26), 5}, existed).ok());
    ASSERT_TRUE(writer->Commit().ok());
  };
  insert(0, 2000);
  std::unique_ptr<PageStore> reader;
  ASSERT_TRUE(PageStore::Open(path_, options_, reader).ok());
  BTree tree(*reader);
  Record r;
  bool found = false;
  ASSERT_TRUE(tree.Find(key(1999), r, found).ok() && found);
  const uint64_t mapped_length = std::filesystem::file_size(path_);

  insert(2000, 6000);
  ASSERT_GT(std::filesystem::file_size(path_), mapped_length);
  ASSERT_TRUE(reader->Refresh().ok());
  for (uint32_t n : {5999u, 3000u, 10u}) {
    ASSERT_TRUE(tree.Find(key(n), r, found).ok() && found) << n;
    EXPECT_EQ(r.bytes[r.key_length], static_cast<char>('a' + n % 26));
  }

  // Another program cuts the file to a tenth; the reader's header still says otherwise.
  std::filesystem::resize_file(path_, std::filesystem::file_size(path_) / 10);
  int failed = 0;
  for (uint32_t n = 5999; n > 3000; n -= 97) {
    Status st = tree.Find(key(n), r, found);
    if (!st.ok()) {
      ++failed;
      EXPECT_EQ(st.code, kErrFileSystem) << st.detail;
    }
  }
  EXPECT_GT(failed, 0) << "pages past the new end cannot be read";
}

TEST_F(StoreTest, PagesOfAnEncipheredFileReadInARunAreDeciphered) {
  options_.owner = "run owner";
  ExpectRunsNeverOutliveAChange(path_, options_);
}

TEST_F(StoreTest, OpeningMissingShortAndForeignFiles) {
  std::unique_ptr<PageStore> store;
  EXPECT_EQ(PageStore::Open(path_, options_, store).code, kErrFileNotFound);
  WriteAll(path_, std::string(100, 'x'));
  EXPECT_EQ(PageStore::Open(path_, options_, store).code, kErrInvalidDataFile);
  WriteAll(path_, std::string(0x400, 'x'));
  EXPECT_EQ(PageStore::Open(path_, options_, store).code, kErrInvalidDataFile);
  WriteAll(path_, "");
  ASSERT_TRUE(PageStore::Open(path_, options_, store).ok()) << "a file of 0 bytes is a new file";
  EXPECT_EQ(store->header().root, kNoRoot);
  BTree tree(*store);
  bool flag = false;
  ASSERT_TRUE(tree.Insert(One(5), flag).ok());
  ASSERT_TRUE(store->Commit().ok());
  EXPECT_EQ(store->header().change_counter, 1u) << "the first update of a new file";
}

TEST_F(StoreTest, InputOutputIsInWholeMultiplesOf64Bytes) {
  std::unique_ptr<PageStore> store;
  ASSERT_TRUE(PageStore::Create(path_, options_, store).ok());
  std::string out;
  EXPECT_EQ(store->ReadAt(0, 100, out).file_error, kCheckIoLength);
  EXPECT_EQ(store->ReadAt(32, 64, out).file_error, kCheckIoLength);
  EXPECT_EQ(store->WriteAt(0, std::string(65, 'x')).file_error, kCheckIoLength);
  EXPECT_TRUE(store->ReadAt(0, 64, out).ok());
}

TEST_F(StoreTest, EncipheredFilesNeedTheirOwnerText) {
  options_.owner = "secret owner";
  {
    std::unique_ptr<PageStore> store;
    ASSERT_TRUE(PageStore::Create(path_, options_, store).ok());
    BTree tree(*store);
    bool flag = false;
    for (int i = 0; i < 200; ++i) {
      ASSERT_TRUE(tree.Insert(Record{"\xFFplaintext-" + std::to_string(1000 + i) + std::string(80, 'q'), 15}, flag).ok());
    }
    ASSERT_TRUE(store->Commit().ok());
  }
  std::string raw = ReadAll(path_);
  EXPECT_EQ(raw.find("tArV"), std::string::npos);
  EXPECT_EQ(raw.find("plaintext"), std::string::npos);
  std::unique_ptr<PageStore> store;
  ASSERT_TRUE(PageStore::Open(path_, options_, store).ok());
  BTree tree(*store);
  Record r;
  bool found = false;
  ASSERT_TRUE(tree.Find("\xFFplaintext-1100", r, found).ok());
  EXPECT_TRUE(found);
  PageStoreOptions wrong = options_;
  wrong.owner = "other";
  EXPECT_EQ(PageStore::Open(path_, wrong, store).code, kErrInvalidDataFile);
  wrong.owner.clear();
  EXPECT_EQ(PageStore::Open(path_, wrong, store).code, kErrInvalidDataFile);
}

// A batch of many pages goes out in a few writes (pages that follow each other in one), also
// when the file is enciphered (in parts), and every page reads back.
TEST_F(StoreTest, ABatchOfManyPagesGoesOutInFewWritesAndReadsBack) {
  auto key = [](int i) { return "\xFFrow-" + std::to_string(100000 + i); };
  for (const char* owner : {"", "batch owner"}) {
    SCOPED_TRACE(*owner ? "enciphered" : "plain");
    options_.owner = owner;
    FaultyFileIo counter(FaultPlan{});
    {
      std::unique_ptr<PageStore> store;
      ASSERT_TRUE(PageStore::Create(path_, options_, store).ok());
      store->set_io(&counter);
      BTree tree(*store);
      bool flag = false;
      for (int i = 0; i < 4000; ++i) {
        std::string bytes = key(i);
        for (int j = 0; j < 120; ++j) bytes.push_back(static_cast<char>('a' + (i * 7 + j * 3) % 26));
        ASSERT_TRUE(tree.Insert(Record{bytes, static_cast<uint16_t>(key(i).size())}, flag).ok());
      }
      ASSERT_TRUE(store->Commit().ok());
    }
    uint64_t size = std::filesystem::file_size(path_);
    ASSERT_GT(size, 512u * 1024);
    EXPECT_LT(counter.writes(), 40u) << "for " << size / 256 << " units of pages";
    std::unique_ptr<PageStore> store;
    ASSERT_TRUE(PageStore::Open(path_, options_, store).ok());
    BTree tree(*store);
    for (int i = 0; i < 4000; i += 37) {
      Record r;
      bool found = false;
      ASSERT_TRUE(tree.Find(key(i), r, found).ok());
      EXPECT_TRUE(found) << key(i);
    }
    std::vector<Violation> violations;
    FileSummary summary;
    ASSERT_TRUE(CheckFormat(*store, violations, summary).ok());
    std::erase_if(violations, [](const Violation& v) {
      return v.check == kCheckRecordFields || v.check == kCheckDeclaration || v.check == kCheckTableCounter;
    });
    EXPECT_TRUE(violations.empty()) << violations.front().where << ": " << violations.front().text;
    EXPECT_EQ(summary.records, 4000u);
  }
}

// After most of a file is emptied, the classes that held its pages are empty far out in the
// file; a page of such a class starts right after the data instead (the file stays short).
// A commit in two steps: Prepare journals the update but leaves the file as it is, so a crash
// or an Abort then loses nothing and changes nothing; the Commit after it writes the update.
TEST_F(StoreTest, APreparedCommitLeavesTheFileAloneUntilItIsWrittenOrAbandoned) {
  WriteOneRecord();
  const std::string before = ReadAll(path_);
  Record second = One(80);
  second.bytes[1] = 'l';  // "\xFFley...": another key
  auto count = [&] {
    std::unique_ptr<PageStore> s;
    EXPECT_TRUE(PageStore::Open(path_, options_, s).ok());
    BTree t(*s);
    Record r;
    bool first = false, other = false;
    EXPECT_TRUE(t.Find(One(50).bytes.substr(0, 4), r, first).ok());
    EXPECT_TRUE(t.Find(second.bytes.substr(0, 4), r, other).ok());
    return int{first} + int{other};
  };
  std::unique_ptr<PageStore> store;
  ASSERT_TRUE(PageStore::Open(path_, options_, store).ok());
  ASSERT_NE(store->journal(), nullptr);
  BTree tree(*store);
  bool flag = false;
  ASSERT_TRUE(tree.Insert(second, flag).ok());
  ASSERT_TRUE(store->Prepare().ok());
  EXPECT_TRUE(store->journal()->hot());
  EXPECT_EQ(ReadAll(path_), before);
  store->Abort();
  EXPECT_FALSE(store->journal()->hot());
  EXPECT_EQ(ReadAll(path_), before);
  EXPECT_FALSE(store->has_changes());
  EXPECT_EQ(count(), 1);

  ASSERT_TRUE(store->Refresh().ok());
  ASSERT_TRUE(tree.Insert(second, flag).ok());
  ASSERT_TRUE(store->Prepare().ok());
  EXPECT_EQ(ReadAll(path_), before);
  ASSERT_TRUE(store->Commit().ok());
  EXPECT_FALSE(store->journal()->hot());
  EXPECT_NE(ReadAll(path_), before);
  EXPECT_FALSE(store->has_changes());
  EXPECT_EQ(count(), 2);
  // Nothing to prepare: the Commit after it has nothing to write either.
  ASSERT_TRUE(store->Prepare().ok());
  ASSERT_TRUE(store->Commit().ok());
  EXPECT_EQ(count(), 2);
}

TEST_F(StoreTest, AnEmptiedFileGrowsFromTheEndOfItsDataAgain) {
  auto key = [](int i) { return "\xFFrow-" + std::to_string(100000 + i); };
  auto record = [&](int i, int payload) {
    std::string bytes = key(i);
    for (int j = 0; j < payload; ++j) bytes.push_back(static_cast<char>('a' + (i * 7 + j * 3) % 26));
    return Record{bytes, static_cast<uint16_t>(key(i).size())};
  };
  std::unique_ptr<PageStore> store;
  ASSERT_TRUE(PageStore::Create(path_, options_, store).ok());
  BTree tree(*store);
  bool flag = false;
  for (int i = 0; i < 3000; ++i) ASSERT_TRUE(tree.Insert(record(i, 20 + i % 200), flag).ok());
  ASSERT_TRUE(store->Commit().ok());
  const uint64_t full = std::filesystem::file_size(path_);
  for (int i = 0; i < 3000; ++i) {
    if (i != 1500) {
      ASSERT_TRUE(tree.Erase(key(i), flag).ok());
    }
  }
  ASSERT_TRUE(store->Commit().ok());
  // One record at a time, each its own update, in pages of growing size.
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(tree.Insert(record(5000 + i, 100 + 60 * i), flag).ok());
    ASSERT_TRUE(store->Commit().ok());
    const FileHeader& h = store->header();
    EXPECT_EQ(std::filesystem::file_size(path_), h.committed_length);
    EXPECT_LT(h.committed_length, full / 4) << "after record " << i;
  }
  store.reset();
  ASSERT_TRUE(PageStore::Open(path_, options_, store).ok());
  std::vector<Violation> violations;
  FileSummary summary;
  ASSERT_TRUE(CheckFormat(*store, violations, summary).ok());
  std::erase_if(violations, [](const Violation& v) {
    return v.check == kCheckRecordFields || v.check == kCheckDeclaration || v.check == kCheckTableCounter;
  });
  EXPECT_TRUE(violations.empty()) << violations.front().where << ": " << violations.front().text;
  EXPECT_EQ(summary.records, 41u);
}

TEST_F(StoreTest, NumberCounterStopsBefore0xFE) {
  std::unique_ptr<PageStore> store;
  ASSERT_TRUE(PageStore::Create(path_, options_, store).ok());
  std::string raw = ReadAll(path_);
  PutBe32(reinterpret_cast<uint8_t*>(raw.data()) + 0x14, 0xFDFFFFFE);
  WriteAll(path_, raw);
  ASSERT_TRUE(PageStore::Open(path_, options_, store).ok());
  uint32_t n = 0;
  ASSERT_TRUE(store->IssueNumber(n).ok());
  EXPECT_EQ(n, 0xFDFFFFFFu);
  Status st = store->IssueNumber(n);
  EXPECT_EQ(st.code, kErrFileSystem);
  EXPECT_EQ(st.file_error, kCheckTableCounter);
}

}  // namespace
}  // namespace cinevo::isam
