// Dynamic indexes: BUILD(index, components [, filter]) orders the records by the components
// given, keeps only those the filter accepts, serves every read through the index from memory,
// never changes the file, and gives way to the declared index on BUILD(key).
#include "runtime/data/isam/isam_build.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "runtime/core/error.h"
#include "runtime/core/eval_symbols.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/dispatch.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/format_check.h"
#include "runtime/data/isam/isam_test_support.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/isam/key_check.h"

namespace cinevo::isam {
namespace {

namespace fs = std::filesystem;

constexpr int kKeyId = 0;
constexpr int kDyn = 1;      // INDEX on -ID
constexpr int kIName = 2;    // INDEX on NAME, NOCASE
constexpr int kKeyName = 3;  // KEY on NAME, DUP

// MOV: ID LONG @0, NAME STRING(12) @4, SCORE SREAL @16, CITY STRING(8) @20.
FileDeclaration Declaration(const std::string& path) {
  FileDeclaration d;
  d.label = "MOV";
  d.name = path;
  d.driver = std::string(kDriverName);
  d.fields = {MakeField("MOV:ID", TypeCode::kLong, 0, 4), MakeField("MOV:NAME", TypeCode::kString, 4, 12),
              MakeField("MOV:SCORE", TypeCode::kSReal, 16, 4), MakeField("MOV:CITY", TypeCode::kString, 20, 8)};
  d.keys = {MakeKey("MOV:KID", kKeyPrimary, {1}), MakeKey("MOV:DYN", kKeyIndex, {-1}),
            MakeKey("MOV:INAME", kKeyIndex | kKeyNoCase | kKeyDup, {2}), MakeKey("MOV:KNAME", kKeyDup, {2})};
  return d;
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class IsamBuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::PrepareDriverTest("isam_build");
    path_ = (dir_ / "MOVIES.TVX").string();
    decl_ = Declaration(path_);
    f_ = std::make_unique<FileControlBlock>(decl_);
    ASSERT_EQ(Create(*f_), 0);
    ASSERT_EQ(Open(*f_, 0x42), 0);
    // id, name, score, city
    Add(1, "delta", 3.5f, "Split");
    Add(2, "Alpha", 1.0f, "Zagreb");
    Add(3, "charlie", 3.5f, "Zagreb");
    Add(4, "bravo", 2.0f, "Split");
    Add(5, "echo", 0.5f, "Osijek");
  }
  void TearDown() override {
    f_.reset();
    fs::remove_all(dir_);
  }

  static void Fill(FileControlBlock& f, int32_t id, const std::string& name, float score, const std::string& city) {
    std::fill(f.record.begin(), f.record.end(), 0);
    StoreU32(f.record.data(), static_cast<uint32_t>(id));
    StoreString(reinterpret_cast<char*>(f.record.data() + 4), 12, name);
    StoreSReal(f.record.data() + 16, score);
    StoreString(reinterpret_cast<char*>(f.record.data() + 20), 8, city);
  }
  void Add(int32_t id, const std::string& name, float score, const std::string& city) {
    Fill(*f_, id, name, score, city);
    ASSERT_EQ(cinevo::Add(*f_), 0);
  }
  static int32_t Id(const FileControlBlock& f) { return test_support::LeadingId(f); }
  static std::vector<int32_t> Read(FileControlBlock& f, int key, bool forward = true) {
    return test_support::ReadIds(f, key, forward);
  }
  void ExpectClean() { test_support::ExpectFileClean(path_); }

  fs::path dir_;
  std::string path_;
  FileDeclaration decl_;
  std::unique_ptr<FileControlBlock> f_;
};

TEST(IndexComponents, LabelsSignsBlanksAndCase) {
  TableDeclaration d = FromFileDeclaration(Declaration("X"));
  std::vector<StreamKeyComponent> c;
  ASSERT_TRUE(ParseIndexComponents(d, "+MOV:SCORE,-mov:name", c));
  EXPECT_EQ(c, (std::vector<StreamKeyComponent>{{2, 0}, {1, 1}}));
  ASSERT_TRUE(ParseIndexComponents(d, "  city , - ID ", c));  // without the prefix, blanks around
  EXPECT_EQ(c, (std::vector<StreamKeyComponent>{{3, 0}, {0, 1}}));
  for (const char* bad : {"", " ", "MOV:NOPE", "NOPE", "MOV:ID,", ",MOV:ID", "MOV:ID,,MOV:NAME", "+", "-",
                          "OTHER:ID", "MOV:ID MOV:NAME"}) {
    EXPECT_FALSE(ParseIndexComponents(d, bad, c)) << bad;
  }
}

TEST(IndexComponents, AShortLabelNamingTwoFieldsIsRefused) {
  TableDeclaration d;
  StreamField a, b;
  a.name = "A:ID";
  b.name = "B:ID";
  d.fields = {a, b};
  std::vector<StreamKeyComponent> c;
  EXPECT_FALSE(ParseIndexComponents(d, "ID", c));
  ASSERT_TRUE(ParseIndexComponents(d, "B:ID", c));
  EXPECT_EQ(c, (std::vector<StreamKeyComponent>{{1, 0}}));
}

TEST_F(IsamBuildTest, RecordsComeInTheOrderOfTheComponentsGiven) {
  EXPECT_EQ(SetKey(*f_, kDyn), 46);  // not built yet
  ASSERT_EQ(BuildIndex(*f_, kDyn, "-MOV:SCORE,+MOV:CITY"), 0);
  // 3.5 Split(1) before 3.5 Zagreb(3), then 2.0, 1.0, 0.5.
  EXPECT_EQ(Read(*f_, kDyn), (std::vector<int32_t>{1, 3, 4, 2, 5}));
  EXPECT_EQ(Read(*f_, kDyn, false), (std::vector<int32_t>{5, 2, 4, 3, 1}));
  EXPECT_EQ(RecordsKey(*f_, kDyn), 5);
  // Built again with other components, the same index takes the new order.
  ASSERT_EQ(BuildIndex(*f_, kDyn, "MOV:CITY, -MOV:ID"), 0);
  EXPECT_EQ(Read(*f_, kDyn), (std::vector<int32_t>{5, 4, 1, 3, 2}));
  // Equal values come in record order: the index holds duplicates whatever it declares.
  ASSERT_EQ(BuildIndex(*f_, kDyn, "MOV:SCORE"), 0);
  EXPECT_EQ(Read(*f_, kDyn), (std::vector<int32_t>{5, 2, 4, 1, 3}));
  // The declared flags stay: an index declared NOCASE orders names without regard to case.
  ASSERT_EQ(BuildIndex(*f_, kIName, "MOV:NAME"), 0);
  EXPECT_EQ(Read(*f_, kIName), (std::vector<int32_t>{2, 4, 3, 1, 5}));
  ExpectClean();
}

TEST_F(IsamBuildTest, AFilterKeepsOnlyTheRecordsForWhichItIsTrue) {
  std::vector<uint8_t> buffer = f_->record;
  ASSERT_EQ(BuildIndex(*f_, kDyn, "MOV:NAME", "MOV:SCORE >= 2 AND MOV:CITY <> 'Osijek'"), 0);
  EXPECT_EQ(f_->record, buffer);  // the build reads its own copy of each record
  EXPECT_EQ(Read(*f_, kDyn), (std::vector<int32_t>{4, 3, 1}));  // bravo, charlie, delta
  EXPECT_EQ(RecordsKey(*f_, kDyn), 3);
  // A filter may use the program's own bound variables beside the fields.
  int32_t limit = 3;
  PushScope(true);
  ASSERT_TRUE(Bind("LIMIT", ValueRef::Make(TypeCode::kLong, &limit)));
  ASSERT_EQ(BuildIndex(*f_, kDyn, "-MOV:ID", "MOV:ID < LIMIT OR UPPER(MOV:NAME) = 'ECHO'"), 0);
  PopScope();
  EXPECT_EQ(Read(*f_, kDyn), (std::vector<int32_t>{5, 2, 1}));
  // A blank filter keeps every record.
  ASSERT_EQ(BuildIndex(*f_, kDyn, "MOV:ID", "   "), 0);
  EXPECT_EQ(Read(*f_, kDyn), (std::vector<int32_t>{1, 2, 3, 4, 5}));
  // A filter that is true for nothing gives an empty index.
  ASSERT_EQ(BuildIndex(*f_, kDyn, "MOV:ID", "MOV:SCORE > 100"), 0);
  EXPECT_EQ(Read(*f_, kDyn), std::vector<int32_t>{});
  ASSERT_EQ(SetKey(*f_, kDyn), 0);
  EXPECT_TRUE(Eof(*f_));
  EXPECT_TRUE(Bof(*f_));
}

TEST_F(IsamBuildTest, BadComponentsOrFilterLeaveTheIndexAsItWas) {
  ASSERT_EQ(BuildIndex(*f_, kDyn, "+MOV:SCORE"), 0);
  ASSERT_EQ(BuildIndex(*f_, kDyn, ""), 0);  // no components: those declared
  EXPECT_EQ(BuildIndex(*f_, kDyn, "MOV:NOPE"), 76);
  EXPECT_EQ(BuildIndex(*f_, kDyn, "MOV:ID,"), 76);
  EXPECT_EQ(BuildIndex(*f_, kDyn, "MOV:ID", "MOV:ID >"), 800);
  EXPECT_EQ(BuildIndex(*f_, kDyn, "MOV:ID", "NOT_BOUND = 1"), 801);
  EXPECT_EQ(ErrorCode(), 801);
  EXPECT_EQ(Read(*f_, kDyn), (std::vector<int32_t>{5, 4, 3, 2, 1}));
  // Only an INDEX is built this way: a KEY is kept by every change to its declared order.
  EXPECT_EQ(BuildIndex(*f_, kKeyName, "MOV:ID"), 80);
  EXPECT_EQ(Read(*f_, kKeyName), (std::vector<int32_t>{2, 4, 3, 1, 5}));
  // A blank component list builds an index from its declared components.
  ASSERT_EQ(BuildIndex(*f_, kIName, " "), 0);
  EXPECT_EQ(Read(*f_, kIName), (std::vector<int32_t>{2, 4, 3, 1, 5}));
}

TEST_F(IsamBuildTest, GetSetPositionResetSkipAndEnds) {
  ASSERT_EQ(BuildIndex(*f_, kDyn, "MOV:CITY,-MOV:SCORE"), 0);  // 5 Osijek, 4 Split 2.0 ... see below
  // Order: 5 (Osijek), 1 (Split 3.5), 4 (Split 2.0), 3 (Zagreb 3.5), 2 (Zagreb 1.0).
  Fill(*f_, 0, "", 0.0f, "Split");
  StoreSReal(f_->record.data() + 16, 2.0f);
  ASSERT_EQ(Get(*f_, kDyn), 0);
  EXPECT_EQ(Id(*f_), 4);
  Fill(*f_, 0, "", 9.0f, "Rijeka");
  EXPECT_EQ(Get(*f_, kDyn), 35);
  // SET(key, key) starts at the first value at or after the buffer's.
  Fill(*f_, 0, "", 9.0f, "Split");
  ASSERT_EQ(SetKeyFromKey(*f_, kDyn, kDyn), 0);
  ASSERT_EQ(Next(*f_), 0);
  EXPECT_EQ(Id(*f_), 1);
  ASSERT_EQ(Next(*f_), 0);
  EXPECT_EQ(Id(*f_), 4);
  std::string position = PositionKey(*f_, kDyn);
  EXPECT_EQ(position.size(), 4u + 8u + 4u);  // record number + CITY + SCORE
  ASSERT_EQ(Next(*f_), 0);
  EXPECT_EQ(Id(*f_), 3);
  ASSERT_EQ(ResetKey(*f_, kDyn, position), 0);
  ASSERT_EQ(Next(*f_), 0);
  EXPECT_EQ(Id(*f_), 4);  // resumes at the same record
  ASSERT_EQ(Skip(*f_, 1), 0);
  ASSERT_EQ(Next(*f_), 0);
  EXPECT_EQ(Id(*f_), 2);
  EXPECT_TRUE(Eof(*f_));
  ASSERT_EQ(Skip(*f_, -3), 0);
  ASSERT_EQ(Previous(*f_), 0);
  EXPECT_EQ(Id(*f_), 5);
  EXPECT_TRUE(Bof(*f_));
  // SET(file, key): file order from the first record at or after the value in the index.
  Fill(*f_, 0, "", 9.0f, "Zagreb");
  ASSERT_EQ(SetFromKey(*f_, kDyn), 0);
  ASSERT_EQ(Next(*f_), 0);
  EXPECT_EQ(Id(*f_), 3);
  ASSERT_EQ(Next(*f_), 0);
  EXPECT_EQ(Id(*f_), 4);  // then on in file order
}

TEST_F(IsamBuildTest, TheIndexIsNotKeptUpToDateAndSkipsDeletedRecords) {
  ASSERT_EQ(BuildIndex(*f_, kDyn, "MOV:ID"), 0);
  Add(6, "foxtrot", 1.0f, "Pula");  // not entered: built indexes are not maintained
  Fill(*f_, 3, "", 0.0f, "");
  ASSERT_EQ(cinevo::Get(*f_, kKeyId), 0);
  ASSERT_EQ(Delete(*f_), 0);
  EXPECT_EQ(Read(*f_, kDyn), (std::vector<int32_t>{1, 2, 4, 5}));
  Fill(*f_, 3, "", 0.0f, "");
  EXPECT_EQ(Get(*f_, kDyn), 35);
  ASSERT_EQ(BuildIndex(*f_, kDyn, "MOV:ID"), 0);
  EXPECT_EQ(Read(*f_, kDyn), (std::vector<int32_t>{1, 2, 4, 5, 6}));
  ExpectClean();
}

TEST_F(IsamBuildTest, TheIndexBelongsToThisOpenAndNeverChangesTheFile) {
  ASSERT_EQ(Close(*f_), 0);
  std::string before = FileBytes(path_);
  ASSERT_EQ(Open(*f_, 0x40), 0);  // read-only, shared
  ASSERT_EQ(BuildIndex(*f_, kDyn, "-MOV:NAME", "MOV:ID > 1"), 0);
  EXPECT_EQ(Read(*f_, kDyn), (std::vector<int32_t>{5, 3, 4, 2}));
  FileControlBlock other(decl_);
  ASSERT_EQ(Open(other, 0x42), 0);
  EXPECT_EQ(SetKey(other, kDyn), 46);  // another open has to build its own
  ASSERT_EQ(BuildIndex(other, kDyn, "MOV:ID"), 0);
  EXPECT_EQ(Read(other, kDyn), (std::vector<int32_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(Read(*f_, kDyn), (std::vector<int32_t>{5, 3, 4, 2}));  // each keeps its own
  ASSERT_EQ(Close(other), 0);
  ASSERT_EQ(Close(*f_), 0);
  EXPECT_EQ(FileBytes(path_), before);
}

TEST_F(IsamBuildTest, BuildOfTheKeyGivesBackTheDeclaredIndex) {
  ASSERT_EQ(BuildIndex(*f_, kIName, "-MOV:SCORE"), 0);
  EXPECT_EQ(Read(*f_, kIName), (std::vector<int32_t>{1, 3, 4, 2, 5}));
  ASSERT_EQ(Close(*f_), 0);
  ASSERT_EQ(Open(*f_, 0x12), 0);  // BUILD of a key needs exclusive access
  ASSERT_EQ(BuildIndex(*f_, kIName, "-MOV:SCORE"), 0);
  ASSERT_EQ(BuildKey(*f_, kIName), 0);  // the declared components, into the file
  EXPECT_EQ(Read(*f_, kIName), (std::vector<int32_t>{2, 4, 3, 1, 5}));
  EXPECT_EQ(RecordsKey(*f_, kIName), 5);
  ASSERT_EQ(BuildIndex(*f_, kIName, "-MOV:SCORE"), 0);
  ASSERT_EQ(Build(*f_), 0);  // so does BUILD of the file
  EXPECT_EQ(Read(*f_, kIName), (std::vector<int32_t>{2, 4, 3, 1, 5}));
  ExpectClean();
}

TEST_F(IsamBuildTest, ADeferredBuildKeepsItsComponentsAndFilter) {
  std::vector<FileControlBlock*> messages;
  SetBuildMessageHook([&](uint32_t message, FileControlBlock& fcb) {
    EXPECT_EQ(message, kBuildMessage);
    messages.push_back(&fcb);
  });
  // Shared, not locked: a dynamic index needs no exclusive access, deferred or not.
  BuildByEvents(*f_, true);
  ASSERT_EQ(BuildIndex(*f_, kDyn, "-MOV:ID", "MOV:CITY = 'Zagreb'"), 0);
  EXPECT_EQ(f_->work->deferred.components, "-MOV:ID");
  EXPECT_EQ(f_->work->deferred.filter, "MOV:CITY = 'Zagreb'");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(SetKey(*f_, kDyn), 46);  // built only when the message has been answered
  EXPECT_EQ(AnswerBuildMessage(messages[0]), 0);
  EXPECT_EQ(Read(*f_, kDyn), (std::vector<int32_t>{3, 2}));
  // A deferred build that fails leaves an index that was not built unbuilt.
  BuildByEvents(*f_, true);
  ASSERT_EQ(BuildIndex(*f_, kIName, "MOV:NOPE"), 0);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(AnswerBuildMessage(messages[1]), 76);
  EXPECT_EQ(SetKey(*f_, kIName), 46);
  SetBuildMessageHook(nullptr);
}

}  // namespace
}  // namespace cinevo::isam
