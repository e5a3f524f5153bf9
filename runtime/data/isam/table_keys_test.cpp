#include "runtime/data/isam/table_keys.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "runtime/core/error_codes.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/file_declaration.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/key_check.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {

namespace fs = std::filesystem;

// A table of (ID LONG, NAME STRING(8)) with a unique key on ID, a DUP OPT key on NAME and a
// unique OPT key on NAME; the tests write the data records themselves and let TableKeys keep
// the keys, then the key cross-check says whether entries and counters match the records.
class TableKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("table_keys_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    path_ = (dir_ / "K.TVX").string();
    FileDeclaration d;
    d.label = "K";
    d.fields = {MakeField("K:ID", TypeCode::kLong, 0, 4), MakeField("K:NAME", TypeCode::kString, 4, 8)};
    d.keys = {MakeKey("K:KID", 0, {1}), MakeKey("K:KNAME", kKeyDup | kKeyOpt, {2}), MakeKey("K:KUNIQUE", kKeyOpt, {2})};
    table_.declaration = FromFileDeclaration(d);
    PageStoreOptions o;
    o.sync = false;
    ASSERT_TRUE(IsamFile::Create(path_, o, table_.file).ok());
    ASSERT_TRUE(table_.file->AddTable("K", table_.declaration, table_.number).ok());
    keys_.Reset(Descs(), false);
  }
  void TearDown() override {
    table_.file.reset();
    fs::remove_all(dir_);
  }

  std::vector<KeyDesc> Descs(bool name_on_demand = false) const {
    std::vector<KeyDesc> out = DescribeKeys(table_.declaration);
    out[1].on_demand = name_on_demand;
    return out;
  }
  static std::string Image(uint32_t id, std::string_view name) {
    std::string image(12, '\0');
    StoreU32(reinterpret_cast<uint8_t*>(image.data()), id);
    StoreString(image.data() + 4, 8, name);
    return image;
  }

  // One change of record `recno` the way the driver makes it: checked, then the data record
  // and the keys, then the counters and a commit. Returns Check's or Apply's code.
  int Change(const std::string& old_image, const std::string& new_image, uint32_t recno, bool append = false) {
    int result = 0;
    EXPECT_TRUE(keys_.Check(old_image, new_image, append ? 0 : recno, result).ok());
    if (result != 0 && !append) return result;
    BTree& tree = table_.file->tree();
    bool flag = false;
    if (new_image.empty()) {
      EXPECT_TRUE(tree.Erase(DataKey(table_.number, recno), flag).ok());
    } else if (old_image.empty()) {
      EXPECT_TRUE(tree.Insert(MakeRecord(DataKey(table_.number, recno), new_image), flag).ok());
    } else {
      EXPECT_TRUE(tree.Replace(MakeRecord(DataKey(table_.number, recno), new_image), flag).ok());
    }
    Status st = keys_.Apply(old_image, new_image, recno, append);
    if (!st.ok()) {
      table_.file->store().Abort();
      keys_.ForgetCounters();
      return st.code;
    }
    TableCounters data;
    EXPECT_TRUE(keys_.ReadCounters(kTagData, data).ok());
    data.entries += old_image.empty() ? 1 : new_image.empty() ? -1 : 0;
    EXPECT_TRUE(keys_.WriteCounters(kTagData, data).ok());
    EXPECT_TRUE(keys_.StoreCounters().ok());
    EXPECT_TRUE(table_.file->store().Commit().ok());
    return 0;
  }
  std::string Problems() {
    KeyCheckResult r;
    EXPECT_TRUE(CrossCheckKeys(*table_.file, r).ok());
    std::string s;
    for (const KeyProblem& p : r.problems) s += p.where + ": " + p.text + "\n";
    return s;
  }
  uint32_t Entries(uint8_t which) {
    TableCounters c;
    EXPECT_TRUE(keys_.ReadCounters(which, c).ok());
    return c.entries;
  }
  uint32_t OwnerOf(uint8_t key, const std::string& image) {
    const KeyDesc& k = keys_[key];
    uint32_t owner = 0;
    EXPECT_TRUE(keys_.UniqueOwner(keys_.EntryKeyFor(k, {Bytes(image), image.size()}, 0), owner).ok());
    return owner;
  }

  fs::path dir_;
  std::string path_;
  OpenedTable table_;
  TableKeys keys_{table_};
};

TEST_F(TableKeysTest, KeysAreDescribedInDeclaredOrderWithTheirFlags) {
  std::vector<KeyDesc> keys = DescribeKeys(table_.declaration);
  ASSERT_EQ(keys.size(), 3u);
  for (size_t k = 0; k < keys.size(); ++k) {
    EXPECT_EQ(keys[k].number, k);
    EXPECT_TRUE(keys[k].key == table_.declaration.keys[k]);
    EXPECT_FALSE(keys[k].on_demand);  // only the program's declaration names INDEXes
  }
  EXPECT_FALSE(keys[0].dup);
  EXPECT_FALSE(keys[0].opt);
  EXPECT_TRUE(keys[1].dup);
  EXPECT_TRUE(keys[1].opt);
  EXPECT_FALSE(keys[2].dup);
  EXPECT_TRUE(keys[2].opt);
}

TEST_F(TableKeysTest, AddChangeAndDeleteKeepEntriesAndCountersInStep) {
  ASSERT_EQ(Change({}, Image(1, "anna"), 1), 0);
  ASSERT_EQ(Change({}, Image(2, "bert"), 2), 0);
  ASSERT_EQ(Change({}, Image(3, ""), 3), 0);  // no entry in the OPT keys
  EXPECT_EQ(Problems(), "");
  EXPECT_EQ(Entries(0), 3u);
  EXPECT_EQ(Entries(1), 2u);
  EXPECT_EQ(Entries(2), 2u);

  ASSERT_EQ(Change(Image(2, "bert"), Image(20, "carl"), 2), 0);  // both keys move
  ASSERT_EQ(Change(Image(3, ""), Image(3, "dora"), 3), 0);       // gains its OPT entries
  ASSERT_EQ(Change(Image(1, "anna"), Image(1, ""), 1), 0);       // loses them
  EXPECT_EQ(Problems(), "");
  EXPECT_EQ(OwnerOf(0, Image(20, "")), 2u);
  EXPECT_EQ(OwnerOf(0, Image(2, "")), 0u);
  EXPECT_EQ(OwnerOf(2, Image(0, "dora")), 3u);

  ASSERT_EQ(Change(Image(20, "carl"), {}, 2), 0);
  EXPECT_EQ(Problems(), "");
  EXPECT_EQ(Entries(0), 2u);
  EXPECT_EQ(Entries(2), 1u);
}

TEST_F(TableKeysTest, CheckRefusesOnlyAnotherRecordsUniqueEntry) {
  ASSERT_EQ(Change({}, Image(1, "anna"), 1), 0);
  ASSERT_EQ(Change({}, Image(2, ""), 2), 0);
  int result = 0;
  ASSERT_TRUE(keys_.Check({}, Image(1, "x"), 0, result).ok());
  EXPECT_EQ(result, kErrCreatesDuplicateKey);  // ID 1 taken
  ASSERT_TRUE(keys_.Check({}, Image(5, "anna"), 0, result).ok());
  EXPECT_EQ(result, kErrCreatesDuplicateKey);  // the unique NAME key; the DUP one does not mind
  ASSERT_TRUE(keys_.Check({}, Image(6, ""), 0, result).ok());
  EXPECT_EQ(result, 0);  // blank names have no entry in the OPT keys
  ASSERT_TRUE(keys_.Check(Image(1, "anna"), Image(1, "anna"), 1, result).ok());
  EXPECT_EQ(result, 0);  // a record does not collide with itself
  EXPECT_EQ(Change(Image(2, ""), Image(2, "anna"), 2), kErrCreatesDuplicateKey);
  EXPECT_EQ(Problems(), "");  // nothing was written
}

TEST_F(TableKeysTest, AppendMarksKeysOutOfDateFromItsFirstRecord) {
  ASSERT_EQ(Change({}, Image(1, "anna"), 1), 0);
  ASSERT_EQ(Change({}, Image(2, "anna"), 2, true), 0);
  ASSERT_EQ(Change({}, Image(3, "bert"), 3, true), 0);
  TableCounters c;
  ASSERT_TRUE(keys_.ReadCounters(0, c).ok());
  EXPECT_EQ(c.mark, 2u);  // the first record left out, not the last
  EXPECT_EQ(c.entries, 1u);
  // Records at or above the mark are neither checked nor entered: a duplicate among them goes
  // unnoticed until a BUILD.
  int result = 0;
  ASSERT_TRUE(keys_.Check({}, Image(1, "anna"), 0, result).ok());
  EXPECT_EQ(result, 0);
  ASSERT_EQ(Change(Image(3, "bert"), Image(30, "bert"), 3), 0);
  ASSERT_TRUE(keys_.ReadCounters(0, c).ok());
  EXPECT_EQ(c.entries, 1u);
  EXPECT_EQ(OwnerOf(0, Image(30, "")), 0u);
  // A record below the mark is still kept.
  ASSERT_EQ(Change(Image(1, "anna"), Image(10, "anna"), 1), 0);
  EXPECT_EQ(OwnerOf(0, Image(10, "")), 1u);
}

TEST_F(TableKeysTest, AnIndexIsNotKeptByChanges) {
  keys_.Reset(Descs(true), false);
  ASSERT_EQ(Change({}, Image(1, "anna"), 1), 0);
  EXPECT_EQ(Entries(1), 0u);
  EXPECT_EQ(Entries(2), 1u);
}

TEST_F(TableKeysTest, CountersReachTheTreeOnlyWhenStored) {
  TableCounters c;
  ASSERT_TRUE(keys_.ReadCounters(kTagData, c).ok());
  EXPECT_TRUE(c.found);
  c.entries = 77;
  ASSERT_TRUE(keys_.WriteCounters(kTagData, c).ok());
  EXPECT_EQ(Entries(kTagData), 77u);  // the kept copy
  keys_.ForgetCounters();
  EXPECT_EQ(Entries(kTagData), 0u);  // never stored
  ASSERT_TRUE(keys_.ReadCounters(5, c).ok());
  EXPECT_FALSE(c.found);  // no such counters record
  c.entries = 4;
  ASSERT_TRUE(keys_.WriteCounters(5, c).ok());
  ASSERT_TRUE(keys_.WriteCounters(kTagData, TableCounters{9, 0, false}).ok());
  ASSERT_TRUE(keys_.StoreCounters().ok());  // a missing record is made
  ASSERT_TRUE(table_.file->store().Commit().ok());
  keys_.ForgetCounters();
  EXPECT_EQ(Entries(5), 4u);
  EXPECT_EQ(Entries(kTagData), 9u);
}

TEST_F(TableKeysTest, ADuplicateInADamagedFileLeavesTheOldEntry) {
  ASSERT_EQ(Change({}, Image(1, "anna"), 1), 0);
  ASSERT_EQ(Change({}, Image(2, "bert"), 2), 0);
  // An entry of ID 9 naming record 2, which holds ID 2: only a damaged file has one. Apply,
  // called without the check, cannot enter ID 9 for record 1 and puts back what it erased.
  bool existed = false;
  std::string stray;
  AppendBe32(stray, 2);
  const KeyDesc& k = keys_[0];
  std::string image = Image(9, "");
  ASSERT_TRUE(table_.file->tree()
                  .Insert(MakeRecord(keys_.EntryKeyFor(k, {Bytes(image), image.size()}, 0), stray), existed)
                  .ok());
  ASSERT_TRUE(table_.file->store().Commit().ok());
  ASSERT_TRUE(keys_.Apply(Image(1, "anna"), Image(9, "anna"), 1, false).code == kErrCreatesDuplicateKey);
  EXPECT_EQ(OwnerOf(0, Image(1, "")), 1u);  // the key keeps the entry it had
}

TEST_F(TableKeysTest, AKnownEntryIsTakenForTheOldOne) {
  ASSERT_EQ(Change({}, Image(1, "anna"), 1), 0);
  const std::string stored = Image(1, "anna");
  const std::string entry = keys_.EntryKeyFor(keys_[0], {Bytes(stored), stored.size()}, 1);
  // The old image says ID 5, but the record was reached through the entry of ID 1: that entry
  // is the one that goes.
  ASSERT_TRUE(keys_.Apply(Image(5, "anna"), Image(2, "anna"), 1, false, KnownEntry{0, entry}).ok());
  EXPECT_EQ(OwnerOf(0, Image(1, "")), 0u);
  EXPECT_EQ(OwnerOf(0, Image(2, "")), 1u);
}

}  // namespace
}  // namespace cinevo::isam
