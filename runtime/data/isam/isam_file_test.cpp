#include "runtime/data/isam/isam_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/format_check.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {

// The declaration of a small table: a LONG id, a STRING name, a DECIMAL amount, a MEMO.
TableDeclaration Customers() {
  TableDeclaration d;
  d.record_length = 40;
  StreamField id;
  id.type = 6;
  id.name = "CUS:ID";
  id.length = 4;
  StreamField name;
  name.type = 18;
  name.offset = 4;
  name.name = "CUS:NAME";
  name.length = 30;
  name.declared_length = 30;
  StreamField amount;
  amount.type = 10;
  amount.offset = 34;
  amount.name = "CUS:AMOUNT";
  amount.length = 6;
  amount.digits = 11;
  amount.places = 2;
  d.fields = {id, name, amount};
  StreamMemo notes;
  notes.name = "CUS:NOTES";
  notes.max_size = 1000;
  d.memos = {notes};
  StreamKey kid;
  kid.name = "CUS:KID";
  kid.flags = 0x10;
  kid.components = {{0, 0}};
  StreamKey kname;
  kname.name = "CUS:KNAME";
  kname.flags = 0x05;
  kname.components = {{1, 0}, {2, 1}};
  d.keys = {kid, kname};
  return d;
}

class IsamFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("isam_file_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    options_.sync = false;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string P(const std::string& name) { return (dir_ / name).string(); }

  std::filesystem::path dir_;
  PageStoreOptions options_;
};

TEST_F(IsamFileTest, FileNamesSplitAtTheFirstSeparatorNotAfterADirectory) {
  FileName a = SplitFileName("data\\!orders");
  EXPECT_EQ(a.physical, "data");
  EXPECT_EQ(a.table, "ORDERS");
  FileName b = SplitFileName("data");
  EXPECT_EQ(b.table, "UNNAMED");
  FileName c = SplitFileName("x\\!a\\!b");
  EXPECT_EQ(c.physical, "x");
  EXPECT_EQ(c.table, "A\\!B");
  std::filesystem::create_directories(P("dir"));
  FileName d = SplitFileName(P("dir") + "\\!f\\!t");
  EXPECT_EQ(d.physical, P("dir") + "\\!f") << "the text before the first separator is a directory";
  EXPECT_EQ(d.table, "T");
}

TEST_F(IsamFileTest, PhysicalNamesGetTheDefaultExtensionAndAreFoundWithoutRegardToCase) {
  EXPECT_EQ(ResolvePhysicalPath(P("GRUPA")), P("GRUPA.TVX"));
  EXPECT_EQ(ResolvePhysicalPath(P("list.dat")), P("list.dat"));
  std::ofstream(P("podgru.tvx")) << "";
  EXPECT_EQ(ResolvePhysicalPath(P("PODGRU")), P("podgru.tvx"));
  EXPECT_EQ(ResolvePhysicalPath(P("PodGru.TVX")), P("podgru.tvx"));
}

TEST_F(IsamFileTest, TwoNamedTablesAndTheUnnamedOneShareAPhysicalFile) {
  OpenedTable a, b, c;
  ASSERT_TRUE(CreateTable(P("shop") + "\\!customers", Customers(), options_, a).ok());
  a.file.reset();
  ASSERT_TRUE(CreateTable(P("shop") + "\\!Orders", Customers(), options_, b).ok());
  b.file.reset();
  ASSERT_TRUE(CreateTable(P("shop"), Customers(), options_, c).ok());
  c.file.reset();
  EXPECT_TRUE(std::filesystem::exists(P("shop.TVX")));

  std::unique_ptr<IsamFile> file;
  ASSERT_TRUE(IsamFile::Open(P("shop.TVX"), options_, file).ok());
  std::vector<TableInfo> tables;
  ASSERT_TRUE(file->ListTables(tables).ok());
  ASSERT_EQ(tables.size(), 3u);
  EXPECT_EQ(tables[0].name, "CUSTOMERS");
  EXPECT_EQ(tables[0].number, 1u);
  EXPECT_EQ(tables[1].name, "ORDERS");
  EXPECT_EQ(tables[2].name, "UNNAMED");
  EXPECT_EQ(tables[2].number, 3u);
  uint32_t entries = 9, mark = 9;
  bool found = false;
  ASSERT_TRUE(file->ReadCounters(2, kTagData, entries, mark, found).ok());
  EXPECT_TRUE(found);
  EXPECT_EQ(entries, 0u);
  ASSERT_TRUE(file->ReadCounters(2, 1, entries, mark, found).ok());
  EXPECT_TRUE(found) << "one counters record per key";
  std::vector<Violation> violations;
  FileSummary summary;
  ASSERT_TRUE(CheckFormat(file->store(), violations, summary).ok());
  EXPECT_TRUE(violations.empty());
  file.reset();

  OpenedTable opened;
  ASSERT_TRUE(OpenTable(P("SHOP") + "\\!orders", nullptr, options_, opened).ok());
  EXPECT_EQ(opened.number, 2u);
  EXPECT_EQ(opened.declaration, Customers()) << "a FILE without a declaration takes the stored one";
  EXPECT_EQ(OpenTable(P("shop") + "\\!missing", nullptr, options_, opened).code, kErrFileNotFound);
  EXPECT_EQ(OpenTable(P("nofile"), nullptr, options_, opened).code, kErrFileNotFound);
}

TEST_F(IsamFileTest, OpenComparesTheDeclarationItemByItem) {
  OpenedTable t;
  ASSERT_TRUE(CreateTable(P("c"), Customers(), options_, t).ok());
  t.file.reset();
  TableDeclaration same = Customers();
  EXPECT_TRUE(OpenTable(P("c"), &same, options_, t).ok());

  TableDeclaration primary = Customers();
  primary.keys[0].flags = 0;  // PRIMARY is not compared
  primary.memos[0].flags = 0x02;  // nor a memo's BINARY flag
  primary.fields[1].name = "cus:name";  // nor the case of names
  EXPECT_TRUE(OpenTable(P("c"), &primary, options_, t).ok());

  auto expect47 = [&](TableDeclaration d, const char* what) {
    Status st = OpenTable(P("c"), &d, options_, t);
    EXPECT_EQ(st.code, kErrInvalidRecordDeclaration) << what;
  };
  TableDeclaration d = Customers();
  d.fields[1].length = 29;
  expect47(d, "field length");
  d = Customers();
  d.fields[2].places = 3;
  expect47(d, "decimal places");
  d = Customers();
  d.keys[1].flags = 0x04;
  expect47(d, "DUP dropped");
  d = Customers();
  d.keys[1].components[1].descending = 0;
  expect47(d, "direction");
  d = Customers();
  d.memos[0].flags = 0x04;
  d.version = 2;
  expect47(d, "MEMO declared as BLOB");
  d = Customers();
  d.keys.pop_back();
  expect47(d, "key count");
}

TEST_F(IsamFileTest, TablesTooLongForTheTreeAreRefusedAtCreateAndOpen) {
  TableDeclaration d = Customers();
  d.record_length = static_cast<uint16_t>(kMaxTreeRecord - 9 + 1);
  OpenedTable t;
  Status st = CreateTable(P("long"), d, options_, t);
  EXPECT_EQ(st.code, kErrInvalidRecordDeclaration);
  EXPECT_FALSE(std::filesystem::exists(P("long.TVX"))) << "nothing was written";
  d.record_length = static_cast<uint16_t>(kMaxTreeRecord - 9);
  ASSERT_TRUE(CreateTable(P("long"), d, options_, t).ok()) << "the largest storable record length";
  t.file.reset();

  // A file from elsewhere that declares a longer record opens with 47, not a broken tree.
  std::unique_ptr<IsamFile> file;
  ASSERT_TRUE(IsamFile::Create(P("alien.TVX"), options_, file).ok());
  d.record_length = 9000;
  uint32_t number = 0;
  ASSERT_TRUE(file->AddTable("UNNAMED", d, number).ok());
  file.reset();
  EXPECT_EQ(OpenTable(P("alien"), nullptr, options_, t).code, kErrInvalidRecordDeclaration);
}

TEST_F(IsamFileTest, DeclarationBlocksAreReadByNumberBeyondBlock255) {
  TableDeclaration d;
  d.record_length = 100;
  for (int i = 0; i < 8000; ++i) {
    StreamField f;
    f.type = 1;
    f.offset = static_cast<uint16_t>(i % 100);
    f.name = "F:" + std::to_string(i);
    f.length = 1;
    d.fields.push_back(f);
  }
  ASSERT_GT(EncodeDeclaration(d).size(), 260u * kDeclarationBlockSize);
  std::unique_ptr<IsamFile> file;
  ASSERT_TRUE(IsamFile::Create(P("wide.TVX"), options_, file).ok());
  uint32_t number = 0;
  ASSERT_TRUE(file->AddTable("UNNAMED", d, number).ok());
  TableDeclaration back;
  Status st = file->ReadDeclaration(number, back);
  ASSERT_TRUE(st.ok()) << st.detail;
  EXPECT_EQ(back, d);
  std::vector<Violation> violations;
  FileSummary summary;
  ASSERT_TRUE(CheckFormat(file->store(), violations, summary).ok());
  for (const Violation& v : violations) ADD_FAILURE() << v.where << " " << v.text;
}

TEST_F(IsamFileTest, CreateRemakesASingleTableFileButKeepsOtherTables) {
  OpenedTable t;
  ASSERT_TRUE(CreateTable(P("m") + "\\!A", Customers(), options_, t).ok());
  bool existed = false;
  ASSERT_TRUE(t.file->tree().Insert(MakeRecord(DataKey(t.number, 77), std::string(40, 'a')), existed).ok());
  ASSERT_TRUE(t.file->store().Commit().ok());
  t.file.reset();
  ASSERT_TRUE(CreateTable(P("m") + "\\!B", Customers(), options_, t).ok());
  t.file.reset();
  // Creating A again removes A's records and keeps B.
  ASSERT_TRUE(CreateTable(P("m") + "\\!A", Customers(), options_, t).ok());
  Record r;
  bool found = true;
  ASSERT_TRUE(t.file->tree().Find(DataKey(1, 77), r, found).ok());
  EXPECT_FALSE(found);
  std::vector<TableInfo> tables;
  ASSERT_TRUE(t.file->ListTables(tables).ok());
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_EQ(tables[0].name, "A");
  EXPECT_EQ(tables[0].number, 3u) << "a new number";
  EXPECT_EQ(tables[1].name, "B");
}

TEST(DeclarationStream, TextsAndNumbersHaveTheirFixedForms) {
  TableDeclaration d;
  d.record_length = 21;
  StreamField f;
  f.type = 18;
  f.name = "GRU:SIFRA";
  f.length = 20;
  f.declared_length = 20;
  d.fields = {f};
  StreamKey k;
  k.name = "GRU:PRK";
  k.flags = 0x06;
  k.components = {{0, 0}};
  d.keys = {k};
  std::string s = EncodeDeclaration(d);
  std::string want = std::string("\x01\x00\x15\x00\x01\x00\x00\x00\x01\x00", 10) +  // version .. key count
                     std::string("\x12\x00\x00", 3) + "GRU:SIFRA" + std::string("\x00\x01\x00\x14\x00\x00\x00\x00\x00", 9) +
                     std::string("\x14\x00\x00\x01", 4) +  // declared length, absent picture
                     std::string("\x00\x01", 2) + "GRU:PRK" + std::string("\x00\x06\x01\x00\x00\x00\x00\x00", 8);
  EXPECT_EQ(s, want);
  d.fields[0].picture = "";
  EXPECT_NE(EncodeDeclaration(d).find(std::string("\x14\x00\x00\x00", 4)), std::string::npos) << "empty text is 00 00";
}

TEST(DeclarationStream, MalformedStreamsAreRefused) {
  std::string s = EncodeDeclaration(Customers());
  TableDeclaration out;
  for (size_t cut = 0; cut < s.size(); ++cut) {
    EXPECT_FALSE(DecodeDeclaration(s.substr(0, cut), out).ok()) << cut;
  }
  EXPECT_FALSE(DecodeDeclaration(s + "x", out).ok());
  std::string huge = s;
  PutLe16(reinterpret_cast<uint8_t*>(huge.data()) + 4, 0xFFFF);  // field count
  EXPECT_EQ(DecodeDeclaration(huge, out).file_error, kCheckDeclaration);
}

TEST(DeclarationStream, ProgramDeclarationsConvertToTheStreamForm) {
  FileDeclaration decl;
  FieldDeclaration sifra;
  sifra.label = "GRU:SIFRA";
  sifra.type = TypeCode::kString;
  sifra.size = 20;
  sifra.length = 20;
  FieldDeclaration sel;
  sel.label = "GRU:SFSEL";
  sel.type = TypeCode::kString;
  sel.offset = 20;
  sel.size = 1;
  sel.length = 1;
  decl.fields = {sifra, sel};
  KeyDeclaration prk;
  prk.label = "GRU:PRK";
  prk.flags = kKeyOpt | kKeyNoCase;
  prk.components = {1};
  KeyDeclaration desc;
  desc.label = "GRU:DESC";
  desc.flags = kKeyDup | kKeyIndex;
  desc.components = {-2, 1};
  decl.keys = {prk, desc};
  MemoDeclaration blob;
  blob.label = "GRU:PIC";
  blob.flags = kMemoBlob;
  decl.memos = {blob};
  TableDeclaration d = FromFileDeclaration(decl);
  EXPECT_EQ(d.version, 2) << "a BLOB makes version 2";
  EXPECT_EQ(d.record_length, 21);
  ASSERT_EQ(d.fields.size(), 2u);
  EXPECT_EQ(d.fields[1].offset, 20);
  EXPECT_EQ(d.fields[1].declared_length, 1);
  EXPECT_FALSE(d.fields[1].picture.has_value());
  EXPECT_EQ(d.keys[0].flags, 0x06);
  EXPECT_EQ(d.keys[1].flags, 0x01) << "the INDEX mark is not stored";
  EXPECT_EQ(d.keys[1].components, (std::vector<StreamKeyComponent>{{1, 1}, {0, 0}}));
  EXPECT_EQ(d.memos[0].flags, 0x04);
}

}  // namespace
}  // namespace cinevo::isam
