// Fuzz target for the list column format parser.
// Any input is a format text. Checking and building must agree, never read or write outside
// the input, and a built layout must keep its invariants: columns left to right inside the
// total width, fields numbered from 1, groups covering their columns.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runtime/ui/format/list_format.h"

using namespace cinevo;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view format(reinterpret_cast<const char*>(data), size);
  const int bad = CheckListFormat(format);
  Check(bad >= 0 && static_cast<size_t>(bad) <= size + 1);
  ListLayout layout;
  const bool built = BuildListColumns(format, DialogUnits{7, 15}, &layout);
  Check(built == (bad == 0));
  if (!built) {
    Check(layout.columns.empty() && layout.groups.empty());
    return 0;
  }
  Check(!layout.columns.empty());
  Check(layout.locatorColumn >= 0 && layout.locatorColumn <= static_cast<int>(layout.columns.size()));
  int highest = 0;
  for (const ListColumn& c : layout.columns) {
    Check(c.field >= 1);
    Check(c.left >= 0 && c.left <= c.right && c.right <= layout.totalWidth);
    Check(c.line >= 0 && c.line < layout.lines);
    Check(c.colourCount >= 0 && c.colourCount <= 4);
    Check(c.group >= 0 && c.group <= static_cast<int>(layout.groups.size()));
    if (c.iconField) Check(c.iconField > c.field);
    if (c.treeField) Check(c.treeField > c.field && c.treeField > c.iconField);
    highest = std::max(highest, c.treeField ? c.treeField : c.iconField ? c.iconField : c.field);
  }
  Check(layout.FieldsUsed() >= highest);
  for (const ListGroup& g : layout.groups) {
    Check(g.firstColumn <= g.lastColumn);
    Check(g.lastColumn < static_cast<int>(layout.columns.size()));
    Check(g.left <= g.right && g.right <= layout.totalWidth);
  }
  return 0;
}
