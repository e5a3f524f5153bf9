#include "runtime/data/isam/memo_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "runtime/core/error_codes.h"
#include "runtime/data/file_declaration.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/isam/page_store.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {

constexpr uint32_t kTable = 3;

StreamMemo Memo(uint16_t max_size, uint16_t flags = 0) {
  StreamMemo m;
  m.name = flags & kMemoBlob ? "PICTURE" : "NOTES";
  m.max_size = max_size;
  m.flags = flags;
  return m;
}

// Memo 1 a text MEMO of up to 2000 bytes, memo 2 a BLOB, memo 3 a BINARY MEMO of 100 bytes.
std::vector<StreamMemo> Decls() { return {Memo(2000), Memo(0, kMemoBlob), Memo(100, kMemoBinary)}; }

class MemoStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("isam_memo_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    PageStoreOptions o;
    o.sync = false;
    ASSERT_TRUE(PageStore::Create((dir_ / "M.TVX").string(), o, store_).ok());
    tree_ = std::make_unique<BTree>(*store_);
    memos_.Reset(kTable, Decls(), false);
  }
  void TearDown() override {
    tree_.reset();
    store_.reset();
    std::filesystem::remove_all(dir_);
  }

  // The chunks stored for memo `m` (0-based) of `recno`, in key order.
  std::vector<std::string> Chunks(uint32_t recno, uint8_t m) {
    std::vector<std::string> out;
    std::string prefix = MemoChunkKey(kTable, recno, m, 0).substr(0, 10);
    Record r;
    bool found = false;
    EXPECT_TRUE(tree_->AtOrAfter(prefix, r, found).ok());
    while (found && r.key().substr(0, prefix.size()) == prefix) {
      out.push_back(r.bytes.substr(r.key_length));
      std::string at(r.key());
      EXPECT_TRUE(tree_->After(at, r, found).ok());
    }
    return out;
  }
  void PutChunk(uint32_t recno, uint8_t m, uint16_t seq, std::string_view payload) {
    bool existed = false;
    ASSERT_TRUE(tree_->Insert(MakeRecord(MemoChunkKey(kTable, recno, m, seq), payload), existed).ok());
  }
  int Take(int blob, int64_t offset, std::string_view bytes) {
    DriverArgs a;
    a.blob = blob;
    a.offset = offset;
    a.data = {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
    return memos_.Run(DriverOp::kBlobTake, a);
  }
  std::string Held(size_t n) { return *memos_.Contents(n); }

  std::filesystem::path dir_;
  std::unique_ptr<PageStore> store_;
  std::unique_ptr<BTree> tree_;
  MemoStore memos_;
};

TEST_F(MemoStoreTest, ContentsSurviveTheTreeAcrossChunkBoundaries) {
  std::string text(600, 'x');
  text[255] = 'a';
  text[256] = 'b';
  std::string blob;
  for (int i = 0; i < 1000; ++i) blob.push_back(static_cast<char>(i % 251));  // zero bytes included
  ASSERT_TRUE(memos_.SetContents(1, text + "    "));
  ASSERT_TRUE(memos_.SetContents(2, blob));
  ASSERT_TRUE(memos_.Write(*tree_, 7).ok());

  // The MEMO loses its trailing blanks; the BLOB's first chunk carries its length.
  EXPECT_EQ(Chunks(7, 0).size(), 3u);
  std::vector<std::string> b = Chunks(7, 1);
  ASSERT_EQ(b.size(), 4u);  // 4 + 1000 bytes: 260 in the first chunk, then 256, 256, 232
  EXPECT_EQ(b[0].size(), 260u);
  EXPECT_EQ(GetLe32(Bytes(b[0])), 1000u);
  EXPECT_TRUE(Chunks(7, 2).empty());  // an empty memo has no chunk

  memos_.Reset(kTable, Decls(), false);
  ASSERT_TRUE(memos_.Read(*tree_, 7).ok());
  EXPECT_EQ(Held(1), text);
  EXPECT_EQ(Held(2), blob);
  EXPECT_EQ(Held(3), "");
}

TEST_F(MemoStoreTest, WriteReplacesAndEraseTouchesOnlyItsRecord) {
  ASSERT_TRUE(memos_.SetContents(1, std::string(1500, 'l')));
  ASSERT_TRUE(memos_.SetContents(2, "first"));
  ASSERT_TRUE(memos_.Write(*tree_, 1).ok());
  ASSERT_TRUE(memos_.Write(*tree_, 2).ok());
  ASSERT_TRUE(memos_.SetContents(1, "short"));
  ASSERT_TRUE(memos_.SetContents(2, ""));
  ASSERT_TRUE(memos_.Write(*tree_, 1).ok());
  EXPECT_EQ(Chunks(1, 0).size(), 1u);  // no chunk of the longer contents is left behind
  EXPECT_TRUE(Chunks(1, 1).empty());

  ASSERT_TRUE(memos_.Read(*tree_, 2).ok());
  EXPECT_EQ(Held(1), std::string(1500, 'l'));
  EXPECT_EQ(Held(2), "first");
  ASSERT_TRUE(memos_.Erase(*tree_, 2).ok());
  ASSERT_TRUE(memos_.Read(*tree_, 2).ok());
  EXPECT_EQ(Held(1), "");
  EXPECT_EQ(Held(2), "");
  ASSERT_TRUE(memos_.Read(*tree_, 1).ok());
  EXPECT_EQ(Held(1), "short");
}

TEST_F(MemoStoreTest, TextMemosOfAnOemFileAreStoredInTheOemCodePage) {
  memos_.Reset(kTable, Decls(), true);
  const std::string text = "caf\xE9";  // e acute in the ANSI code page
  ASSERT_TRUE(memos_.SetContents(1, text));
  ASSERT_TRUE(memos_.SetContents(3, text));
  ASSERT_TRUE(memos_.Write(*tree_, 4).ok());
  EXPECT_NE(Chunks(4, 0).at(0), text);
  EXPECT_EQ(Chunks(4, 2).at(0), text);  // BINARY: the bytes as they are
  memos_.Reset(kTable, Decls(), true);
  ASSERT_TRUE(memos_.Read(*tree_, 4).ok());
  EXPECT_EQ(Held(1), text);
  EXPECT_EQ(Held(3), text);
}

TEST_F(MemoStoreTest, DamagedChunksAreReportedNotRead) {
  PutChunk(5, 0, 0, "one");
  PutChunk(5, 0, 2, "three");  // chunk 1 is missing
  EXPECT_FALSE(memos_.Read(*tree_, 5).ok());
  PutChunk(6, 1, 0, "ab");  // a BLOB chunk too short for its length
  EXPECT_FALSE(memos_.Read(*tree_, 6).ok());
  // A BLOB whose stored length is shorter than its chunks is cut to that length.
  std::string chunk;
  AppendLe32(chunk, 3);
  PutChunk(8, 1, 0, chunk + "abcdef");
  ASSERT_TRUE(memos_.Read(*tree_, 8).ok());
  EXPECT_EQ(Held(2), "abc");
}

TEST_F(MemoStoreTest, SetContentsAndTakeKeepTheLimits) {
  EXPECT_EQ(memos_.Contents(0), nullptr);
  EXPECT_EQ(memos_.Contents(4), nullptr);
  EXPECT_FALSE(memos_.SetContents(4, "x"));
  ASSERT_TRUE(memos_.SetContents(3, std::string(150, 'm')));
  EXPECT_EQ(Held(3).size(), 100u);  // a MEMO is cut at its declared size

  // BLOB_TAKE zero-fills a gap; a BLOB refuses to grow past what its chunks hold.
  EXPECT_EQ(Take(2, 4, "xy"), 0);
  EXPECT_EQ(Held(2), std::string("\0\0\0\0xy", 6));
  const int64_t capacity = int64_t{0x10000} * kMemoChunkSize;
  EXPECT_EQ(Take(2, capacity - 1, "zz"), kErrAccessDenied);
  EXPECT_EQ(Take(2, int64_t{1} << 40, "z"), kErrAccessDenied);
  EXPECT_EQ(Held(2).size(), 6u);  // nothing grew
  EXPECT_EQ(Take(2, -1, "z"), kErrUnsupported);

  // A MEMO takes what lies within its size and drops the rest.
  EXPECT_EQ(Take(3, 98, "abcd"), 0);
  EXPECT_EQ(Held(3).substr(98), "ab");
  EXPECT_EQ(Take(3, 100, "e"), 0);
  EXPECT_EQ(Held(3).size(), 100u);
  EXPECT_EQ(Take(4, 0, "x"), kErrUnsupported);  // no such memo
}

TEST_F(MemoStoreTest, YieldSizeAndProperties) {
  ASSERT_TRUE(memos_.SetContents(2, "0123456789"));
  DriverArgs a;
  a.blob = 2;
  ASSERT_EQ(memos_.Run(DriverOp::kBlobSize, a), 0);
  EXPECT_EQ(a.number_result, 10);
  uint8_t buffer[4] = {};
  a.buffer = buffer;
  a.offset = 8;
  ASSERT_EQ(memos_.Run(DriverOp::kBlobYield, a), 0);
  EXPECT_EQ(a.number_result, 2);
  EXPECT_EQ(buffer[0], '8');
  a.offset = 10;
  ASSERT_EQ(memos_.Run(DriverOp::kBlobYield, a), 0);
  EXPECT_EQ(a.number_result, 0);

  a.property = kBlobPropSize;
  a.text = "4";
  ASSERT_EQ(memos_.Run(DriverOp::kBlobSetProp, a), 0);
  EXPECT_EQ(a.text_result, "4");
  EXPECT_EQ(Held(2), "0123");
  a.text = "4x";
  EXPECT_EQ(memos_.Run(DriverOp::kBlobSetProp, a), kErrUnsupported);
  a.property = kBlobPropKind;
  ASSERT_EQ(memos_.Run(DriverOp::kBlobGetProp, a), 0);
  EXPECT_EQ(a.text_result, "BLOB");
  EXPECT_EQ(memos_.Run(DriverOp::kBlobSetProp, a), kErrUnsupported);  // read only
  a.blob = 1;
  a.property = kBlobPropCapacity;
  ASSERT_EQ(memos_.Run(DriverOp::kBlobGetProp, a), 0);
  EXPECT_EQ(a.text_result, "2000");
  EXPECT_EQ(memos_.Run(DriverOp::kGetFilePtr, a), kErrUnsupported);
}

TEST_F(MemoStoreTest, NoMemoSkipsOneLoad) {
  ASSERT_TRUE(memos_.SetContents(1, "stored"));
  ASSERT_TRUE(memos_.Write(*tree_, 1).ok());
  ASSERT_TRUE(memos_.SetContents(1, "held"));
  memos_.SkipNextLoad();
  ASSERT_TRUE(memos_.LoadFor(*tree_, 1).ok());
  EXPECT_EQ(Held(1), "held");
  ASSERT_TRUE(memos_.LoadFor(*tree_, 1).ok());
  EXPECT_EQ(Held(1), "stored");
}

}  // namespace
}  // namespace cinevo::isam
