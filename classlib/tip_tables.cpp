#include "classlib/tip_tables.h"

#include <cstdint>

#include "classlib/managed_window.h"

namespace cinevo::classlib {
namespace {

// Each literal piece is one field of the packed layout: count; then button (low byte first),
// length, text. The pieces are separate literals so that a hex escape never runs into the text.
constexpr char kFormInsertTipsBytes[] =
    "\x02"
    "\xD0\x07" "\x1B" "Save record and add another"  // 2000
    "\xD8\x07" "\x1B" "Save record and add another";  // 2008

constexpr char kFormChangeTipsBytes[] =
    "\x07"
    "\xD4\x07" "\x22" "Save changes and go to last record"      // 2004
    "\xD5\x07" "\x23" "Save changes and go to first record"     // 2005
    "\xD6\x07" "\x24" "Save changes and page down to record"    // 2006
    "\xD7\x07" "\x22" "Save changes and page up to record"      // 2007
    "\xD8\x07" "\x22" "Save changes and go to next record"      // 2008
    "\xD9\x07" "\x26" "Save changes and go to previous record"  // 2009
    "\xD0\x07" "\x22" "Save this record and add a new one";     // 2000

constexpr char kTreeTipsBytes[] =
    "\x06"
    "\xD4\x07" "\x18" "Go to next parent record"       // 2004
    "\xD5\x07" "\x13" "Go to parent record"            // 2005
    "\xD6\x07" "\x19" "Go to next similar record"      // 2006
    "\xD7\x07" "\x1D" "Go to previous similar record"  // 2007
    "\xD8\x07" "\x11" "Go to next record"              // 2008
    "\xD9\x07" "\x15" "Go to previous record";         // 2009

// 2008 comes twice; the second entry gives the same tip again.
constexpr char kBrowseTipsBytes[] =
    "\x08"
    "\xD8\x07" "\x15" "Go to the Next Record"   // 2008
    "\xD4\x07" "\x13" "Go to the Last Page"     // 2004
    "\xD5\x07" "\x14" "Go to the First Page"    // 2005
    "\xD6\x07" "\x13" "Go to the Next Page"     // 2006
    "\xD7\x07" "\x14" "Go to the Prior Page"    // 2007
    "\xD8\x07" "\x15" "Go to the Next Record"   // 2008
    "\xD9\x07" "\x16" "Go to the Prior Record"  // 2009
    "\xD0\x07" "\x13" "Insert a new Record";    // 2000

// The literal's own terminating zero is not part of the table.
template <size_t N>
constexpr std::string_view Packed(const char (&bytes)[N]) {
  return std::string_view(bytes, N - 1);
}

}  // namespace

const std::string_view kFormInsertTips = Packed(kFormInsertTipsBytes);
const std::string_view kFormChangeTips = Packed(kFormChangeTipsBytes);
const std::string_view kTreeTips = Packed(kTreeTipsBytes);
const std::string_view kBrowseTips = Packed(kBrowseTipsBytes);

std::vector<TipEntry> ReadTipTable(std::string_view table, bool* complete) {
  std::vector<TipEntry> entries;
  auto byte = [&](size_t at) { return static_cast<uint8_t>(table[at]); };
  bool ok = !table.empty();
  size_t at = 1;
  const size_t count = ok ? byte(0) : 0;
  for (size_t i = 0; i < count; ++i) {
    if (table.size() - at < 3) {
      ok = false;
      break;
    }
    const int button = byte(at) | (byte(at + 1) << 8);
    const size_t length = byte(at + 2);
    at += 3;
    if (table.size() - at < length) {
      ok = false;
      break;
    }
    entries.push_back({button, table.substr(at, length)});
    at += length;
  }
  if (ok && at != table.size()) ok = false;
  if (complete != nullptr) *complete = ok;
  return entries;
}

void SetTips(ManagedWindow& window, std::string_view table) {
  for (const TipEntry& e : ReadTipTable(table)) window.SetTip(e.button, e.text);
}

}  // namespace cinevo::classlib
