// The BLOB operations of the native driver: the properties of each MEMO and BLOB, contents and
// size set through them and kept by ADD and PUT, and reads and writes at offsets up to the
// limits of the chunk format.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/isam/isam_test_support.h"

namespace cinevo::isam {
namespace {

namespace fs = std::filesystem;

constexpr int kNote = 1;  // MEMO(20)
constexpr int kPic = 2;   // BLOB, BINARY
constexpr int kDoc = 3;   // BLOB
constexpr int64_t kChunkLimit = 65536 * 256;

class IsamBlobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::PrepareDriverTest("isam_blob");
    decl_.label = "DOC";
    decl_.name = (dir_ / "DOCS.TVX").string();
    decl_.driver = std::string(kDriverName);
    decl_.fields = {MakeField("DOC:ID", TypeCode::kLong, 0, 4)};
    decl_.keys = {MakeKey("DOC:KID", kKeyPrimary, {1})};
    decl_.memos = {MemoDeclaration{"DOC:NOTE", "", 0, 20}, MemoDeclaration{"DOC:PIC", "", kMemoBlob | kMemoBinary, 0},
                   MemoDeclaration{"DOC:TEXT", "", kMemoBlob, 0}};
    f_ = std::make_unique<FileControlBlock>(decl_);
    ASSERT_EQ(Create(*f_), 0);
    ASSERT_EQ(Open(*f_), 0);
  }
  void TearDown() override {
    f_.reset();
    fs::remove_all(dir_);
  }
  std::string Prop(int blob, uint32_t property) { return BlobGetProperty(*f_, blob, property); }
  std::string SetProp(int blob, uint32_t property, std::string_view value) {
    return BlobSetProperty(*f_, blob, property, value);
  }
  void SetId(int32_t id) { StoreU32(f_->record.data(), static_cast<uint32_t>(id)); }
  std::string Read(int blob, int64_t offset = 0, size_t room = 64) {
    std::vector<uint8_t> buffer(room);
    int64_t n = BlobRead(*f_, blob, buffer, offset);
    return std::string(buffer.begin(), buffer.begin() + n);
  }
  int Write(int blob, std::string_view data, int64_t offset) {
    return BlobWrite(*f_, blob, {reinterpret_cast<const uint8_t*>(data.data()), data.size()}, offset);
  }

  fs::path dir_;
  FileDeclaration decl_;
  std::unique_ptr<FileControlBlock> f_;
};

TEST_F(IsamBlobTest, EachMemoAndBlobDescribesItself) {
  EXPECT_EQ(Prop(kNote, kBlobPropKind), "MEMO");
  EXPECT_EQ(Prop(kPic, kBlobPropKind), "BLOB");
  EXPECT_EQ(Prop(kNote, kBlobPropBinary), "0");
  EXPECT_EQ(Prop(kPic, kBlobPropBinary), "1");
  EXPECT_EQ(Prop(kDoc, kBlobPropBinary), "0");
  EXPECT_EQ(Prop(kNote, kBlobPropCapacity), "20");
  EXPECT_EQ(Prop(kPic, kBlobPropCapacity), std::to_string(kChunkLimit));
  EXPECT_EQ(Prop(kDoc, kBlobPropLabel), "DOC:TEXT");
  EXPECT_EQ(f_->last_error, 0);
  // Read-only properties, unknown properties and BLOBs that do not exist: 80, an empty answer.
  for (uint32_t p : {kBlobPropKind, kBlobPropBinary, kBlobPropCapacity, kBlobPropLabel}) {
    EXPECT_EQ(SetProp(kPic, p, "1"), "") << p;
    EXPECT_EQ(f_->last_error, 80) << p;
  }
  EXPECT_EQ(Prop(kPic, 0x7300), "");
  EXPECT_EQ(f_->last_error, 80);
  for (int bad : {0, -1, 4}) {
    EXPECT_EQ(Prop(bad, kBlobPropSize), "");
    EXPECT_EQ(f_->last_error, 80);
  }
  // A closed file has no BLOBs to describe.
  ASSERT_EQ(Close(*f_), 0);
  EXPECT_EQ(Prop(kPic, kBlobPropKind), "");
  EXPECT_EQ(f_->last_error, 37);
}

TEST_F(IsamBlobTest, ContentsAndSizeSetThroughPropertiesAreStoredWithTheRecord) {
  EXPECT_EQ(Prop(kPic, kBlobPropSize), "0");
  EXPECT_EQ(SetProp(kPic, kBlobPropContents, std::string("ab\0c", 4)), std::string("ab\0c", 4));
  EXPECT_EQ(Prop(kPic, kBlobPropSize), "4");
  EXPECT_EQ(SetProp(kPic, kBlobPropSize, "6"), "6");  // grows with zero bytes
  EXPECT_EQ(Prop(kPic, kBlobPropContents), std::string("ab\0c\0\0", 6));
  EXPECT_EQ(SetProp(kPic, kBlobPropSize, "3"), "3");  // cut
  EXPECT_EQ(Prop(kPic, kBlobPropContents), std::string("ab\0", 3));
  for (const char* bad : {"", "-1", " 3", "3 ", "x", "1e3", "99999999999999", "16777217"}) {
    EXPECT_EQ(SetProp(kPic, kBlobPropSize, bad), "") << bad;
    EXPECT_EQ(f_->last_error, 80) << bad;
  }
  EXPECT_EQ(Prop(kPic, kBlobPropSize), "3");  // the bad values changed nothing
  // A MEMO keeps its declared size; a BLOB refuses what its chunks cannot hold.
  EXPECT_EQ(SetProp(kNote, kBlobPropContents, "a note much longer than twenty"), "a note much longer t");
  EXPECT_EQ(SetProp(kDoc, kBlobPropContents, "text"), "text");
  EXPECT_EQ(SetProp(kDoc, kBlobPropContents, std::string(static_cast<size_t>(kChunkLimit) + 1, 'x')), "");
  EXPECT_EQ(f_->last_error, 5);
  EXPECT_EQ(Prop(kDoc, kBlobPropContents), "text");
  // ADD writes them with the record; GET brings them back.
  SetId(1);
  ASSERT_EQ(Add(*f_), 0);
  SetProp(kPic, kBlobPropContents, "");
  SetProp(kNote, kBlobPropContents, "");
  SetProp(kDoc, kBlobPropContents, "");
  SetId(1);
  ASSERT_EQ(Get(*f_, 0), 0);
  EXPECT_EQ(Prop(kPic, kBlobPropContents), std::string("ab\0", 3));
  EXPECT_EQ(Prop(kNote, kBlobPropContents), "a note much longer t");
  EXPECT_EQ(Prop(kDoc, kBlobPropContents), "text");
  // PUT stores a change made through a property.
  SetProp(kDoc, kBlobPropSize, "2");
  ASSERT_EQ(Put(*f_), 0);
  SetProp(kDoc, kBlobPropContents, "zz");
  ASSERT_EQ(Get(*f_, 0), 0);
  EXPECT_EQ(Prop(kDoc, kBlobPropContents), "te");
  EXPECT_EQ(BlobSize(*f_, kDoc), 2);
  ASSERT_EQ(Delete(*f_), 0);
  EXPECT_EQ(BlobSize(*f_, kDoc), 0);  // BLOB_SIZE needs a current record
  EXPECT_EQ(f_->last_error, 33);
}

TEST_F(IsamBlobTest, ReadsAndWritesAtOffsets) {
  ASSERT_EQ(Write(kPic, "xyz", 4), 0);  // past the end: the gap is zero bytes
  EXPECT_EQ(Read(kPic), std::string("\0\0\0\0xyz", 7));
  ASSERT_EQ(Write(kPic, "AB", 1), 0);  // inside: overwritten, no growth
  EXPECT_EQ(Read(kPic), std::string("\0AB\0xyz", 7));
  EXPECT_EQ(Read(kPic, 5), "yz");
  EXPECT_EQ(Read(kPic, 7), "");   // at the end
  EXPECT_EQ(Read(kPic, 70), "");  // beyond it
  EXPECT_EQ(Read(kPic, 0, 2), std::string("\0A", 2));  // no more than the room given
  EXPECT_EQ(Read(kPic, -1), "");
  EXPECT_EQ(f_->last_error, 80);
  EXPECT_EQ(Write(kPic, "q", -1), 80);
  ASSERT_EQ(Write(kPic, "", 100), 0);  // nothing to write: nothing changes
  EXPECT_EQ(Prop(kPic, kBlobPropSize), "7");
  // Far past what the chunks can hold: refused before anything is allocated.
  EXPECT_EQ(Write(kPic, "q", 0x7FFFFFFF), 5);
  EXPECT_EQ(Write(kPic, "q", int64_t{1} << 40), 5);
  EXPECT_EQ(Write(kPic, "qq", kChunkLimit - 1), 5);
  EXPECT_EQ(Prop(kPic, kBlobPropSize), "7");
  // A MEMO is cut at its declared size.
  ASSERT_EQ(Write(kNote, "0123456789", 15), 0);
  EXPECT_EQ(Prop(kNote, kBlobPropSize), "20");
  EXPECT_EQ(Read(kNote, 15), "01234");
  ASSERT_EQ(Write(kNote, "more", 20), 0);
  EXPECT_EQ(Prop(kNote, kBlobPropSize), "20");
  // What was written reaches the file with the record.
  SetId(7);
  ASSERT_EQ(Add(*f_), 0);
  SetId(7);
  ASSERT_EQ(Write(kPic, "", 0), 0);
  ASSERT_EQ(Get(*f_, 0), 0);
  EXPECT_EQ(Read(kPic), std::string("\0AB\0xyz", 7));
}

}  // namespace
}  // namespace cinevo::isam
