// Key values must order by plain byte comparison exactly as the declared values order.
#include "runtime/data/isam/key_encoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>

#include "platform/testing/test_data_dir.h"
#include "runtime/core/locale_tables.h"
#include "runtime/core/type_code.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/isam_file.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {

std::string Enc(TypeCode type, const std::string& bytes, bool descending = false, bool nocase = false,
                const KeyCodec& codec = {}) {
  std::string out;
  EncodeComponent(static_cast<uint8_t>(type), std::span<const uint8_t>(Bytes(bytes), bytes.size()), nocase, descending,
                  codec, out);
  return out;
}

std::string LongBytes(int32_t v) {
  std::string s(4, '\0');
  StoreU32(reinterpret_cast<uint8_t*>(s.data()), static_cast<uint32_t>(v));
  return s;
}
std::string ShortBytes(int16_t v) {
  std::string s(2, '\0');
  StoreU16(reinterpret_cast<uint8_t*>(s.data()), static_cast<uint16_t>(v));
  return s;
}
std::string SRealBytes(float v) {
  std::string s(4, '\0');
  StoreSReal(reinterpret_cast<uint8_t*>(s.data()), v);
  return s;
}
std::string RealBytes(double v) {
  std::string s(8, '\0');
  StoreReal(reinterpret_cast<uint8_t*>(s.data()), v);
  return s;
}
// A DECIMAL of `size` bytes: sign nibble then 2*size-1 digits, most significant first.
std::string DecimalBytes(bool negative, const std::string& digits, size_t size) {
  std::string nibbles(1, negative ? 0xF : 0);
  std::string d = std::string(2 * size - 1 - digits.size(), '0') + digits;
  for (char c : d) nibbles.push_back(static_cast<char>(c - '0'));
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((nibbles[2 * i] << 4) | nibbles[2 * i + 1]);
  return s;
}

template <typename F>
void ExpectAscending(const std::vector<std::string>& encoded, F describe) {
  for (size_t i = 1; i < encoded.size(); ++i) {
    EXPECT_LT(encoded[i - 1], encoded[i]) << describe(i);
  }
}

TEST(KeyEncodingNumbers, SignedIntegersOrderAcrossZero) {
  std::vector<int32_t> values = {INT32_MIN, -70000, -1, 0, 1, 255, 256, 70000, INT32_MAX};
  std::vector<std::string> enc;
  for (int32_t v : values) enc.push_back(Enc(TypeCode::kLong, LongBytes(v)));
  ExpectAscending(enc, [&](size_t i) { return std::to_string(values[i]); });
  std::vector<int16_t> shorts = {INT16_MIN, -2, -1, 0, 1, 300, INT16_MAX};
  enc.clear();
  for (int16_t v : shorts) enc.push_back(Enc(TypeCode::kShort, ShortBytes(v)));
  ExpectAscending(enc, [&](size_t i) { return std::to_string(shorts[i]); });
}

TEST(KeyEncodingNumbers, DescendingLongReversesTheOrder) {
  EXPECT_LT(Enc(TypeCode::kLong, LongBytes(1), true), Enc(TypeCode::kLong, LongBytes(0), true));
  EXPECT_LT(Enc(TypeCode::kLong, LongBytes(0), true), Enc(TypeCode::kLong, LongBytes(-1), true));
}

TEST(KeyEncodingNumbers, UnsignedTypesAreBigEndian) {
  EXPECT_EQ(Enc(TypeCode::kULong, LongBytes(0x01020304)), std::string("\x01\x02\x03\x04", 4));
  EXPECT_LT(Enc(TypeCode::kULong, LongBytes(0x7FFFFFFF)), Enc(TypeCode::kULong, LongBytes(static_cast<int32_t>(0x80000000))));
  EXPECT_LT(Enc(TypeCode::kUShort, ShortBytes(255)), Enc(TypeCode::kUShort, ShortBytes(256)));
  // DATE: day, month, year LE stored; reversal makes the year most significant.
  std::string d1 = "\x1F\x0C\xD0\x07", d2 = "\x01\x01\xD1\x07";  // 31.12.2000, 1.1.2001
  EXPECT_LT(Enc(TypeCode::kDate, d1), Enc(TypeCode::kDate, d2));
}

TEST(KeyEncodingNumbers, RealsOrderAndNegativeZeroEqualsZero) {
  std::vector<float> s = {-1e30f, -2.5f, -1.0f, -1e-30f, 0.0f, 1e-30f, 3.0f, 1e30f};
  std::vector<std::string> enc;
  for (float v : s) enc.push_back(Enc(TypeCode::kSReal, SRealBytes(v)));
  ExpectAscending(enc, [&](size_t i) { return std::to_string(s[i]); });
  std::vector<double> r = {-1e300, -2.5, -1.0, 0.0, 0.5, 3.0, 1e300};
  enc.clear();
  for (double v : r) enc.push_back(Enc(TypeCode::kReal, RealBytes(v)));
  ExpectAscending(enc, [&](size_t i) { return std::to_string(r[i]); });

  EXPECT_EQ(Enc(TypeCode::kSReal, SRealBytes(-0.0f)), Enc(TypeCode::kSReal, SRealBytes(0.0f)));
  EXPECT_EQ(Enc(TypeCode::kReal, RealBytes(-0.0)), Enc(TypeCode::kReal, RealBytes(0.0)));
  EXPECT_EQ(Enc(TypeCode::kReal, RealBytes(-0.0), true), Enc(TypeCode::kReal, RealBytes(0.0), true));
  // A descending negative real ends up not inverted: larger magnitudes sort later.
  EXPECT_LT(Enc(TypeCode::kSReal, SRealBytes(-1.0f), true), Enc(TypeCode::kSReal, SRealBytes(-2.5f), true));
}

TEST(KeyEncodingNumbers, DecimalsOrderAndNegativeZeroEqualsZero) {
  std::vector<std::string> enc = {
      Enc(TypeCode::kDecimal, DecimalBytes(true, "99999", 3)), Enc(TypeCode::kDecimal, DecimalBytes(true, "1250", 3)),
      Enc(TypeCode::kDecimal, DecimalBytes(true, "1", 3)),     Enc(TypeCode::kDecimal, DecimalBytes(false, "0", 3)),
      Enc(TypeCode::kDecimal, DecimalBytes(false, "1", 3)),    Enc(TypeCode::kDecimal, DecimalBytes(false, "1250", 3)),
      Enc(TypeCode::kDecimal, DecimalBytes(false, "99999", 3))};
  ExpectAscending(enc, [](size_t i) { return std::to_string(i); });
  EXPECT_EQ(Enc(TypeCode::kDecimal, DecimalBytes(true, "0", 3)), Enc(TypeCode::kDecimal, DecimalBytes(false, "0", 3)));
  // Any non-zero sign nibble means negative.
  std::string odd = DecimalBytes(false, "5", 3);
  odd[0] = static_cast<char>(odd[0] | 0x30);
  EXPECT_EQ(Enc(TypeCode::kDecimal, odd), Enc(TypeCode::kDecimal, DecimalBytes(true, "5", 3)));
}

TEST(KeyEncodingText, NocaseAndCStringAndPStringForms) {
  EXPECT_EQ(Enc(TypeCode::kString, "abc ", false, true), Enc(TypeCode::kString, "ABC ", false, true));
  EXPECT_NE(Enc(TypeCode::kString, "abc "), Enc(TypeCode::kString, "ABC "));
  // Bytes after a CSTRING's terminator and beyond a PSTRING's length do not count.
  EXPECT_EQ(Enc(TypeCode::kCString, std::string("ab\0xyz", 6)), std::string("ab\0\0\0\0", 6));
  EXPECT_EQ(Enc(TypeCode::kPString, std::string("\x02" "abzz", 5)), std::string("ab\0\0\0", 5));
  // A PSTRING length beyond its capacity is clamped, never read past the field.
  EXPECT_EQ(Enc(TypeCode::kPString, std::string("\xFF" "ab", 3)), std::string("ab\0", 3));
  EXPECT_LT(Enc(TypeCode::kCString, std::string("ab\0\0", 4)), Enc(TypeCode::kCString, std::string("abc\0", 4)));
}

class KeyEncodingLocale : public ::testing::Test {
 protected:
  void TearDown() override { Locale().ResetToDefaults(); }
};

TEST_F(KeyEncodingLocale, CollationWeightsDecideTheOrder) {
  // Make 'b' weigh less than 'a'.
  std::swap(Locale().collation['a'], Locale().collation['b']);
  EXPECT_LT(Enc(TypeCode::kString, "b"), Enc(TypeCode::kString, "a"));
}

// Every byte of a text field has its own weight, the blanks that pad it included, whatever
// their number and wherever the field's bytes are cut into words.
TEST_F(KeyEncodingLocale, EveryByteOfPaddedTextIsWeighed) {
  Locale().collation[' '] = 0x7A;  // blanks weigh unlike anything else
  Locale().collation['x'] = 0x01;
  for (bool nocase : {false, true}) {
    for (size_t text = 0; text <= 40; ++text) {
      std::string field(48, ' ');
      for (size_t i = 0; i < text; ++i) field[i] = i % 5 == 2 ? ' ' : static_cast<char>('a' + (i * 7) % 26);
      if (text > 0 && text % 3 == 0) field[text - 1] = 'x';
      std::string expected;
      for (char c : field) {
        uint8_t b = static_cast<uint8_t>(c);
        expected.push_back(static_cast<char>(Locale().collation[nocase ? ToUpperChar(b) : b]));
      }
      EXPECT_EQ(Enc(TypeCode::kString, field, false, nocase), expected) << text << (nocase ? " nocase" : "");
      // A CSTRING's blanks before its terminator count as text; the bytes after it as zeros.
      std::string c_field = field.substr(0, text) + "  " + std::string(46 - text, '\0');
      std::string c_expected = expected.substr(0, text + 2) + std::string(46 - text, static_cast<char>(Locale().collation[0]));
      EXPECT_EQ(Enc(TypeCode::kCString, c_field, false, nocase), c_expected) << text;
    }
  }
}

// A codec keeps the weights it made for its keys; a change of the collation or case tables
// between two keys must still reach the second one, also through a copy of the codec.
TEST_F(KeyEncodingLocale, AKeptCodecSeesEveryChangeOfTheTables) {
  KeyCodec codec;
  EXPECT_EQ(Enc(TypeCode::kString, "ab", false, true, codec), Enc(TypeCode::kString, "AB", false, true, codec));
  ASSERT_NE(codec.weights, nullptr);
  std::swap(Locale().collation['A'], Locale().collation['B']);
  EXPECT_LT(Enc(TypeCode::kString, "b", false, true, codec), Enc(TypeCode::kString, "a", false, true, codec));
  EXPECT_LT(Enc(TypeCode::kString, "B", false, false, codec), Enc(TypeCode::kString, "A", false, false, codec));
  // 'q' no longer has an upper-case partner: NOCASE keeps it apart from 'Q'.
  KeyCodec copy = codec;
  Locale().char_class['q'] = 0;
  EXPECT_NE(Enc(TypeCode::kString, "q", false, true, copy), Enc(TypeCode::kString, "Q", false, true, copy));
  EXPECT_NE(Enc(TypeCode::kString, "q", false, true, codec), Enc(TypeCode::kString, "Q", false, true, codec));
  // Back to the defaults: the same codec gives the first answers again.
  Locale().ResetToDefaults();
  EXPECT_EQ(Enc(TypeCode::kString, "q", false, true, codec), Enc(TypeCode::kString, "Q", false, true, codec));
  EXPECT_LT(Enc(TypeCode::kString, "a", false, true, codec), Enc(TypeCode::kString, "b", false, true, codec));
}

TEST_F(KeyEncodingLocale, DigraphsExpandWithinTheFieldSize) {
  Locale().digraphs[0] = DigraphEntry{'\xDF', {'S', 'S'}};
  std::string w = Enc(TypeCode::kString, "A\xDF" "B");
  EXPECT_EQ(w, "ASS");  // cut at three bytes
  EXPECT_GT(Enc(TypeCode::kString, "\xDF "), Enc(TypeCode::kString, "SR"));
}

TEST_F(KeyEncodingLocale, OemFilesWeighTheOemText) {
  KeyCodec oem;
  oem.oem = true;
  // 0xE9 (e acute in the ANSI page) is 0x82 in the OEM page; weights are those of the OEM table.
  Locale().other_collation[0x82] = 7;
  EXPECT_EQ(Enc(TypeCode::kString, "\xE9", false, false, oem), std::string("\x07"));
}

StreamField Field(uint8_t type, uint16_t offset, uint16_t length) {
  StreamField f;
  f.type = type;
  f.offset = offset;
  f.length = length;
  return f;
}

TEST(KeyEncodingKeys, ComponentsConcatenateAndNullTest) {
  TableDeclaration d;
  d.record_length = 10;
  d.fields = {Field(18, 0, 4), Field(6, 4, 4), Field(19, 8, 2)};
  StreamKey k;
  k.flags = 0x04;
  k.components = {{1, 1}, {0, 0}};
  EXPECT_EQ(KeyValueSize(d, k), 8u);
  std::string rec = "abcd" + LongBytes(0) + std::string("\0\0", 2);
  std::string v = EncodeKeyValue(d, k, std::span<const uint8_t>(Bytes(rec), rec.size()), {});
  EXPECT_EQ(v.substr(4), "ABCD");
  EXPECT_EQ(v.substr(0, 4), std::string("\x7F\xFF\xFF\xFF", 4));  // descending 0
  EXPECT_FALSE(KeyIsNull(d, k, std::span<const uint8_t>(Bytes(rec), rec.size())));
  std::string blank = "    " + LongBytes(0) + std::string("x\0", 2);
  EXPECT_TRUE(KeyIsNull(d, k, std::span<const uint8_t>(Bytes(blank), blank.size())));
  StreamKey c;
  c.components = {{2, 0}};
  EXPECT_FALSE(KeyIsNull(d, c, std::span<const uint8_t>(Bytes(blank), blank.size())));
  // A record shorter than the declaration reads the missing bytes as zero.
  std::string shortrec = "ab";
  EXPECT_EQ(EncodeKeyValue(d, c, std::span<const uint8_t>(Bytes(shortrec), 2), {}), std::string(2, '\0'));
  EXPECT_EQ(KeyEntryKey(1, 2, "V", true, 0x0A0B0C0D), std::string("\0\0\0\x01\x02V\x0A\x0B\x0C\x0D", 10));
  EXPECT_EQ(KeyEntryKey(1, 0, "V", false, 9), std::string("\0\0\0\x01\0V", 6));
}

// A key component holding a negative zero: the other implementation encodes it apart from
// positive zero, ours as positive zero.
bool HasNegativeZero(const TableDeclaration& d, const StreamKey& key, std::span<const uint8_t> rec) {
  for (const StreamKeyComponent& c : key.components) {
    const StreamField& f = d.fields[c.field];
    std::span<const uint8_t> b = rec.subspan(f.offset, f.length);
    bool rest_zero = std::all_of(b.begin(), b.end() - 1, [](uint8_t x) { return x == 0; });
    if ((f.type == 8 || f.type == 9) && b.back() == 0x80 && rest_zero) return true;
    if (f.type == 10 && (b[0] & 0xF0) != 0 && (b[0] & 0x0F) == 0 &&
        std::all_of(b.begin() + 1, b.end(), [](uint8_t x) { return x == 0; })) {
      return true;
    }
  }
  return false;
}

// Every key entry of the files written by another implementation must be exactly what our
// encoding makes from the data records, and nothing more (negative zeros apart).
void CrossCheckFile(const std::string& path) {
  std::unique_ptr<IsamFile> file;
  PageStoreOptions opts;
  opts.read_only = true;
  ASSERT_TRUE(IsamFile::Open(path, opts, file).ok()) << path;
  std::vector<TableInfo> tables;
  ASSERT_TRUE(file->ListTables(tables).ok());
  for (const TableInfo& t : tables) {
    TableDeclaration decl;
    ASSERT_TRUE(file->ReadDeclaration(t.number, decl).ok());
    std::set<std::string> expected, actual;
    std::set<std::pair<int, uint32_t>> negative_zero;
    Record r;
    bool found = false;
    std::string prefix = TablePrefix(t.number);
    ASSERT_TRUE(file->tree().AtOrAfter(prefix, r, found).ok());
    size_t records = 0;
    while (found && r.key().substr(0, 4) == prefix) {
      RecordKind kind = ClassifyKey(r.key());
      std::string payload = r.bytes.substr(r.key_length);
      if (kind == RecordKind::kKeyEntry) {
        actual.insert(r.bytes);
      } else if (kind == RecordKind::kData) {
        ++records;
        uint32_t recno = GetBe32(Bytes(r.bytes) + 5);
        auto rec = std::span<const uint8_t>(Bytes(payload), payload.size());
        for (size_t k = 0; k < decl.keys.size(); ++k) {
          const StreamKey& key = decl.keys[k];
          if ((key.flags & 0x02) && KeyIsNull(decl, key, rec)) continue;
          if (HasNegativeZero(decl, key, rec)) {
            negative_zero.insert({static_cast<int>(k), recno});
            continue;
          }
          std::string entry = KeyEntryKey(t.number, static_cast<uint8_t>(k), EncodeKeyValue(decl, key, rec, {}),
                                          (key.flags & 0x01) != 0, recno);
          AppendBe32(entry, recno);
          expected.insert(entry);
        }
      }
      std::string key(r.key());
      ASSERT_TRUE(file->tree().After(key, r, found).ok());
    }
    EXPECT_GT(records + tables.size(), 0u);
    std::erase_if(actual, [&](const std::string& e) {
      return negative_zero.count({static_cast<uint8_t>(e[4]), GetBe32(Bytes(e) + e.size() - 4)}) != 0;
    });
    EXPECT_EQ(expected.size(), actual.size()) << path << " table " << t.name;
    std::vector<std::string> missing;
    std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(), std::back_inserter(missing));
    std::string first;
    if (!missing.empty()) {
      for (unsigned char c : missing.front()) first += "0123456789abcdef"[c >> 4], first += "0123456789abcdef"[c & 15];
      auto near = actual.lower_bound(missing.front());
      first += " near ";
      if (near != actual.end()) {
        for (unsigned char c : *near) first += "0123456789abcdef"[c >> 4], first += "0123456789abcdef"[c & 15];
      }
    }
    EXPECT_TRUE(missing.empty()) << path << " table " << t.name << ": " << missing.size() << " entries differ, first "
                                 << first;
  }
}

TEST(KeyEncodingForeignFiles, EveryKeyEntryIsReproduced) {
  std::filesystem::path dir = ::cinevo::TestDataDir() / "tvx";
  if (!std::filesystem::exists(dir)) GTEST_SKIP() << "test data not present: " << dir;
  for (const char* name : {"types.tvx", "multitable.tvx", "catalogue/GRUPA.TVX", "catalogue/PODGRU.TVX"}) {
    CrossCheckFile((dir / name).string());
  }
}

}  // namespace
}  // namespace cinevo::isam
