// The data-file commands of tvx on files they make themselves: create from a declaration
// text, import (all or nothing), dump in file and key order, rebuild; clear errors and no
// writes on failure.
#include "tools/tvx/tvx_import.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/tvx/tvx_check.h"
#include "tools/tvx/tvx_create.h"
#include "tools/tvx/tvx_dump.h"
#include "tools/tvx/tvx_export.h"
#include "runtime/data/file_statements.h"
#include "tools/tvx/tvx_rebuild.h"
#include "tools/tvx/tvx_test_support.h"

namespace cinevo::tvx {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class TvxDataCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tvx_data_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    file_ = (dir_ / "MOVIES.TVX").string();
    Write("decl.txt",
          "# movies\n"
          "FIELD MOV:ID LONG\n"
          "FIELD MOV:NAME STRING(20)\n"
          "FIELD MOV:PRICE DECIMAL(7,2)\n"
          "FIELD MOV:DAY DATE\n"
          "MEMO MOV:NOTE 100\n"
          "KEY MOV:KID MOV:ID PRIMARY\n"
          "KEY MOV:KNAME MOV:NAME,-MOV:ID DUP NOCASE\n");
    ASSERT_EQ(Invoke(RunCreate, {file_, Path("decl.txt")}, out_, err_), 0) << err_;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) { return (dir_ / name).string(); }
  void Write(const std::string& name, const std::string& text) { std::ofstream(dir_ / name) << text; }

  fs::path dir_;
  std::string file_, out_, err_;
};

TEST_F(TvxDataCommands, ImportThenDumpInFileAndKeyOrder) {
  Write("in.csv", "NAME,ID,PRICE,DAY\n\"Zed, the\",1,12.5,2020-01-02\nalpha,2,-3,\nBeta,3,0.01,1999-12-31\n");
  ASSERT_EQ(Invoke(RunImport, {file_, "--csv", Path("in.csv")}, out_, err_), 0) << err_;
  EXPECT_NE(out_.find("3 records imported"), std::string::npos);
  ASSERT_EQ(Invoke(RunDump, {file_, "--format", "csv"}, out_, err_), 0) << err_;
  EXPECT_EQ(out_,
            "RECNO,MOV:ID,MOV:NAME,MOV:PRICE,MOV:DAY\n"
            "2,1,\"Zed, the\",12.50,2020-01-02\n"
            "3,2,alpha,-3.00,\n"
            "4,3,Beta,0.01,1999-12-31\n");
  ASSERT_EQ(Invoke(RunDump, {file_, "--key", "kname", "--format", "csv"}, out_, err_), 0) << err_;
  std::istringstream lines(out_);
  std::string header, first, second;
  std::getline(lines, header);
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_EQ(first.substr(0, 8), "3,2,alph");
  EXPECT_EQ(second.substr(0, 8), "4,3,Beta");
  ASSERT_EQ(Invoke(RunDump, {file_}, out_, err_), 0);
  EXPECT_NE(out_.find("(3 records)"), std::string::npos);
  ASSERT_EQ(Invoke(RunDump, {file_, "--format", "json"}, out_, err_), 0);
  EXPECT_NE(out_.find("\"MOV:PRICE\": \"-3.00\""), std::string::npos);
  EXPECT_EQ(Invoke(RunDump, {file_, "--key", "NOPE"}, out_, err_), 2);
  EXPECT_NE(err_.find("no key NOPE"), std::string::npos);
  // A JSON import of the dump's records adds them again (the keys allow it after a renumbering).
  Write("more.json", "[{\"MOV:ID\": 10, \"MOV:NAME\": \"caf\\u00e9\"}, {\"values\": {\"ID\": 11, \"PRICE\": \"1\"}}]");
  ASSERT_EQ(Invoke(RunImport, {file_, "--json", Path("more.json")}, out_, err_), 0) << err_;
  ASSERT_EQ(Invoke(RunDump, {file_, "--format", "csv"}, out_, err_), 0);
  EXPECT_NE(out_.find(",10,caf\xE9,0.00,"), std::string::npos);
  EXPECT_NE(out_.find(",11,,1.00,"), std::string::npos);
}

TEST_F(TvxDataCommands, BadImportsLeaveTheFileAsItWas) {
  Write("ok.csv", "ID,NAME\n1,one\n");
  ASSERT_EQ(Invoke(RunImport, {file_, "--csv", Path("ok.csv")}, out_, err_), 0) << err_;
  std::string before = Slurp(file_);
  struct Case {
    const char* name;
    const char* text;
    const char* message;
    int status;
  } cases[] = {
      {"count.csv", "ID,NAME\n5,five\n6\n", "line 3: 1 fields, expected 2", 2},
      {"value.csv", "ID,NAME\n5,five\nsix,six\n", "line 3, MOV:ID: not a LONG", 2},
      {"long.csv", "ID,NAME\n5,a name far longer than twenty\n", "text longer than the field", 2},
      {"field.csv", "ID,COLOUR\n5,red\n", "no field COLOUR", 2},
      {"dup.csv", "ID,NAME\n5,five\n1,again\n", "line 3: creates a duplicate key", 1},
      {"quote.csv", "ID,NAME\n5,\"open\n", "unterminated quote", 2},
      {"bad.json", "[{\"ID\": 5,}]", "JSON error", 2},
  };
  for (const Case& c : cases) {
    Write(c.name, c.text);
    bool json = std::string(c.name).ends_with(".json");
    EXPECT_EQ(Invoke(RunImport, {file_, json ? "--json" : "--csv", Path(c.name)}, out_, err_), c.status) << c.name;
    EXPECT_NE(err_.find(c.message), std::string::npos) << c.name << ": " << err_;
    EXPECT_NE(err_.find("nothing imported"), std::string::npos) << c.name;
    EXPECT_EQ(Slurp(file_), before) << c.name;
  }
  EXPECT_EQ(Invoke(RunImport, {file_, "--csv", Path("missing.csv")}, out_, err_), 2);
  EXPECT_EQ(Slurp(file_), before);
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(dir_)) left.push_back(e.path().filename().string());
  EXPECT_EQ(std::count_if(left.begin(), left.end(), [](const std::string& n) { return n.find(".import-") != std::string::npos; }), 0);
}

TEST_F(TvxDataCommands, CreateRefusesBadDeclarationsAndExistingTables) {
  EXPECT_EQ(Invoke(RunCreate, {file_, Path("decl.txt")}, out_, err_), 2);
  EXPECT_NE(err_.find("already holds a table"), std::string::npos);
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"FIELD A:X LONG\nFIELD A:Y FLOAT\n", "line 2: unknown type FLOAT"},
      {"FIELD A:X STRING\n", "STRING needs a size"},
      {"FIELD A:X LONG\nKEY A:K A:Z\n", "line 2: key component A:Z is not a field"},
      {"FIELD A:X LONG\nKEY A:K A:X SORTED\n", "unknown key attribute SORTED"},
      {"MEMO A:M 10\n", "no FIELD declared"},
      {"FIELD A:X STRING(16000)\nKEY A:K A:X\n", "exceeds the largest storable record"},
      {"TABLE X\n", "unknown item TABLE"},
  };
  for (const Case& c : cases) {
    FileDeclaration d;
    std::string error;
    EXPECT_FALSE(ParseDeclarationText(c.text, d, error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.text << " gave: " << error;
  }
  FileDeclaration d;
  std::string error;
  ASSERT_TRUE(ParseDeclarationText("field a:g group(8)\nfield a:c string(4)\nfield a:n long dim(2)\n"
                                   "field a:d decimal(9,2)\nblob a:b\nindex a:k -a:n,a:c opt name(KN)\n",
                                   d, error))
      << error;
  EXPECT_EQ(d.fields[1].offset, 0u);  // the GROUP overlays the fields after it
  EXPECT_EQ(d.fields[2].offset, 4u);
  EXPECT_EQ(d.fields[3].offset, 12u);
  EXPECT_EQ(d.fields[3].size, 5u);
  EXPECT_EQ(d.keys[0].components, (std::vector<int32_t>{-3, 2}));
  EXPECT_EQ(d.keys[0].flags, static_cast<uint32_t>(kKeyIndex | kKeyOpt));
  EXPECT_EQ(d.keys[0].name, "KN");
  EXPECT_TRUE(d.memos[0].IsBlob());
}

TEST_F(TvxDataCommands, RebuildRewritesKeys) {
  Write("in.csv", "ID,NAME\n1,b\n2,a\n");
  ASSERT_EQ(Invoke(RunImport, {file_, "--csv", Path("in.csv")}, out_, err_), 0) << err_;
  ASSERT_EQ(Invoke(RunCheck, {file_}, out_, err_), 0) << out_;
  std::string before = Slurp(file_);
  ASSERT_EQ(Invoke(RunRebuild, {file_}, out_, err_), 0) << err_;
  EXPECT_NE(out_.find("MOV:KID: 2 entries"), std::string::npos);
  EXPECT_NE(out_.find("MOV:KNAME: 2 entries"), std::string::npos);
  ASSERT_EQ(Invoke(RunCheck, {file_}, out_, err_), 0) << out_;
  EXPECT_NE(Slurp(file_), before);  // rebuilt, and still clean
  ASSERT_EQ(Invoke(RunRebuild, {file_, "KNAME"}, out_, err_), 0) << err_;
  EXPECT_EQ(out_, "MOV:KNAME: 2 entries\n");
  EXPECT_EQ(Invoke(RunRebuild, {file_, "NOPE"}, out_, err_), 2);
  EXPECT_EQ(Invoke(RunRebuild, {Path("ABSENT")}, out_, err_), 2);
}

TEST_F(TvxDataCommands, ADirectoryAsSourceEndsWithAMessage) {
  std::string before = Slurp(file_);
  fs::create_directories(dir_ / "folder");
  for (const char* form : {"--csv", "--json"}) {
    EXPECT_EQ(Invoke(RunImport, {file_, form, Path("folder")}, out_, err_), 2) << form;
    EXPECT_NE(err_.find("is a directory"), std::string::npos) << err_;
    EXPECT_NE(err_.find("nothing imported"), std::string::npos) << err_;
  }
  EXPECT_EQ(Invoke(RunCreate, {Path("OTHER.TVX"), Path("folder")}, out_, err_), 2);
  EXPECT_NE(err_.find("is a directory"), std::string::npos) << err_;
  EXPECT_FALSE(fs::exists(Path("OTHER.TVX")));
  EXPECT_EQ(Slurp(file_), before);
}

// Every element of a field with DIM: blank-padded when short, one CSV column ("LABEL[i]") and
// one JSON array item each, in both directions.
TEST_F(TvxDataCommands, EveryElementOfADimFieldIsImportedPaddedAndExported) {
  std::string tags = Path("TAGS.TVX");
  Write("tags.txt", "FIELD T:ID LONG\nFIELD T:TAG STRING(5) DIM(4)\nFIELD T:N SHORT DIM(3)\n");
  ASSERT_EQ(Invoke(RunCreate, {tags, Path("tags.txt")}, out_, err_), 0) << err_;
  Write("tags.csv", "ID,TAG\n1,ab\n");
  ASSERT_EQ(Invoke(RunImport, {tags, "--csv", Path("tags.csv")}, out_, err_), 0) << err_;
  Write("tags2.csv", "ID,T:TAG[1],TAG[3],N[2]\n2,x,yz,-7\n");
  ASSERT_EQ(Invoke(RunImport, {tags, "--csv", Path("tags2.csv")}, out_, err_), 0) << err_;
  Write("tags.json", "[{\"ID\": 3, \"TAG\": [\"p\", \"q\"], \"N\": [1, 2, 3]}]");
  ASSERT_EQ(Invoke(RunImport, {tags, "--json", Path("tags.json")}, out_, err_), 0) << err_;
  {
    ToolTable t;
    std::string error;
    ASSERT_EQ(OpenToolTable(tags, false, t, error), 0) << error;
    ASSERT_EQ(Set(*t.fcb), 0);
    ASSERT_EQ(Next(*t.fcb), 0);
    std::string first(reinterpret_cast<const char*>(t.fcb->record.data()) + 4, 20);
    EXPECT_EQ(first, "ab" + std::string(18, ' '));  // no zero bytes in elements 2 to 4
  }
  ASSERT_EQ(Invoke(RunExport, {tags, "--csv"}, out_, err_), 0) << err_;
  EXPECT_EQ(out_,
            "T:ID,T:TAG[1],T:TAG[2],T:TAG[3],T:TAG[4],T:N[1],T:N[2],T:N[3]\n"
            "1,ab,,,,0,0,0\n"
            "2,x,,yz,,0,-7,0\n"
            "3,p,q,,,1,2,3\n");
  // The CSV export imports again as it stands.
  std::string exported = out_;
  Write("all.csv", exported);
  std::string copy = Path("COPY.TVX");
  ASSERT_EQ(Invoke(RunCreate, {copy, Path("tags.txt")}, out_, err_), 0) << err_;
  ASSERT_EQ(Invoke(RunImport, {copy, "--csv", Path("all.csv")}, out_, err_), 0) << err_;
  ASSERT_EQ(Invoke(RunExport, {copy, "--csv"}, out_, err_), 0);
  EXPECT_EQ(out_, exported);
  ASSERT_EQ(Invoke(RunExport, {tags}, out_, err_), 0);
  EXPECT_NE(out_.find("\"T:TAG\": [\"x\", \"\", \"yz\", \"\"]"), std::string::npos) << out_;
  EXPECT_NE(out_.find("\"T:N\": [0, -7, 0]"), std::string::npos) << out_;

  Write("bad1.csv", "ID,TAG[5]\n9,a\n");
  EXPECT_EQ(Invoke(RunImport, {tags, "--csv", Path("bad1.csv")}, out_, err_), 2);
  EXPECT_NE(err_.find("no element TAG[5]"), std::string::npos) << err_;
  Write("bad2.json", "[{\"ID\": 9, \"TAG\": [\"a\", \"b\", \"c\", \"d\", \"e\"]}]");
  EXPECT_EQ(Invoke(RunImport, {tags, "--json", Path("bad2.json")}, out_, err_), 2);
  EXPECT_NE(err_.find("more values than elements"), std::string::npos) << err_;
}

}  // namespace
}  // namespace cinevo::tvx
