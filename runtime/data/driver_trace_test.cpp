#include "runtime/data/driver_trace.h"

#include <gtest/gtest.h>

#include "runtime/core/error.h"
#include "runtime/core/std_date.h"
#include "runtime/core/value_storage.h"

namespace cinevo {
namespace {

FileDeclaration Movies() {
  FileDeclaration d;
  d.label = "PODGRU";
  d.driver = "TARVEX";
  d.fields = {MakeField("POD:SIFRA", TypeCode::kString, 0, 4), MakeField("POD:NASLOV2", TypeCode::kString, 4, 3)};
  d.keys = {MakeKey("POD:PRK", kKeyDup | kKeyOpt | kKeyNoCase, {1, 2})};
  return d;
}

TEST(TraceLines, HeadAndResultAsTheLogShowsThem) {
  FileDeclaration d = Movies();
  FileControlBlock f(d, nullptr);
  DriverArgs a;
  EXPECT_EQ(TraceHead(DriverOp::kNext, f, a), "NEXT(PODGRU)      ");
  EXPECT_EQ(TraceHead(DriverOp::kAdd, f, a), "ADD(PODGRU)       ");
  a.key = 0;
  EXPECT_EQ(TraceHead(DriverOp::kSetKeyKey, f, a), "SETkeykey(PODGRU,POD:PRK[1]) ");
  EXPECT_EQ(TraceHead(DriverOp::kNext, f, a), "NEXT(PODGRU)      ");  // NEXT names no key
  d.keys[0].name = "MOVIEKEY";
  EXPECT_EQ(TraceHead(DriverOp::kGetFileKey, f, a), "GETfilekey(PODGRU,MOVIEKEY[1]) ");

  EXPECT_EQ(TraceResult(0, f, 0), "Time Taken: 0.00 secs\r\n");
  EXPECT_EQ(TraceResult(0, f, 1234), "Time Taken: 12.34 secs\r\n");
  EXPECT_EQ(TraceResult(35, f, 7), "Error: Record Not Found Time Taken: 0.07 secs\r\n");
  f.os_error = 5;
  EXPECT_EQ(TraceResult(90, f, 100), "File Error: " + std::string(ErrorText(305)) + " Time Taken: 1.00 secs\r\n");
}

TEST(TraceLines, FieldValuesByType) {
  FileDeclaration d;
  d.label = "T";
  d.fields = {MakeField("T:B", TypeCode::kByte, 0, 1),     MakeField("T:D", TypeCode::kDate, 1, 4),
              MakeField("T:T", TypeCode::kTime, 5, 4),     MakeField("T:S", TypeCode::kString, 9, 3),
              MakeField("T:L", TypeCode::kLong, 12, 4),    MakeField("T:G", TypeCode::kGroup, 16, 4),
              MakeField("T:G1", TypeCode::kShort, 16, 2),  MakeField("T:G2", TypeCode::kUShort, 18, 2),
              MakeField("T:BAD", TypeCode::kDate, 20, 4)};
  d.fields[5].group_fields = 2;
  std::vector<uint8_t> r(24, 0);
  r[0] = 0x0A;
  StoreU32(r.data() + 1, static_cast<uint32_t>(DateFromParts(9, 3, 2001)));
  StoreU32(r.data() + 5, static_cast<uint32_t>(TimeFromParts(13, 5, 9, 42)));
  StoreString(reinterpret_cast<char*>(r.data() + 9), 3, "ab");
  StoreU32(r.data() + 12, static_cast<uint32_t>(-7));
  StoreU16(r.data() + 16, static_cast<uint16_t>(-3));
  StoreU16(r.data() + 18, 65535);
  StoreU32(r.data() + 20, 1);  // before the first valid day
  const std::string date = std::to_string(DateFromParts(9, 3, 2001));
  const std::string time = std::to_string(TimeFromParts(13, 5, 9, 42));
  EXPECT_EQ(TraceFields(d, r.data(), r.size()),
            "  T:B               : 0AH\r\n"
            "  T:D               : 09 Mar 2001 (" + date + ")\r\n"
            "  T:T               : 13:05:09.42 (" + time + ")\r\n"
            "  T:S               : 'ab '\r\n"
            "  T:L               : -7\r\n"
            "  T:G               : \r\n"
            "    T:G1              : -3\r\n"
            "    T:G2              : 65535\r\n"
            "  T:BAD             : Invalid date (1)\r\n");
  d.keys = {MakeKey("T:K", 0, {4, -5})};
  EXPECT_EQ(TraceKeyFields(d, 0, r.data(), r.size()), "  T:S               : 'ab '\r\n  T:L               : -7\r\n");
}

TEST(TraceLines, DeclarationLayoutHidesTheOwner) {
  FileDeclaration d = Movies();
  d.name = "PODGRU.TVX";
  d.owner = "secret";
  d.driver_string = "/FULLBUILD";
  d.attributes = kFileCreate | kFileEncrypt;
  d.memos = {MemoDeclaration{"POD:NOTE", "", kMemoBinary, 200}};
  d.fields.push_back(MakeField("POD:HEAD", TypeCode::kString, 0, 2));  // over POD:SIFRA
  const std::string text = TraceDeclaration(d);
  EXPECT_EQ(text,
            "PODGRU              FILE,DRIVER(TARVEX,'/FULLBUILD'),OWNER(******),NAME('PODGRU.TVX'),CREATE,ENCRYPT\r\n"
            "POD:PRK               KEY(+POD:SIFRA,+POD:NASLOV2),DUP,OPT,NOCASE\r\n"
            "POD:NOTE              MEMO(200),BINARY\r\n"
            "                      RECORD\r\n"
            "POD:SIFRA               STRING(4)\r\n"
            "POD:NASLOV2             STRING(3)\r\n"
            "POD:HEAD                STRING(2), OVER(POD:SIFRA)\r\n"
            "                      END\r\n"
            "                    END\r\n"
            "\r\n");
  EXPECT_EQ(text.find("secret"), std::string::npos);
}

}  // namespace
}  // namespace cinevo
