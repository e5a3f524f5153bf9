#include "runtime/data/file_declaration.h"

#include <gtest/gtest.h>

namespace cinevo {
namespace {

FileDeclaration Movies(bool named = false) {
  FileDeclaration d;
  d.label = "PODGRU";
  if (named) d.name = "c:\\data\\podgru.tvx";
  d.driver = "TARVEX";
  d.fields = {MakeField("POD:SIFRA", TypeCode::kLong, 0, 4),
              MakeField("POD:GRUPA", TypeCode::kLong, 4, 4),
              MakeField("POD:SLOG", TypeCode::kString, 8, 255)};
  d.keys = {MakeKey("POD:PRK", kKeyPrimary, {1}), MakeKey("POD:GRK", kKeyDup, {2, -1})};
  return d;
}

TEST(FileDeclarationTest, SizesAndNames) {
  FileDeclaration d = Movies();
  EXPECT_EQ(d.FieldCount(), 3u);
  EXPECT_EQ(d.RecordSize(), 263u);
  EXPECT_EQ(d.ExternalName(), "PODGRU");
  EXPECT_EQ(Movies(true).ExternalName(), "c:\\data\\podgru.tvx");
  EXPECT_EQ(d.fields[2].length, 255u);
  EXPECT_EQ(ValidateDeclaration(d), 0);
}

TEST(FileDeclarationTest, EndEntryStopsTheFieldList) {
  FileDeclaration d = Movies();
  d.fields.insert(d.fields.begin() + 1, FieldDeclaration{});  // type END
  EXPECT_EQ(d.FieldCount(), 1u);
  EXPECT_EQ(d.RecordSize(), 4u);
  EXPECT_EQ(ValidateDeclaration(d), 47);  // keys now name fields past the end
}

TEST(FileDeclarationTest, DimensionsAndOverlays) {
  FieldDeclaration f = MakeField("X:ARR", TypeCode::kShort, 10, 2);
  f.dimensions = {3, 4, 0, 9};
  EXPECT_EQ(f.ElementCount(), 12u);
  EXPECT_EQ(f.StorageSize(), 24u);
  FileDeclaration d;
  d.fields = {f, MakeField("X:OVER", TypeCode::kString, 10, 4)};  // overlays the array
  EXPECT_EQ(d.RecordSize(), 34u);
  EXPECT_EQ(ValidateDeclaration(d), 0);
}

TEST(FileDeclarationTest, InvalidDeclarations) {
  FileDeclaration d = Movies();
  d.keys[1].components = {0};
  EXPECT_EQ(ValidateDeclaration(d), 47);
  d = Movies();
  d.keys[0].components.clear();
  EXPECT_EQ(ValidateDeclaration(d), 47);
  d = Movies();
  d.fields[0].type = TypeCode::kGroup;
  d.fields[0].group_fields = 3;  // only two fields follow
  EXPECT_EQ(ValidateDeclaration(d), 47);
  d = Movies();
  d.fields[2].dimensions = {100000, 100000};
  EXPECT_EQ(ValidateDeclaration(d), 47);
}

TEST(FileDeclarationTest, TypeNames) {
  EXPECT_EQ(FieldTypeName(0), "END");
  EXPECT_EQ(FieldTypeName(17), "(17)");
  EXPECT_EQ(FieldTypeName(27), "BLOB");
  EXPECT_EQ(FieldTypeName(30), "STDNUM");
  EXPECT_EQ(FieldTypeName(31), "UNKNOWN");
  EXPECT_EQ(FieldTypeName(-1), "UNKNOWN");
}

}  // namespace
}  // namespace cinevo
