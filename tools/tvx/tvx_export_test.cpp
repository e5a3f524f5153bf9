// tvx export writes every record, declaration and key order of a file exactly as the ground
// truth of the files from another implementation has them; CSV for one table.
#include "tools/tvx/tvx_export.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/testing/test_data_dir.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/isam/isam_file.h"
#include "runtime/data/isam/record_kinds.h"
#include "runtime/data/isam/transaction.h"
#include "tools/tvx/tvx_create.h"
#include "tools/tvx/tvx_import.h"
#include "tools/tvx/tvx_table.h"
#include "tools/tvx/tvx_test_support.h"

namespace cinevo::tvx {
namespace {

namespace fs = std::filesystem;

// The ground truth without its generator's scenario name, which only the generator knows.
std::string GroundTruth(const fs::path& json) {
  std::ifstream in(json);
  std::string line, text;
  while (std::getline(in, line)) {
    if (line.find("\"scenario\"") != std::string::npos) continue;
    text += line + "\n";
  }
  return text;
}

// A one-table file of our own, with the given transaction marker payload when not empty.
std::string MakeFile(const fs::path& dir, const std::string& marker_payload) {
  fs::create_directories(dir);
  std::string path = (dir / "MARK.TVX").string();
  fs::remove(path);
  isam::PageStoreOptions options;
  options.sync = false;
  isam::TableDeclaration d;
  d.record_length = 4;
  isam::StreamField f;
  f.type = 6;
  f.name = "MRK:ID";
  f.length = 4;
  d.fields = {f};
  isam::OpenedTable t;
  EXPECT_TRUE(isam::CreateTable(path, d, options, t).ok());
  if (!marker_payload.empty()) {
    bool existed = false;
    EXPECT_TRUE(t.file->tree().Insert(isam::MakeRecord(std::string(1, '\xFF'), marker_payload), existed).ok());
    EXPECT_TRUE(t.file->store().Commit().ok());
  }
  return path;
}

TEST(TvxExport, MatchesTheGroundTruthOfEveryForeignFile) {
  fs::path dir = ::cinevo::TestDataDir() / "tvx";
  if (!fs::exists(dir)) GTEST_SKIP() << "test data not present: " << dir;
  for (const char* name : {"types.tvx", "multitable.tvx", "empty.tvx", "catalogue/GRUPA.TVX", "catalogue/PODGRU.TVX"}) {
    std::string out, err;
    ASSERT_EQ(Invoke(RunExport, {(dir / name).string()}, out, err), 0) << name << ": " << err;
    std::string expected = GroundTruth(dir / (std::string(name) + ".json"));
    EXPECT_EQ(out, expected) << name;
  }
}

TEST(TvxExport, CsvOfOneTableAndClearErrors) {
  fs::path dir = ::cinevo::TestDataDir() / "tvx";
  if (!fs::exists(dir)) GTEST_SKIP() << "test data not present: " << dir;
  std::string out, err;
  ASSERT_EQ(Invoke(RunExport, {(dir / "catalogue/GRUPA.TVX").string(), "--csv"}, out, err), 0) << err;
  std::istringstream lines(out);
  std::string header;
  std::getline(lines, header);
  EXPECT_EQ(header, "GRU:SIFRA,GRU:SFSEL");
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 206);  // header and 205 groups
  EXPECT_EQ(Invoke(RunExport, {(dir / "multitable.tvx").string(), "--csv"}, out, err), 2);
  EXPECT_NE(err.find("--table"), std::string::npos);
  EXPECT_EQ(Invoke(RunExport, {(dir / "multitable.tvx").string(), "--csv", "--table", "orders"}, out, err), 0) << err;
  EXPECT_EQ(out.rfind("ORD:ID,", 0), 0u);
  EXPECT_EQ(Invoke(RunExport, {(dir / "multitable.tvx").string(), "--table", "NOPE"}, out, err), 2);
  EXPECT_EQ(Invoke(RunExport, {"/nonexistent/file.tvx"}, out, err), 2);
  EXPECT_FALSE(err.empty());
}

TEST(TvxExport, TransactionMarkerOfOurOwnFiles) {
  fs::path dir = fs::temp_directory_path() / ("tvx_export_marker_" + std::to_string(::getpid()));
  std::string out, err;
  // No marker: no member for it.
  std::string path = MakeFile(dir, "");
  ASSERT_EQ(Invoke(RunExport, {path}, out, err), 0) << err;
  EXPECT_EQ(out.find("transaction_marker"), std::string::npos);
  // A marker: its number as the hex of the stored bytes, the control file's name without its zero.
  path = MakeFile(dir, std::string("\x07\x00\x00\x01", 4) + "C:\\TARVEX.TCF" + std::string(1, '\0'));
  ASSERT_EQ(Invoke(RunExport, {path}, out, err), 0) << err;
  EXPECT_NE(out.find(" \"transaction_marker\": {\n  \"transaction\": \"07000001\",\n"
                     "  \"control_file\": \"C:\\\\TARVEX.TCF\"\n }\n}\n"),
            std::string::npos)
      << out;
  // A damaged marker shorter than its number is shown as it is, not read past its end.
  path = MakeFile(dir, std::string("\x12\x34", 2));
  ASSERT_EQ(Invoke(RunExport, {path}, out, err), 0) << err;
  EXPECT_NE(out.find("\"transaction\": \"1234\""), std::string::npos) << out;
  EXPECT_NE(out.find("\"control_file\": \"\""), std::string::npos) << out;
  fs::remove_all(dir);
}

// export -> create (from the exported declaration) -> import carries everything a file holds:
// every type, pictures, every element of DIM fields, MEMOs, BLOBs with any bytes, bytes after a
// CSTRING's end, and the transaction marker. The exports of both files are the same.
TEST(TvxExport, ARoundTripThroughCreateAndImportCarriesEverything) {
  fs::path dir = fs::temp_directory_path() / ("tvx_round_trip_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::string original = (dir / "ALL.TVX").string(), copy = (dir / "COPY.TVX").string();
  std::string declaration =
      "FIELD A:BYTE BYTE\nFIELD A:SHORT SHORT\nFIELD A:USHORT USHORT\nFIELD A:DATE DATE\nFIELD A:TIME TIME\n"
      "FIELD A:LONG LONG\nFIELD A:ULONG ULONG\nFIELD A:SREAL SREAL\nFIELD A:REAL REAL\nFIELD A:DEC DECIMAL(9,2)\n"
      "FIELD A:PDEC PDECIMAL(7,3)\nFIELD A:STR STRING(10)\nFIELD A:CSTR CSTRING(8)\nFIELD A:PSTR PSTRING(6)\n"
      "FIELD A:PIC STRING(@s12)   # a picture\nFIELD A:PHONE STRING(@P(###) ###-####P)\nFIELD A:CPIC CSTRING(10,@n8.2)\n"
      "FIELD A:GRP GROUP(6)\nFIELD A:G1 STRING(2)\nFIELD A:G2 LONG\n"
      "FIELD A:TAGS STRING(5) DIM(3)\nFIELD A:NUMS LONG DIM(2)\n"
      "MEMO A:NOTE 300 NAME(NOTES)\nMEMO A:RAW 50 BINARY\nBLOB A:IMAGE\n"
      "KEY A:KLONG A:LONG PRIMARY\nKEY A:KSTR A:STR,-A:DATE DUP NOCASE\nKEY A:KOPT A:CSTR OPT NAME(OPTKEY)\n";
  std::ofstream(dir / "all.txt") << declaration;
  std::string out, err;
  ASSERT_EQ(Invoke(RunCreate, {original, (dir / "all.txt").string()}, out, err), 0) << err;
  {
    ToolTable t;
    std::string error;
    ASSERT_EQ(OpenToolTable(original, true, t, error), 0) << error;
    const isam::TableDeclaration& d = t.stored;
    for (int n = 0; n < 40; ++n) {
      std::vector<uint8_t> rec = BlankRecord(d);
      auto put = [&](const char* name, const std::string& text, uint16_t element = 0) {
        std::string why;
        ASSERT_TRUE(ParseField(d.fields[static_cast<size_t>(FindField(d, name))], text, rec.data(), rec.size(), why, element))
            << name << ": " << why;
      };
      put("A:BYTE", std::to_string(n * 7 % 256));
      put("A:SHORT", std::to_string(-300 * n));
      put("A:USHORT", std::to_string(1000 + n));
      put("A:DATE", n % 5 ? "2024-02-" + std::to_string(10 + n % 19) : "");
      put("A:TIME", "12:34:56." + std::to_string(10 + n));
      put("A:LONG", std::to_string(n * 1000003 - 7));
      put("A:ULONG", std::to_string(4000000000u + n));
      put("A:SREAL", std::to_string(n) + ".25");
      put("A:REAL", "-1e" + std::to_string(n % 30));
      put("A:DEC", std::to_string(n * 3) + ".5");
      put("A:PDEC", "-" + std::to_string(n) + ".125");
      put("A:STR", "name " + std::to_string(n % 9));
      put("A:CSTR", n % 4 ? "c" + std::to_string(n) : "");
      put("A:PSTR", "p" + std::to_string(n));
      put("A:PIC", "pictured " + std::to_string(n));
      put("A:PHONE", "5551234");
      put("A:CPIC", "12.5");
      put("A:G1", "g" + std::to_string(n % 10));
      put("A:G2", std::to_string(n));
      put("A:TAGS", "t1", 0);
      put("A:TAGS", n % 2 ? "t3" : "", 2);
      put("A:NUMS", std::to_string(-n), 1);
      // Bytes after the CSTRING's zero that no value shows.
      rec[d.fields[static_cast<size_t>(FindField(d, "A:CSTR"))].offset + 6] = static_cast<uint8_t>(0xA0 + n % 16);
      std::copy(rec.begin(), rec.end(), t.fcb->record.begin());
      std::string blob;
      for (int i = 0; i < n * 37; ++i) blob.push_back(static_cast<char>((i * 31 + n) % 256));
      std::string note = n % 3 ? "line one\nline \"two\", caf\xE9 " + std::string(static_cast<size_t>(n * 7), 'x') : "";
      ASSERT_EQ(SetProperty(*t.fcb, isam::kBlobPropContents, note, -1), 0);
      ASSERT_EQ(SetProperty(*t.fcb, isam::kBlobPropContents, std::string("\0\x01\xFF", 3), -2), 0);
      ASSERT_EQ(SetProperty(*t.fcb, isam::kBlobPropContents, blob, -3), 0);
      ASSERT_EQ(Add(*t.fcb), 0) << n;
    }
  }
  {
    std::unique_ptr<isam::IsamFile> file;
    isam::PageStoreOptions options;
    ASSERT_TRUE(isam::IsamFile::Open(original, options, file).ok());
    bool existed = false;
    ASSERT_TRUE(file->tree().Insert(isam::MarkerRecord(0x0700002A, "/data/tarvex.tcf"), existed).ok());
    ASSERT_TRUE(file->store().Commit().ok());
  }

  ASSERT_EQ(Invoke(RunExport, {original}, out, err), 0) << err;
  std::string exported = out;
  ASSERT_EQ(Invoke(RunExport, {original, "--declaration"}, out, err), 0) << err;
  EXPECT_NE(out.find("FIELD A:PHONE STRING(@P(###) ###-####P)\n"), std::string::npos) << out;
  EXPECT_NE(out.find("MEMO A:NOTE 300 NAME(NOTES)\n"), std::string::npos) << out;
  std::ofstream(dir / "again.txt") << out;
  std::ofstream(dir / "all.json") << exported;
  ASSERT_EQ(Invoke(RunCreate, {copy, (dir / "again.txt").string()}, out, err), 0) << err;
  ASSERT_EQ(Invoke(RunImport, {copy, "--json", (dir / "all.json").string()}, out, err), 0) << err;
  EXPECT_NE(out.find("40 records imported"), std::string::npos) << out;
  EXPECT_NE(out.find("transaction marker carried"), std::string::npos) << out;
  ASSERT_EQ(Invoke(RunExport, {copy}, out, err), 0) << err;
  auto without_name = [](std::string text) {
    size_t at = text.find("\"file\": ");
    return text.erase(at, text.find('\n', at) - at);
  };
  EXPECT_EQ(without_name(out), without_name(exported));
  EXPECT_NE(exported.find("\"picture\": \"@s12\""), std::string::npos);
  EXPECT_NE(exported.find("\"A:TAGS\": [\"t1\", \"\", \"t3\"]"), std::string::npos);

  // CSV carries the values, memos and BLOBs too.
  std::string csv_copy = (dir / "CSV.TVX").string();
  ASSERT_EQ(Invoke(RunCreate, {csv_copy, (dir / "again.txt").string()}, out, err), 0) << err;
  ASSERT_EQ(Invoke(RunExport, {original, "--csv"}, out, err), 0) << err;
  std::string csv = out;
  std::ofstream(dir / "all.csv") << csv;
  ASSERT_EQ(Invoke(RunImport, {csv_copy, "--csv", (dir / "all.csv").string()}, out, err), 0) << err;
  ASSERT_EQ(Invoke(RunExport, {csv_copy, "--csv"}, out, err), 0) << err;
  EXPECT_EQ(out, csv);
  fs::remove_all(dir);
}

// What a declaration text cannot say is refused with a message, not written wrongly.
TEST(TvxExport, ADeclarationTextIsRefusedWhereItCouldNotMakeTheTableAgain) {
  fs::path dir = fs::temp_directory_path() / ("tvx_declaration_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string path = (dir / "ODD.TVX").string();
  isam::PageStoreOptions options;
  options.sync = false;
  isam::TableDeclaration d;
  d.record_length = 12;
  isam::StreamField a, b;
  a.type = 6;
  a.name = "O:A";
  a.length = 4;
  b = a;
  b.name = "O:B";
  b.offset = 8;  // a gap of four bytes that no declaration text leaves
  d.fields = {a, b};
  isam::OpenedTable t;
  ASSERT_TRUE(isam::CreateTable(path, d, options, t).ok());
  t = isam::OpenedTable{};
  std::string out, err;
  EXPECT_EQ(Invoke(RunExport, {path, "--declaration"}, out, err), 2);
  EXPECT_NE(err.find("field 2 (O:B)"), std::string::npos) << err;
  EXPECT_TRUE(out.empty());
  fs::remove_all(dir);
}

// The foreign file with a MEMO table, a BLOB table and a transaction marker goes round too: the
// copy holds the same records with the same memos and BLOBs (its record numbers are new).
TEST(TvxExport, AForeignFileWithMemosBlobsAndAMarkerGoesRoundWhole) {
  fs::path source = ::cinevo::TestDataDir() / "tvx" / "multitable.tvx";
  if (!fs::exists(source)) GTEST_SKIP() << "test data not present: " << source;
  fs::path dir = fs::temp_directory_path() / ("tvx_round_trip_foreign_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::string copy = (dir / "COPY.TVX").string(), out, err;
  ASSERT_EQ(Invoke(RunExport, {source.string()}, out, err), 0) << err;
  std::string exported = out;
  std::ofstream(dir / "all.json") << exported;
  for (const char* table : {"CUSTOMERS", "ORDERS"}) {
    ASSERT_EQ(Invoke(RunExport, {source.string(), "--declaration", "--table", table}, out, err), 0) << err;
    std::ofstream(dir / "table.txt") << out;
    ASSERT_EQ(Invoke(RunCreate, {copy + "\\!" + table, (dir / "table.txt").string()}, out, err), 0) << err;
  }
  for (const char* table : {"CUSTOMERS", "ORDERS"}) {
    ASSERT_EQ(Invoke(RunImport, {copy + "\\!" + table, "--json", (dir / "all.json").string()}, out, err), 0) << err;
  }
  ASSERT_EQ(Invoke(RunExport, {copy}, out, err), 0) << err;
  // Everything but the file's name, the record numbers and the key orders made of them.
  auto contents = [](const std::string& text) {
    std::istringstream lines(text);
    std::string line, kept;
    while (std::getline(lines, line)) {
      bool number = line.find_first_not_of(" 0123456789,") == std::string::npos;
      if (number || line.find("\"record_number\"") != std::string::npos ||
          line.find("\"number_counter\"") != std::string::npos || line.find("\"file\"") != std::string::npos) {
        continue;
      }
      kept += line + "\n";
    }
    return kept;
  };
  EXPECT_EQ(contents(out), contents(exported));
  EXPECT_NE(out.find("\"transaction_marker\""), std::string::npos);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace cinevo::tvx
