// The planner: how a VIEW reads its primary file for a filter and an order.
//
// The plain stream reads the whole primary file in the VIEW's order (its key, or record order),
// filters every row and, with an order text, sorts all of them. The planner keeps the rows and
// their order exactly as the plain stream gives them while reading less:
//   - A filter that is a conjunction ("A AND B AND ...", no OR at its top level) whose terms fix
//     the leading components of a key by equality ("FIELD = value", "UPPER(FIELD) = value" for a
//     key that ignores case) and bound the next one ("FIELD >= value", "FIELD <= value") reads
//     only that part of the key. An equality term that the key answers exactly leaves the
//     filter; every other term stays in it.
//   - An order text that is the key's own order from the first component the filter does not
//     fix (or a prefix of it) is delivered by the key, and no rows are materialised; so is the
//     key read backwards, when the key is unique and the order covers it to its last component.
// A key is used only when it gives the rows in the VIEW's own order (it is the VIEW's key), or
// when the VIEW reads record order and the rows are materialised, or the order covers the key to
// its end and ties in it (duplicates) follow record order as the key's entries do. Keys that
// leave records out (OPT) are used only when a term excludes the records they leave out; INDEXes
// are never used.
#pragma once

#include <string>
#include <string_view>

#include "runtime/data/view/row_stream.h"
#include "runtime/data/view/view_declaration.h"

namespace cinevo::view {

struct ViewPlan {
  KeyRange range;              // how the primary file is read
  std::string filter;          // the filter that remains for the filter node (empty: none)
  bool materialise = false;    // an order node sorts the rows
  bool by_pointer = false;     // the order node orders rows of equal values by record pointer
  std::string range_text;      // the range in words, for --explain ("" when none)
  // The order's first item when it is nothing but a STRING field of the primary file that no
  // joined file has (1-based; 0: none) and the primary is read whole in record order: the order
  // node may then have the file's driver screen records by it (RowNode::Screen).
  int screen_field = 0;
};

// The plan of the plain stream (no planning) and the planned one. `filter` and `order` are the
// texts as set; both must compile (the VIEW drops texts that do not before planning).
ViewPlan PlainPlan(const ViewDeclaration& view, std::string_view filter, std::string_view order);
ViewPlan PlanView(const ViewDeclaration& view, std::string_view filter, std::string_view order);

// The plan in words, one item a line:
//   key POD:PRK (forward) | record order
//   range UPPER(POD:SIFRA) = 'ABC'
//   filter INSTRING('.AVI', UPPER(POD:NASLOV), 1, 1)
//   materialised yes | no
std::string ExplainPlan(const ViewDeclaration& view, const ViewPlan& plan);

// Splitting texts at their top level (outside quotes and parentheses). SplitConjunction gives
// the terms of "A AND B AND C" and false when the text has OR or XOR at its top level.
bool SplitConjunction(std::string_view text, std::vector<std::string>& terms);
// The items of an order text: each trimmed of blanks and tabs, with its sign taken off.
struct OrderText {
  std::string expression;
  bool descending = false;
};
std::vector<OrderText> SplitOrder(std::string_view text);

}  // namespace cinevo::view
