// Files written by a separate implementation of the format, with the ground truth of every
// record beside each: our reader must see exactly those records, declarations and key orders,
// and the consistency walk must find the files clean (which includes that every page is
// byte-for-byte what our writer would produce).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <variant>

#include "runtime/data/isam/byte_order.h"
#include "platform/testing/test_data_dir.h"
#include "runtime/data/isam/format_check.h"
#include "runtime/data/isam/isam_file.h"
#include "runtime/data/isam/record_kinds.h"
#include "runtime/data/isam/transaction.h"

namespace cinevo::isam {
namespace {

// A small JSON reader, enough for the ground-truth files.
struct Json {
  std::variant<std::nullptr_t, bool, double, std::string, std::vector<Json>, std::map<std::string, Json>> v;
  const Json& operator[](const std::string& k) const { return std::get<std::map<std::string, Json>>(v).at(k); }
  const std::vector<Json>& array() const { return std::get<std::vector<Json>>(v); }
  const std::map<std::string, Json>& object() const { return std::get<std::map<std::string, Json>>(v); }
  const std::string& str() const { return std::get<std::string>(v); }
  // Numbers are written plainly or, for some fields, as decimal text.
  long num() const { return std::holds_alternative<double>(v) ? static_cast<long>(std::get<double>(v)) : std::stol(str()); }
  bool has(const std::string& k) const { return object().count(k) != 0; }
};

class JsonParser {
 public:
  explicit JsonParser(const std::string& s) : s_(s) {}
  Json Parse() {
    Skip();
    char c = s_[i_];
    if (c == '{') {
      std::map<std::string, Json> m;
      ++i_;
      Skip();
      if (s_[i_] == '}') return ++i_, Json{m};
      for (;;) {
        Skip();
        std::string k = String();
        Skip();
        ++i_;  // ':'
        m[k] = Parse();
        Skip();
        if (s_[i_++] == '}') return Json{m};
      }
    }
    if (c == '[') {
      std::vector<Json> a;
      ++i_;
      Skip();
      if (s_[i_] == ']') return ++i_, Json{a};
      for (;;) {
        a.push_back(Parse());
        Skip();
        if (s_[i_++] == ']') return Json{a};
      }
    }
    if (c == '"') return Json{String()};
    if (s_.compare(i_, 4, "true") == 0) return i_ += 4, Json{true};
    if (s_.compare(i_, 5, "false") == 0) return i_ += 5, Json{false};
    if (s_.compare(i_, 4, "null") == 0) return i_ += 4, Json{nullptr};
    size_t end = i_;
    while (end < s_.size() && std::string("+-.eE0123456789").find(s_[end]) != std::string::npos) ++end;
    double d = std::strtod(s_.substr(i_, end - i_).c_str(), nullptr);  // subnormals too
    i_ = end;
    return Json{d};
  }

 private:
  void Skip() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  std::string String() {
    std::string out;
    ++i_;
    while (s_[i_] != '"') {
      char c = s_[i_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      char e = s_[i_++];
      if (e == 'u') {
        unsigned code = static_cast<unsigned>(std::stoul(s_.substr(i_, 4), nullptr, 16));
        i_ += 4;
        if (code < 0x80) {
          out += static_cast<char>(code);
        } else if (code < 0x800) {
          out += static_cast<char>(0xC0 | (code >> 6));
          out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
          out += static_cast<char>(0xE0 | (code >> 12));
          out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
          out += static_cast<char>(0x80 | (code & 0x3F));
        }
      } else {
        out += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e == 'b' ? '\b' : e == 'f' ? '\f' : e;
      }
    }
    ++i_;
    return out;
  }
  const std::string& s_;
  size_t i_ = 0;
};

std::string Hex(std::string_view s) {
  static const char* d = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out += d[c >> 4];
    out += d[c & 15];
  }
  return out;
}

std::filesystem::path DataDir() { return ::cinevo::TestDataDir() / "tvx"; }

class ForeignFile : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    path_ = DataDir() / GetParam();
    if (!std::filesystem::exists(path_)) GTEST_SKIP() << "foreign test data not present: " << path_;
    std::ifstream in(path_.string() + ".json");
    std::stringstream ss;
    ss << in.rdbuf();
    text_ = ss.str();
    truth_ = JsonParser(text_).Parse();
    PageStoreOptions options;
    options.read_only = true;
    Status st = IsamFile::Open(path_.string(), options, file_);
    ASSERT_TRUE(st.ok()) << st.code << " " << st.detail;
  }

  // Every record whose key starts with `prefix`, in key order.
  std::vector<Record> Scan(const std::string& prefix) {
    std::vector<Record> out;
    Record r;
    bool found = false;
    EXPECT_TRUE(file_->tree().AtOrAfter(prefix, r, found).ok());
    while (found && r.key().substr(0, prefix.size()) == prefix) {
      out.push_back(r);
      std::string key(r.key());
      EXPECT_TRUE(file_->tree().After(key, r, found).ok());
    }
    return out;
  }

  std::filesystem::path path_;
  std::string text_;
  Json truth_;
  std::unique_ptr<IsamFile> file_;
};

TEST_P(ForeignFile, ConsistencyWalkFindsItClean) {
  std::vector<Violation> violations;
  FileSummary summary;
  ASSERT_TRUE(CheckFormat(file_->store(), violations, summary).ok());
  for (const Violation& v : violations) ADD_FAILURE() << v.check << " " << v.where << " " << v.text;
  EXPECT_EQ(file_->store().header().number_counter, static_cast<uint32_t>(truth_["number_counter"].num()));
  // The walk compares every page with our encoding except the capacity figure (any upper bound
  // is valid); the other implementation keeps it at the exact figure, as we do.
  const FileHeader& h = file_->store().header();
  for (uint32_t c = 1; c < kClassCount; ++c) {
    for (uint32_t a = h.start[c]; a < h.end[c]; a += c) {
      PageRef page;
      ASSERT_TRUE(file_->store().Load(a, page).ok());
      EXPECT_EQ(page->capacity, CapacityFigure(*page)) << "page " << a;
    }
  }
}

TEST_P(ForeignFile, TablesAndDeclarationsMatchTheGroundTruth) {
  std::vector<TableInfo> tables;
  ASSERT_TRUE(file_->ListTables(tables).ok());
  const auto& expected = truth_["tables"].array();
  ASSERT_EQ(tables.size(), expected.size());
  for (const Json& t : expected) {
    uint32_t number = 0;
    bool found = false;
    ASSERT_TRUE(file_->FindTable(t["name"].str(), number, found).ok());
    ASSERT_TRUE(found) << t["name"].str();
    EXPECT_EQ(number, static_cast<uint32_t>(t["table_number"].num()));
    TableDeclaration d;
    Status st = file_->ReadDeclaration(number, d);
    ASSERT_TRUE(st.ok()) << st.detail;
    EXPECT_EQ(d.version, t["version"].num());
    EXPECT_EQ(d.record_length, t["record_length"].num());
    ASSERT_EQ(d.fields.size(), t["fields"].array().size());
    std::map<std::string, uint16_t> field_numbers;
    for (size_t i = 0; i < d.fields.size(); ++i) {
      const Json& f = t["fields"].array()[i];
      EXPECT_EQ(d.fields[i].name.value_or(""), f["name"].str());
      EXPECT_EQ(d.fields[i].type, f["type_code"].num());
      EXPECT_EQ(d.fields[i].offset, f["offset"].num());
      EXPECT_EQ(d.fields[i].length, f["length"].num());
      if (f.has("digits")) {
        EXPECT_EQ(d.fields[i].digits, f["digits"].num());
      }
      if (f.has("places")) {
        EXPECT_EQ(d.fields[i].places, f["places"].num());
      }
      if (f.has("declared_length")) {
        EXPECT_EQ(d.fields[i].declared_length, f["declared_length"].num());
      }
      field_numbers[f["name"].str()] = static_cast<uint16_t>(i);
    }
    ASSERT_EQ(d.memos.size(), t["memos"].array().size());
    for (size_t i = 0; i < d.memos.size(); ++i) {
      EXPECT_EQ(d.memos[i].name.value_or(""), t["memos"].array()[i]["name"].str());
      EXPECT_EQ(d.memos[i].flags, t["memos"].array()[i]["flags"].num());
      EXPECT_EQ(d.memos[i].max_size, t["memos"].array()[i]["max_size"].num());
    }
    ASSERT_EQ(d.keys.size(), t["keys"].array().size());
    for (size_t i = 0; i < d.keys.size(); ++i) {
      const Json& k = t["keys"].array()[i];
      EXPECT_EQ(d.keys[i].name.value_or(""), k["name"].str());
      EXPECT_EQ(d.keys[i].flags, k["flags"].num());
      ASSERT_EQ(d.keys[i].components.size(), k["components"].array().size());
      for (size_t c = 0; c < d.keys[i].components.size(); ++c) {
        const Json& comp = k["components"].array()[c];
        EXPECT_EQ(d.keys[i].components[c].field, field_numbers[comp["field"].str()]);
        EXPECT_EQ(d.keys[i].components[c].descending, std::get<bool>(comp["descending"].v) ? 1 : 0);
      }
    }
    // Our encoding of the declaration is the stored stream byte for byte, cut into the same
    // blocks of 0x200 bytes.
    EXPECT_EQ(CompareDeclarations(d, d), "");
    std::string ours = EncodeDeclaration(d);
    for (size_t block = 0; block * kDeclarationBlockSize < ours.size(); ++block) {
      Record r;
      bool has_block = false;
      ASSERT_TRUE(file_->tree().Find(DeclarationKey(number, static_cast<uint16_t>(block)), r, has_block).ok());
      ASSERT_TRUE(has_block) << block;
      EXPECT_EQ(Hex(r.bytes.substr(r.key_length)), Hex(ours.substr(block * kDeclarationBlockSize, kDeclarationBlockSize)));
    }
  }
}

TEST_P(ForeignFile, RecordsMemosAndKeyOrdersMatchTheGroundTruth) {
  for (const Json& t : truth_["tables"].array()) {
    uint32_t number = static_cast<uint32_t>(t["table_number"].num());
    std::map<uint32_t, std::string> data;
    for (const Record& r : Scan(TablePrefix(number) + static_cast<char>(kTagData))) {
      data[GetBe32(Bytes(r.bytes) + 5)] = Hex(r.bytes.substr(r.key_length));
    }
    ASSERT_EQ(data.size(), t["records"].array().size()) << t["name"].str();
    uint32_t entries = 0, mark = 0;
    bool found = false;
    ASSERT_TRUE(file_->ReadCounters(number, kTagData, entries, mark, found).ok());
    EXPECT_TRUE(found);
    EXPECT_EQ(entries, data.size());
    for (const Json& rec : t["records"].array()) {
      uint32_t recno = static_cast<uint32_t>(rec["record_number"].num());
      ASSERT_TRUE(data.count(recno)) << recno;
      EXPECT_EQ(data[recno], rec["buffer_hex"].str()) << recno;
      size_t memo_index = 0;
      for (const Json& m : t["memos"].array()) {
        std::string content;
        for (const Record& chunk : Scan(MemoChunkKey(number, recno, static_cast<uint8_t>(memo_index), 0).substr(0, 10))) {
          content += chunk.bytes.substr(chunk.key_length);
        }
        const std::string& want = rec["memos"][m["name"].str()].str();
        if (m["kind"].str() == "BLOB") {
          if (want.empty()) {
            EXPECT_TRUE(content.empty());
          } else {
            ASSERT_GE(content.size(), 4u);
            EXPECT_EQ(GetLe32(Bytes(content)), want.size() / 2);
            EXPECT_EQ(Hex(content.substr(4)), want) << recno;
          }
        } else {
          EXPECT_EQ(content, want) << recno;
        }
        ++memo_index;
      }
    }
    // Key entries in key order name the records in the recorded order.
    const auto& orders = t["key_order"].object();
    for (size_t k = 0; k < t["keys"].array().size(); ++k) {
      const std::string& name = t["keys"].array()[k]["name"].str();
      if (!orders.count(name)) continue;
      std::vector<long> got;
      for (const Record& e : Scan(KeyEntryPrefix(number, static_cast<uint8_t>(k)))) {
        got.push_back(GetBe32(Bytes(e.bytes) + e.key_length));
      }
      std::vector<long> want;
      for (const Json& n : orders.at(name).array()) want.push_back(n.num());
      EXPECT_EQ(got, want) << name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(TestData, ForeignFile,
                         ::testing::Values("empty.tvx", "types.tvx", "multitable.tvx", "catalogue/GRUPA.TVX",
                                           "catalogue/PODGRU.TVX"),
                         [](const auto& info) {
                           std::string n = info.param;
                           for (char& c : n) if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return n;
                         });

// The other implementation's marker carries transaction 0x12345 as 00 01 23 45: the number is
// stored big-endian, like the transaction keys of the control file.
TEST(ForeignFiles, TransactionMarkerReadsAsTheOtherImplementationWroteIt) {
  auto path = DataDir() / "multitable.tvx";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "foreign test data not present";
  PageStoreOptions options;
  options.read_only = true;
  std::unique_ptr<PageStore> store;
  ASSERT_TRUE(PageStore::Open(path.string(), options, store).ok());
  uint32_t number = 0;
  std::string control;
  bool found = false;
  ASSERT_TRUE(ReadMarker(*store, number, control, found).ok());
  ASSERT_TRUE(found);
  EXPECT_EQ(number, 0x12345u);
  EXPECT_EQ(control, "TARVEX.TCF");
}

TEST(ForeignFiles, EmptyFileHeaderIsExactlyOursByteForByte) {
  auto path = DataDir() / "empty.tvx";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "foreign test data not present";
  std::ifstream in(path, std::ios::binary);
  std::string theirs((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  FileHeader h;
  h.change_counter = 1;
  EXPECT_EQ(Hex(EncodeHeader(h)), Hex(theirs));
}

}  // namespace
}  // namespace cinevo::isam
