#include "runtime/data/isam/journal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "runtime/data/isam/btree.h"
#include "runtime/data/isam/faulty_file_io.h"
#include "runtime/data/isam/format_check.h"
#include "runtime/data/isam/page_store.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {

namespace fs = std::filesystem;

// A journal that holds originals (a cleared one restores nothing).
bool Hot(const std::string& journal) { return JournalIsHot(journal); }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

Record Numbered(uint32_t n, size_t payload, char fill) {
  std::string key = DataKey(1, n);
  std::string bytes = key;
  for (size_t i = 0; i < payload; ++i) bytes.push_back(static_cast<char>(fill + (i * 7 + n) % 13));
  return Record{bytes, static_cast<uint16_t>(key.size())};
}

class JournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("isam_journal_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    path_ = (dir_ / "J.TVX").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A file of 120 records over many pages of several classes.
  void MakeBase() {
    std::unique_ptr<PageStore> store;
    ASSERT_TRUE(PageStore::Create(path_, options_, store).ok());
    BTree tree(*store);
    bool existed = false;
    for (uint32_t n = 0; n < 120; ++n) ASSERT_TRUE(tree.Insert(Numbered(n * 2, 40 + n % 90, 'a'), existed).ok());
    ASSERT_TRUE(store->Commit().ok());
    records_ = 120;
  }
  // The second update: grows some records (pages change class), removes some, adds some.
  static void Change(BTree& tree) {
    bool flag = false;
    for (uint32_t n = 0; n < 120; n += 3) ASSERT_TRUE(tree.Replace(Numbered(n * 2, 300, 'k'), flag).ok());
    for (uint32_t n = 1; n < 120; n += 7) ASSERT_TRUE(tree.Erase(Numbered(n * 2, 0, 'a').key(), flag).ok());
    for (uint32_t n = 0; n < 40; ++n) ASSERT_TRUE(tree.Insert(Numbered(n * 2 + 1, 120, 'p'), flag).ok());
  }
  void ExpectClean() {
    std::unique_ptr<PageStore> store;
    PageStoreOptions ro = options_;
    ro.read_only = true;
    ASSERT_TRUE(PageStore::Open(path_, ro, store).ok());
    std::vector<Violation> violations;
    FileSummary summary;
    ASSERT_TRUE(CheckFormat(*store, violations, summary).ok());
    // These records belong to no declared table; only the structure of pages and tree counts.
    std::erase_if(violations, [](const Violation& v) {
      return v.check == kCheckRecordFields || v.check == kCheckDeclaration || v.check == kCheckTableCounter;
    });
    EXPECT_TRUE(violations.empty()) << violations.front().where << ": " << violations.front().text;
    EXPECT_EQ(summary.records, records_);
  }

  fs::path dir_;
  std::string path_;
  PageStoreOptions options_;
  uint64_t records_ = 0;  // leaf records the file should hold
};

TEST(JournalCodec, RoundTripAndEveryDamageIsRefused) {
  JournalContents c;
  c.original_length = 0x12345;
  c.transaction = 77;
  c.control_file = "/data/tarvex.tcf";
  c.regions = {{0, std::string(512, 'h')}, {1024, "abc"}};
  std::string bytes = EncodeJournal(c);
  JournalContents back;
  ASSERT_TRUE(DecodeJournal(bytes, back));
  EXPECT_EQ(back.original_length, c.original_length);
  EXPECT_EQ(back.transaction, 77u);
  EXPECT_EQ(back.control_file, c.control_file);
  EXPECT_EQ(back.regions, c.regions);
  // A journal cut anywhere (written only in part) is never taken for a complete one.
  for (size_t cut = 0; cut < bytes.size(); cut += 7) EXPECT_FALSE(DecodeJournal(bytes.substr(0, cut), back)) << cut;
  for (size_t at : {size_t{0}, size_t{9}, size_t{17}, size_t{30}, bytes.size() - 1}) {
    std::string flipped = bytes;
    flipped[at] ^= 0x20;
    EXPECT_FALSE(DecodeJournal(flipped, back)) << at;
  }
}

TEST_F(JournalTest, ACommitLeavesNoJournalAndTheJournalHoldsTheOriginalsMeanwhile) {
  MakeBase();
  EXPECT_FALSE(Hot(JournalPathFor(path_)));
  std::string before = ReadAll(path_);
  std::unique_ptr<PageStore> store;
  ASSERT_TRUE(PageStore::Open(path_, options_, store).ok());
  BTree tree(*store);
  Change(tree);
  store->journal()->HoldFor(5, "ctl");
  ASSERT_TRUE(store->Commit().ok());
  // Held: the journal is still there and names the transaction; replaying it gives the old file.
  JournalContents c;
  ASSERT_TRUE(DecodeJournal(ReadAll(JournalPathFor(path_)), c));
  EXPECT_EQ(c.transaction, 5u);
  EXPECT_EQ(c.control_file, "ctl");
  EXPECT_EQ(c.original_length, before.size());
  EXPECT_NE(ReadAll(path_), before);
  ASSERT_TRUE(store->UndoJournalled().ok());
  EXPECT_EQ(ReadAll(path_), before);
  EXPECT_FALSE(Hot(JournalPathFor(path_)));
  // The store reads the restored file: the first record is the original.
  Record r;
  bool found = false;
  ASSERT_TRUE(tree.Find(Numbered(0, 0, 'a').key(), r, found).ok());
  ASSERT_TRUE(found);
  EXPECT_EQ(r, Numbered(0, 40, 'a'));
  // Unheld again: an ordinary commit removes its journal.
  Change(tree);
  ASSERT_TRUE(store->Commit().ok());
  EXPECT_FALSE(Hot(JournalPathFor(path_)));
  EXPECT_TRUE(fs::exists(JournalPathFor(path_))) << "kept empty while the file is open";
  store.reset();
  EXPECT_FALSE(fs::exists(JournalPathFor(path_))) << "and removed when it is closed";
  records_ = 120 - 17 + 40;
  ExpectClean();
}

// Every write, flush and truncation of an update in turn fails (or stops halfway). The update
// then reports the error, and the file is exactly the file before it: at once when the store
// can still write (it puts the originals back itself), or after the next open when the fault
// left the process unable to write anything more.
TEST_F(JournalTest, AFaultAtAnyPointOfACommitLosesNothingAndChangesNothing) {
  MakeBase();
  const std::string before = ReadAll(path_);
  // Count the calls a clean update makes.
  FaultyFileIo counter(FaultPlan{});
  {
    fs::copy_file(path_, path_ + ".copy");
    std::unique_ptr<PageStore> store;
    ASSERT_TRUE(PageStore::Open(path_ + ".copy", options_, store).ok());
    store->set_io(&counter);
    BTree tree(*store);
    Change(tree);
    ASSERT_TRUE(store->Commit().ok());
  }
  ASSERT_GT(counter.writes(), 5u);
  ASSERT_GT(counter.syncs(), 1u);
  const std::string after = ReadAll(path_ + ".copy");
  int cases = 0;
  for (bool dead : {false, true}) {
    for (auto kind : {FaultPlan::Kind::kFailWrite, FaultPlan::Kind::kHalfWrite, FaultPlan::Kind::kFailSync,
                      FaultPlan::Kind::kFailTruncate}) {
      uint64_t calls = kind == FaultPlan::Kind::kFailSync       ? counter.syncs()
                       : kind == FaultPlan::Kind::kFailTruncate ? counter.truncates() + 1
                                                                : counter.writes();
      for (uint64_t at = 0; at < calls; ++at) {
        SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(kind) << " at " << at << " dead " << dead);
        FaultyFileIo io(FaultPlan{kind, at, dead});
        {
          std::unique_ptr<PageStore> store;
          ASSERT_TRUE(PageStore::Open(path_, options_, store).ok());
          store->set_io(&io);
          BTree tree(*store);
          Change(tree);
          Status st = store->Commit();
          if (!io.fired()) {
            // Only a truncation that this update never needed: it went through.
            ASSERT_TRUE(st.ok());
            ASSERT_EQ(ReadAll(path_), after);
            std::ofstream(path_, std::ios::binary | std::ios::trunc) << before;
            continue;
          }
          EXPECT_FALSE(st.ok());
          if (!dead) {
            EXPECT_EQ(ReadAll(path_), before);
            EXPECT_FALSE(Hot(JournalPathFor(path_)));
          }
        }
        // Reopening (with the system's own I/O) restores whatever the fault left behind.
        std::unique_ptr<PageStore> store;
        ASSERT_TRUE(PageStore::Open(path_, options_, store).ok());
        EXPECT_EQ(ReadAll(path_), before);
        EXPECT_FALSE(Hot(JournalPathFor(path_)));
        ++cases;
      }
    }
  }
  // Every planned fault struck (pages that follow each other go out in one write, so the
  // number of writes is small; every one of them counts).
  EXPECT_EQ(cases, 2 * (2 * counter.writes() + counter.syncs() + counter.truncates()));
  ExpectClean();
}

// A commit whose writes stop halfway and whose undo fails as well leaves part of the update in
// the file and the journal hot. The same store puts the file back at its next Refresh, before
// it reads anything of it, once it can write again.
TEST_F(JournalTest, AnUndoThatFailedIsDoneBeforeTheStoreReadsTheFileAgain) {
  MakeBase();
  const std::string before = ReadAll(path_);
  FaultyFileIo counter(FaultPlan{});
  {
    fs::copy_file(path_, path_ + ".copy");
    std::unique_ptr<PageStore> store;
    ASSERT_TRUE(PageStore::Open(path_ + ".copy", options_, store).ok());
    store->set_io(&counter);
    BTree tree(*store);
    Change(tree);
    ASSERT_TRUE(store->Commit().ok());
  }
  int half_updated = 0;
  for (uint64_t at = 1; at < counter.writes(); ++at) {
    SCOPED_TRACE(testing::Message() << "write " << at);
    std::unique_ptr<PageStore> store;
    ASSERT_TRUE(PageStore::Open(path_, options_, store).ok());
    FaultyFileIo io(FaultPlan{FaultPlan::Kind::kHalfWrite, at, true});
    store->set_io(&io);
    BTree tree(*store);
    Change(tree);
    ASSERT_FALSE(store->Commit().ok());
    if (ReadAll(path_) != before) {
      ++half_updated;
      EXPECT_TRUE(Hot(JournalPathFor(path_)));
    }
    store->set_io(&SystemFileIo());
    ASSERT_TRUE(store->Refresh().ok());
    EXPECT_EQ(ReadAll(path_), before);
    EXPECT_FALSE(Hot(JournalPathFor(path_)));
    Record r;
    bool found = false;
    ASSERT_TRUE(tree.Find(Numbered(0, 0, 'a').key(), r, found).ok());
    ASSERT_TRUE(found);
    EXPECT_EQ(r, Numbered(0, 40, 'a'));
  }
  EXPECT_GT(half_updated, 0);
}

TEST_F(JournalTest, AnIncompleteJournalIsDroppedAndACompleteOneReplayedAtOpen) {
  MakeBase();
  const std::string before = ReadAll(path_);
  JournalContents c;
  c.original_length = before.size();
  c.regions = {{0, before.substr(0, 512)}};
  std::string journal = EncodeJournal(c);
  // Torn: the file was not touched yet; the journal must not be applied.
  std::string scribbled = before;
  scribbled[600] ^= 1;
  std::ofstream(path_, std::ios::binary | std::ios::trunc) << scribbled;
  std::ofstream(JournalPathFor(path_), std::ios::binary) << journal.substr(0, journal.size() - 3);
  bool recovered = true;
  ASSERT_TRUE(RecoverJournal(path_, recovered).ok());
  EXPECT_FALSE(recovered);
  EXPECT_EQ(ReadAll(path_), scribbled);
  EXPECT_FALSE(Hot(JournalPathFor(path_)));
  // Complete: header back, and the file cut back to its old length.
  std::string grown = before + std::string(256, 'x');
  grown[3] ^= 0x55;
  std::ofstream(path_, std::ios::binary | std::ios::trunc) << grown;
  std::ofstream(JournalPathFor(path_), std::ios::binary) << journal;
  ASSERT_TRUE(RecoverJournal(path_, recovered).ok());
  EXPECT_TRUE(recovered);
  EXPECT_EQ(ReadAll(path_), before);
}

TEST_F(JournalTest, AJournalWhoseWriterIsAliveIsLeftAlone) {
  MakeBase();
  std::unique_ptr<PageStore> writer;
  ASSERT_TRUE(PageStore::Open(path_, options_, writer).ok());
  BTree tree(*writer);
  Change(tree);
  writer->journal()->HoldFor(9, (dir_ / "none.tcf").string());
  ASSERT_TRUE(writer->Commit().ok());
  const std::string written = ReadAll(path_);
  // Another open (same program or another) must not undo a live writer's update.
  std::unique_ptr<PageStore> reader;
  ASSERT_TRUE(PageStore::Open(path_, options_, reader).ok());
  EXPECT_EQ(ReadAll(path_), written);
  EXPECT_TRUE(Hot(JournalPathFor(path_)));
  ASSERT_TRUE(writer->journal()->Release().ok());
  EXPECT_FALSE(Hot(JournalPathFor(path_)));
}

TEST_F(JournalTest, AFileMadeAnewNeverReceivesTheJournalOfItsPredecessor) {
  MakeBase();
  JournalContents c;
  c.original_length = 4096;
  c.regions = {{0, std::string(512, 'Z')}};
  std::ofstream(JournalPathFor(path_), std::ios::binary) << EncodeJournal(c);
  std::unique_ptr<PageStore> store;
  ASSERT_TRUE(PageStore::Create(path_, options_, store).ok());
  store.reset();
  const std::string made = ReadAll(path_);
  ASSERT_TRUE(PageStore::Open(path_, options_, store).ok());
  EXPECT_EQ(ReadAll(path_), made);
  EXPECT_FALSE(fs::exists(JournalPathFor(path_)));
}

// A read-only open never writes: a journal that would have to be played back refuses the open
// (65) and stays, with the file untouched, for the next read-write open to restore it; one that
// restores nothing is left where it is and keeps no reader out.
TEST_F(JournalTest, AReadOnlyOpenNeverPlaysAJournalBackButRefusesAHalfUpdatedFile) {
  MakeBase();
  const std::string before = ReadAll(path_);
  JournalContents c;
  c.original_length = before.size();
  c.regions = {{0, before.substr(0, 512)}};
  std::string damaged = before;
  damaged[20] ^= 0x11;  // the header as a half-done update left it
  std::ofstream(path_, std::ios::binary | std::ios::trunc) << damaged;
  std::ofstream(JournalPathFor(path_), std::ios::binary) << EncodeJournal(c);
  PageStoreOptions ro = options_;
  ro.read_only = true;
  std::unique_ptr<PageStore> store;
  Status st = PageStore::Open(path_, ro, store);
  EXPECT_EQ(st.code, kErrUnableToRollback) << st.detail;
  EXPECT_EQ(ReadAll(path_), damaged);
  EXPECT_TRUE(Hot(JournalPathFor(path_)));
  // The first read-write open restores it; readers are welcome again.
  ASSERT_TRUE(PageStore::Open(path_, options_, store).ok());
  EXPECT_EQ(ReadAll(path_), before);
  store.reset();
  // A cleared journal, and a journal held for a transaction that committed (no control file
  // records it), restore nothing: the reader opens, and neither journal is touched.
  std::string cleared = EncodeJournal(c);
  cleared[0] = '\0';
  std::ofstream(JournalPathFor(path_), std::ios::binary | std::ios::trunc) << cleared;
  ASSERT_TRUE(PageStore::Open(path_, ro, store).ok());
  EXPECT_EQ(ReadAll(JournalPathFor(path_)), cleared);
  c.transaction = 77;
  c.control_file = (dir_ / "none.tcf").string();
  std::ofstream(JournalPathFor(path_), std::ios::binary | std::ios::trunc) << EncodeJournal(c);
  ASSERT_TRUE(PageStore::Open(path_, ro, store).ok());
  EXPECT_TRUE(Hot(JournalPathFor(path_)));
  EXPECT_EQ(ReadAll(path_), before);
}

// The journal is rewritten in place from one update to the next, and a journal longer than the
// one written over it leaves bytes behind that mean nothing.
TEST(JournalCodec, BytesAfterTheJournalAndTheFirstLayoutAreRead) {
  JournalContents c;
  c.original_length = 4096;
  c.regions = {{512, std::string(300, 'q')}};
  std::string bytes = EncodeJournal(c);
  JournalContents back;
  ASSERT_TRUE(DecodeJournal(bytes + std::string(1000, 'x'), back));
  EXPECT_EQ(back.regions, c.regions);
  std::string cleared = bytes;
  cleared[0] = '\0';
  EXPECT_FALSE(DecodeJournal(cleared, back));
  // The first layout: no length of its own, the hash ends the file.
  std::string v1 = "CVJRNL1\n";
  auto put = [&](uint64_t v, int n) {
    for (int i = 0; i < n; ++i) v1.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  put(4096, 8);
  put(1, 4);
  put(0, 4);
  put(0, 2);
  put(512, 8);
  put(300, 4);
  v1 += std::string(300, 'q');
  uint64_t h = 1469598103934665603ull;
  for (char ch : v1) {
    h ^= static_cast<uint8_t>(ch);
    h *= 1099511628211ull;
  }
  put(h, 8);
  ASSERT_TRUE(DecodeJournal(v1, back));
  EXPECT_EQ(back.original_length, 4096u);
  EXPECT_EQ(back.regions, c.regions);
}

TEST_F(JournalTest, ReadOnlyStoresAndStoresWithoutJournalWriteNone) {
  MakeBase();
  PageStoreOptions plain = options_;
  plain.journal = false;
  std::unique_ptr<PageStore> store;
  ASSERT_TRUE(PageStore::Open(path_, plain, store).ok());
  EXPECT_EQ(store->journal(), nullptr);
  BTree tree(*store);
  Change(tree);
  ASSERT_TRUE(store->Commit().ok());
  EXPECT_FALSE(Hot(JournalPathFor(path_)));
  plain.read_only = true;
  ASSERT_TRUE(PageStore::Open(path_, plain, store).ok());
  EXPECT_EQ(store->journal(), nullptr);
}

// A file of `size` bytes whose every byte tells its position (so a byte put back in the wrong
// place shows).
std::string Patterned(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('A' + (i * 31 + i / 251) % 53);
  return bytes;
}

// Overlapping and adjoining regions are saved as one; the journal still gives back every byte.
TEST_F(JournalTest, RegionsThatMeetAreSavedAsOneAndPutBackExactly) {
  const std::string original = Patterned(8192);
  WriteAll(path_, original);
  int fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  {
    Journal journal(path_, &SystemFileIo(), false);
    journal.HoldFor(9, "ctl");  // held: the journal stays on disk to be looked at
    ASSERT_TRUE(journal.Begin(fd, original.size(), {{4096, 512}, {0, 512}, {512, 256}, {4600, 100}, {7000, 5000}}).ok());
    JournalContents c;
    ASSERT_TRUE(DecodeJournal(ReadAll(JournalPathFor(path_)), c));
    ASSERT_EQ(c.regions.size(), 3u);
    EXPECT_EQ(c.regions[0].first, 0u);
    EXPECT_EQ(c.regions[0].second, original.substr(0, 768));
    EXPECT_EQ(c.regions[1].first, 4096u);
    EXPECT_EQ(c.regions[1].second, original.substr(4096, 604));
    EXPECT_EQ(c.regions[2].first, 7000u);
    EXPECT_EQ(c.regions[2].second, original.substr(7000)) << "clipped to the file's length";
    // The update writes over the regions and cuts the file; undoing gives back the original.
    std::string scribble(768, 'z');
    ASSERT_EQ(::pwrite(fd, scribble.data(), scribble.size(), 0), static_cast<ssize_t>(scribble.size()));
    ASSERT_EQ(::pwrite(fd, scribble.data(), 600, 4096), 600);
    ASSERT_EQ(::ftruncate(fd, 7100), 0);
    ASSERT_TRUE(journal.Undo(fd).ok());
    EXPECT_EQ(ReadAll(path_), original);
    EXPECT_FALSE(Hot(JournalPathFor(path_)));
  }
  ::close(fd);
}

// Bytes an update only cuts off are saved without their holes: a file made long by a page far
// out keeps a journal of the bytes that hold data, and a replay still gives back every byte
// (the holes come back as zeros with the file's old length).
TEST_F(JournalTest, HolesOfACutTailAreNotSavedYetComeBackExactly) {
  const size_t size = 4 << 20;
  int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  ASSERT_GE(fd, 0);
  const std::string head = Patterned(4096);
  const std::string far = Patterned(1024);
  ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
  ASSERT_EQ(::pwrite(fd, far.data(), far.size(), size - far.size()), static_cast<ssize_t>(far.size()));
  const std::string original = ReadAll(path_);
  ASSERT_EQ(original.size(), size);
  // Whether this file system keeps holes at all (else everything is data, and saved).
  off_t hole = ::lseek(fd, 0, SEEK_HOLE);
  const bool holes = hole > 0 && static_cast<size_t>(hole) < size - far.size();
  for (bool dead : {false, true}) {
    SCOPED_TRACE(dead ? "replayed at the next open" : "undone by the writer");
    {
      Journal journal(path_, &SystemFileIo(), false);
      ASSERT_TRUE(journal.Begin(fd, size, {{0, 512}, {2048, size - 2048, true}}).ok());
      uint64_t journal_size = ReadAll(JournalPathFor(path_)).size();
      if (holes) {
        EXPECT_LT(journal_size, 64u * 1024) << "the hole is not saved";
      }
      EXPECT_GT(journal_size, 2048u + far.size()) << "the data is";
      // The update rewrites the header and cuts the file.
      ASSERT_EQ(::pwrite(fd, "zzzz", 4, 0), 4);
      ASSERT_EQ(::ftruncate(fd, 2048), 0);
      if (!dead) {
        ASSERT_TRUE(journal.Undo(fd).ok());
        EXPECT_EQ(ReadAll(path_), original);
        continue;
      }
      // The writer goes away without undoing: its journal stays, hot, for the next open.
      ::close(fd);
    }
    ASSERT_TRUE(Hot(JournalPathFor(path_)));
    bool recovered = false;
    ASSERT_TRUE(RecoverJournal(path_, recovered).ok());
    EXPECT_TRUE(recovered);
    EXPECT_EQ(ReadAll(path_), original);
  }
}

}  // namespace
}  // namespace cinevo::isam
