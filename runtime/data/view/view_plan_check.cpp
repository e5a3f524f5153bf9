#include "runtime/data/view/view_plan_check.h"

#include "runtime/core/error_codes.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"

namespace cinevo::view {

FileDeclaration RandomTableDeclaration(const std::string& path) {
  FileDeclaration d;
  d.label = "T";
  d.name = path;
  d.driver = "TARVEX";
  d.attributes = kFileCreate;
  d.fields = {MakeField("T:ID", TypeCode::kLong, 0, 4), MakeField("T:A", TypeCode::kString, 4, 3),
              MakeField("T:B", TypeCode::kShort, 7, 2), MakeField("T:C", TypeCode::kString, 9, 4),
              MakeField("T:D", TypeCode::kLong, 13, 4)};
  d.keys = {MakeKey("T:IDK", 0, {1}),
            MakeKey("T:AB", kKeyDup | kKeyNoCase, {2, 3}),
            MakeKey("T:CD", kKeyDup, {4, -5}),
            MakeKey("T:AO", kKeyDup | kKeyOpt | kKeyNoCase, {2}),
            MakeKey("T:BI", 0, {-3, 1}),
            MakeKey("T:X", kKeyDup | kKeyIndex, {5})};
  return d;
}

namespace {

template <typename T>
const T& Pick(const std::vector<T>& v, std::mt19937& rng) {
  return v[rng() % v.size()];
}

const std::vector<std::string> kA = {"", "a", "A", "ab", "aB", "b", "B", "ba", "c"};
const std::vector<std::string> kC = {"", "x", "xy", "XY", "y", "yx", "z"};

}  // namespace

int FillRandomTable(FileControlBlock& f, int count, std::mt19937& rng) {
  for (int i = 1; i <= count; ++i) {
    uint8_t* r = f.record.data();
    StoreU32(r, static_cast<uint32_t>(i));
    StoreString(reinterpret_cast<char*>(r + 4), 3, Pick(kA, rng));
    StoreU16(r + 7, static_cast<uint16_t>(static_cast<int16_t>(rng() % 7) - 2));
    StoreString(reinterpret_cast<char*>(r + 9), 4, Pick(kC, rng));
    StoreU32(r + 13, static_cast<uint32_t>(static_cast<int32_t>(rng() % 9) - 4));
    if (int e = Add(f)) return e;
  }
  return 0;
}

std::vector<int32_t> ViewIds(View& v, bool forward, int64_t declared) {
  std::vector<int32_t> ids;
  if (int e = SetView(v.block())) return {-e};
  v.ExpectReads(declared);
  FileControlBlock& f = *v.declaration().primary;
  int e;
  while ((e = forward ? Next(v.block()) : Previous(v.block())) == 0) {
    ids.push_back(static_cast<int32_t>(LoadU32(f.record.data())));
  }
  if (e != kErrRecordNotAvailable) ids.push_back(-e);
  v.ExpectReads(0);
  return ids;
}

std::string RandomFilter(std::mt19937& rng) {
  auto quoted = [&](const std::vector<std::string>& set) { return "'" + Pick(set, rng) + "'"; };
  auto number = [&](int lo, int hi) { return std::to_string(lo + static_cast<int>(rng() % (hi - lo + 1))); };
  std::vector<std::string> terms;
  const int n = static_cast<int>(rng() % 4);
  for (int i = 0; i < n; ++i) {
    switch (rng() % 14) {
      case 0: terms.push_back("UPPER(T:A) = UPPER(" + quoted(kA) + ")"); break;
      case 1: terms.push_back("T:A = " + quoted(kA)); break;
      case 2: terms.push_back("UPPER(T:A) = " + quoted(kA)); break;
      case 3: terms.push_back("T:B = " + number(-3, 5)); break;
      case 4: terms.push_back("T:B >= " + number(-3, 5)); break;
      case 5: terms.push_back("T:B <= " + number(-3, 5)); break;
      case 6: terms.push_back("T:C = " + quoted(kC)); break;
      case 7: terms.push_back("T:D >= " + number(-5, 5)); break;
      case 8: terms.push_back("T:D <= " + number(-5, 5)); break;
      case 9: terms.push_back("UPPER(T:A) >= " + quoted(kA)); break;
      case 10: terms.push_back("T:ID <= " + number(0, 40)); break;
      case 11: terms.push_back("INSTRING('x', T:C, 1, 1)"); break;
      case 12: terms.push_back("T:C >= " + quoted(kC)); break;
      default: terms.push_back("T:B = 1 OR T:D = 2"); break;
    }
  }
  std::string text;
  for (const std::string& t : terms) text += (text.empty() ? "" : " AND ") + t;
  return text;
}

std::string RandomOrder(std::mt19937& rng) {
  static const std::vector<std::string> kItems = {"T:A", "UPPER(T:A)", "T:B", "-T:B", "T:C", "-T:C", "T:D", "-T:D",
                                                  "T:ID", "-T:ID", "+UPPER(T:A)", "-UPPER(T:A)", "T:B + T:D"};
  static const std::vector<std::string> kKeyOrders = {"UPPER(T:A),T:B", "-UPPER(T:A),-T:B", "T:B",
                                                      "T:C,-T:D", "-T:C,T:D", "T:ID", "-T:ID", "-T:B,T:ID",
                                                      "T:B,-T:ID", "UPPER(T:A)", "-T:D"};
  if (rng() % 3 == 0) return "";
  if (rng() % 2 == 0) return Pick(kKeyOrders, rng);
  std::string text;
  const int n = 1 + static_cast<int>(rng() % 3);
  for (int i = 0; i < n; ++i) text += (i ? "," : "") + Pick(kItems, rng);
  return text;
}

std::string ComparePlanned(FileControlBlock& file, int key, const std::string& filter, const std::string& order,
                           std::string* explain, int64_t declared) {
  ViewDeclaration d;
  d.primary = &file;
  d.key = key;
  View planned(d), plain(d);
  plain.SetPlanning(false);
  for (View* v : {&planned, &plain}) {
    if (Open(v->block()) != 0) return "OPEN failed";
    SetProperty(v->block(), kPropViewFilter, filter);
    SetProperty(v->block(), kPropViewOrder, order);
  }
  if (explain) *explain = planned.Explain();
  for (bool forward : {true, false}) {
    std::vector<int32_t> a = ViewIds(planned, forward, declared), b = ViewIds(plain, forward);
    if (a != b) {
      std::string s = std::string(forward ? "forward" : "backward") + " rows differ for key " + std::to_string(key) +
                      " filter [" + filter + "] order [" + order + "] declared " + std::to_string(declared) + "\n" +
                      planned.Explain() + "planned:";
      for (int32_t x : a) s += " " + std::to_string(x);
      s += "\nplain:  ";
      for (int32_t x : b) s += " " + std::to_string(x);
      return s;
    }
  }
  return "";
}

}  // namespace cinevo::view
