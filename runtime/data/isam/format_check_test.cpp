#include "runtime/data/isam/format_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "runtime/core/error.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/isam_file.h"
#include "runtime/data/isam/record_kinds.h"

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

TableDeclaration Movies() {
  TableDeclaration d;
  d.record_length = 64;
  StreamField id;
  id.type = 6;
  id.name = "MOV:ID";
  id.length = 4;
  StreamField path;
  path.type = 18;
  path.offset = 4;
  path.name = "MOV:PATH";
  path.length = 60;
  path.declared_length = 60;
  d.fields = {id, path};
  StreamMemo memo;
  memo.name = "MOV:NOTE";
  memo.max_size = 2000;
  d.memos = {memo};
  StreamKey k;
  k.name = "MOV:KID";
  k.flags = 0x10;
  k.components = {{0, 0}};
  d.keys = {k};
  return d;
}

// A table of `count` records with key entries, counters and memo chunks, as a driver writes it.
void Populate(IsamFile& file, uint32_t table, int count) {
  bool existed = false;
  BTree& tree = file.tree();
  for (int i = 0; i < count; ++i) {
    uint32_t recno = 0;
    ASSERT_TRUE(file.store().IssueNumber(recno).ok());
    std::string buffer(64, ' ');
    PutLe32(reinterpret_cast<uint8_t*>(buffer.data()), static_cast<uint32_t>(i));
    std::string path = "C:\\MOVIES\\CLIP" + std::to_string(i * 37 % 1000) + ".AVI";
    buffer.replace(4, path.size(), path);
    ASSERT_TRUE(tree.Insert(MakeRecord(DataKey(table, recno), buffer), existed).ok());
    std::string entry = KeyEntryPrefix(table, 0);
    AppendBe32(entry, static_cast<uint32_t>(i) ^ 0x80000000u);
    std::string payload;
    AppendBe32(payload, recno);
    ASSERT_TRUE(tree.Insert(MakeRecord(entry, payload), existed).ok());
    if (i % 4 == 0) {
      ASSERT_TRUE(tree.Insert(MakeRecord(MemoChunkKey(table, recno, 0, 0), std::string(256, 'n')), existed).ok());
      ASSERT_TRUE(tree.Insert(MakeRecord(MemoChunkKey(table, recno, 0, 1), "end of note"), existed).ok());
    }
  }
  ASSERT_TRUE(tree.Replace(CountersRecord(table, kTagData, static_cast<uint32_t>(count), 0), existed).ok());
  ASSERT_TRUE(tree.Replace(CountersRecord(table, 0, static_cast<uint32_t>(count), 0), existed).ok());
  ASSERT_TRUE(file.store().Commit().ok());
}

class CheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("isam_check_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "MOVIES.TVX").string();
    options_.sync = false;
    OpenedTable t;
    ASSERT_TRUE(CreateTable(path_, Movies(), options_, t).ok());
    table_ = t.number;
    Populate(*t.file, table_, 600);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::vector<Violation> Check(bool expect_open = true) {
    std::unique_ptr<PageStore> store;
    PageStoreOptions ro = options_;
    ro.read_only = true;
    Status st = PageStore::Open(path_, ro, store);
    EXPECT_EQ(st.ok(), expect_open) << st.detail;
    std::vector<Violation> v;
    if (!st.ok()) return v;
    EXPECT_TRUE(CheckFormat(*store, v, summary_).ok());
    return v;
  }

  bool Mentions(const std::vector<Violation>& v, int check) {
    for (const Violation& x : v) {
      if (x.check == check) return true;
    }
    return false;
  }

  // Rewrites the page at `address` after `edit`, in place and without any other bookkeeping.
  template <typename Edit>
  void Tamper(uint32_t address, Edit edit) {
    std::unique_ptr<PageStore> store;
    ASSERT_TRUE(PageStore::Open(path_, options_, store).ok());
    PageRef page;
    ASSERT_TRUE(store->Load(address, page).ok());
    Page copy = *page;
    edit(copy);
    std::string bytes;
    ASSERT_TRUE(EncodePage(copy, bytes).ok());
    ASSERT_EQ(bytes.size(), store->header().ClassOf(address) * kUnitSize);
    ASSERT_TRUE(store->WriteAt(uint64_t{address} * kUnitSize + kHeaderSize, bytes).ok());
  }

  uint32_t Root() {
    std::unique_ptr<PageStore> store;
    EXPECT_TRUE(PageStore::Open(path_, options_, store).ok());
    return store->header().root;
  }

  std::filesystem::path dir_;
  std::string path_;
  PageStoreOptions options_;
  uint32_t table_ = 0;
  FileSummary summary_;
};

TEST_F(CheckTest, AFileWrittenByTheDriverIsClean) {
  auto v = Check();
  for (const Violation& x : v) ADD_FAILURE() << x.check << " " << x.where << " " << x.text;
  EXPECT_GE(summary_.height, 2);
  ASSERT_EQ(summary_.tables.size(), 1u);
  EXPECT_EQ(summary_.tables[0].name, "UNNAMED");
  EXPECT_EQ(summary_.tables[0].data_records, 600u);
  EXPECT_EQ(summary_.tables[0].key_entries[0], 600u);
  EXPECT_EQ(summary_.tables[0].memo_chunks, 300u);
  EXPECT_GT(summary_.compressed_pages, 0u);
  EXPECT_GT(summary_.unpacked_bytes, summary_.stored_bytes);
}

TEST_F(CheckTest, CountersThatDisagreeWithTheRecordsAreReported) {
  std::unique_ptr<IsamFile> file;
  ASSERT_TRUE(IsamFile::Open(path_, options_, file).ok());
  bool found = false;
  ASSERT_TRUE(file->tree().Replace(CountersRecord(table_, kTagData, 599, 0), found).ok());
  std::string entry = KeyEntryPrefix(table_, 0) + "zzzz";
  ASSERT_TRUE(file->tree().Insert(MakeRecord(entry, std::string("\0\0\x30\x39", 4)), found).ok());
  ASSERT_TRUE(file->store().Commit().ok());
  file.reset();
  auto v = Check();
  ASSERT_EQ(v.size(), 3u);
  EXPECT_NE(v[0].text.find("missing record 12345"), std::string::npos) << v[0].text;
  EXPECT_NE(v[1].text.find("data counter says 599"), std::string::npos) << v[1].text;
  EXPECT_NE(v[2].text.find("counter says 600, file holds 601"), std::string::npos) << v[2].text;
}

TEST_F(CheckTest, AnIndexCopyThatDiffersFromItsChildIsReported) {
  uint32_t root = Root();
  Tamper(root, [](Page& p) {
    Record r = p.record(1).ToRecord();
    r.bytes.back() ^= 0x01;
    p.Replace(1, r);
  });
  EXPECT_TRUE(Mentions(Check(), kCheckIndexCopy));
}

TEST_F(CheckTest, SwappedChildrenBreakTheOrder) {
  uint32_t root = Root();
  Tamper(root, [](Page& p) { std::swap(p.children[0], p.children[1]); });
  auto v = Check();
  EXPECT_TRUE(Mentions(v, kCheckIndexCopy) || Mentions(v, kCheckRecordOrder));
}

TEST_F(CheckTest, AChildPointingAtItsParentIsACycleNotAHang) {
  uint32_t root = Root();
  Tamper(root, [root](Page& p) { p.children[0] = root; });
  EXPECT_TRUE(Mentions(Check(), kCheckTreeLevel));
}

TEST_F(CheckTest, TruncatedFilesNeverPassAndNeverCrash) {
  std::string good = ReadAll(path_);
  for (size_t size = 0; size < good.size(); size += 64) {
    WriteAll(path_, good.substr(0, size));
    std::unique_ptr<PageStore> store;
    PageStoreOptions ro = options_;
    ro.read_only = true;
    Status st = PageStore::Open(path_, ro, store);
    if (size == 0) {
      EXPECT_TRUE(st.ok()) << "an empty file is a new file";
      continue;
    }
    if (!st.ok()) {
      EXPECT_TRUE(st.code == kErrInvalidDataFile || st.code == kErrFileSystem) << st.code;
      continue;
    }
    std::vector<Violation> v;
    ASSERT_TRUE(CheckFormat(*store, v, summary_).ok());
    EXPECT_FALSE(v.empty()) << "truncated to " << size;
  }
}

// Opens and walks the file as it is; returns true when something was found wrong.
bool OpenAndWalkDetects(const std::string& path, const PageStoreOptions& options) {
  std::unique_ptr<IsamFile> file;
  PageStoreOptions ro = options;
  ro.read_only = true;
  Status st = IsamFile::Open(path, ro, file);
  if (!st.ok()) {
    EXPECT_TRUE(st.code == kErrInvalidDataFile || st.code == kErrFileSystem) << st.code;
    return true;
  }
  std::vector<Violation> v;
  FileSummary summary;
  EXPECT_TRUE(CheckFormat(file->store(), v, summary).ok());
  // Reads through the tree give a status, never a crash.
  Record r;
  bool found = false;
  std::string key;
  Status walk = file->tree().AtOrAfter(key, r, found);
  for (int steps = 0; walk.ok() && found && steps < 5000; ++steps) {
    key.assign(r.key());
    walk = file->tree().After(key, r, found);
  }
  if (!walk.ok()) {
    EXPECT_EQ(walk.code, kErrFileSystem);
  }
  return !v.empty() || !walk.ok();
}

TEST_F(CheckTest, FlippedBitsAnywhereGiveStatusesNotCrashes) {
  std::string good = ReadAll(path_);
  for (size_t at = 0; at < good.size(); at += 61) {
    std::string bad = good;
    bad[at] = static_cast<char>(bad[at] ^ 0x24);
    WriteAll(path_, bad);
    OpenAndWalkDetects(path_, options_);  // record payloads may change unnoticed: they are data
  }
}

TEST_F(CheckTest, FlippedBitsInPageHeadersAreAlwaysFound) {
  std::string good = ReadAll(path_);
  FileHeader h;
  ASSERT_TRUE(DecodeHeader(good, h).ok());
  int pages = 0;
  for (uint32_t c = 1; c < kClassCount; ++c) {
    for (uint32_t a = h.start[c]; a < h.end[c]; a += c, ++pages) {
      for (size_t byte : {0, 1, 4, 5, 6, 7, 10, 11, 12}) {
        std::string bad = good;
        size_t at = size_t{a} * kUnitSize + kHeaderSize + byte;
        bad[at] = static_cast<char>(bad[at] ^ 0x01);
        WriteAll(path_, bad);
        EXPECT_TRUE(OpenAndWalkDetects(path_, options_)) << "page " << a << " byte " << byte;
      }
    }
  }
  EXPECT_GT(pages, 5);
}

TEST_F(CheckTest, AHeaderClaimingAHugeFileIsReportedWithoutVisitingItsClaims) {
  // Found by fuzzing: class ranges of millions of units over a file of a few hundred bytes.
  FileHeader h;
  h.change_counter = 1;
  h.end[1] = 0xFFFFF0;
  for (uint32_t c = 2; c < kClassCount; ++c) h.start[c] = h.end[c] = 0xFFFFF0;
  h.committed_length = h.written_length = h.DataLength();
  WriteAll(path_, EncodeHeader(h));
  auto v = Check();
  EXPECT_TRUE(Mentions(v, kCheckFileLength));
  EXPECT_FALSE(Mentions(v, kCheckParentLink)) << "the claimed class slots are not walked";
}

TEST(InternalErrors, OutsideAnOperationTheyRaiseTheFatalReport) {
  EXPECT_EQ(InternalErrorText("GRUPA.TVX", 3), "GRUPA.TVX caused an Internal error : tvxbt line 3");
  EXPECT_EQ(InternalErrorText("", 12), "Tarvex File Driver Error caused an Internal error : tvxbt line 12");
  int code = 0;
  std::string message;
  SetFatalHandler([&](int c, const std::string& m) {
    code = c;
    message = m;
  });
  ReportInternalError("PODGRU.TVX", 2);
  SetFatalHandler({});
  EXPECT_EQ(code, kErrFileSystem);
  EXPECT_NE(message.find("PODGRU.TVX caused an Internal error : tvxbt line 2"), std::string::npos) << message;
}

}  // namespace
}  // namespace cinevo::isam
