#include "runtime/ui/event_code.h"

#include <algorithm>
#include <array>
#include <utility>

namespace cinevo {
namespace {

using Entry = std::pair<uint32_t, std::string_view>;
constexpr uint32_t I(int v) { return InternalEventCode(v); }

// Sorted by code; EventName searches it.
constexpr auto kNames = std::to_array<Entry>({
    // System messages the trace shows by name.
    {0x0002, "WM_DESTROY"},
    {0x0003, "WM_MOVE"},
    {0x0005, "WM_SIZE"},
    {0x0006, "WM_ACTIVATE"},
    {0x0007, "WM_SETFOCUS"},
    {0x0008, "WM_KILLFOCUS"},
    {0x0010, "WM_CLOSE"},
    {0x0100, "WM_KEYDOWN"},
    {0x0101, "WM_KEYUP"},
    {0x0102, "WM_CHAR"},
    {0x0111, "WM_COMMAND"},
    {0x0113, "WM_TIMER"},
    {0x0200, "WM_MOUSEMOVE"},
    {0x0201, "WM_LBUTTONDOWN"},
    {0x0202, "WM_LBUTTONUP"},
    {0x0233, "WM_DROPFILES"},
    {I(0x01), "EVENT:Accepted"},
    {I(0x02), "EVENT:NewSelection"},
    {I(0x03), "EVENT:ScrollUp"},
    {I(0x04), "EVENT:ScrollDown"},
    {I(0x05), "EVENT:PageUp"},
    {I(0x06), "EVENT:PageDown"},
    {I(0x07), "EVENT:ScrollTop"},
    {I(0x08), "EVENT:ScrollBottom"},
    {I(0x09), "EVENT:Locate"},
    {I(0x0A), "EVENT:MouseUp"},
    {I(0x0B), "EVENT:MouseIn"},
    {I(0x0C), "EVENT:MouseOut"},
    {I(0x0D), "EVENT:MouseMove"},
    {I(0x0E), "EVENT:VBXevent"},
    {I(0x0F), "EVENT:AlertKey"},
    {I(0x10), "EVENT:PreAlert"},
    {I(0x11), "EVENT:Dragging"},
    {I(0x12), "EVENT:Drag"},
    {I(0x13), "EVENT:Drop"},
    {I(0x14), "EVENT:ScrollDrag"},
    {I(0x15), "EVENT:TabChanging"},
    {I(0x16), "EVENT:Expanding"},
    {I(0x17), "EVENT:Contracting"},
    {I(0x18), "EVENT:Expanded"},
    {I(0x19), "EVENT:Contracted"},
    {I(0x1A), "EVENT:Rejected"},
    {I(0x1B), "EVENT:DroppingDown"},
    {I(0x1C), "EVENT:DroppedDown"},
    {I(0x1D), "EVENT:ScrollTrack"},
    {I(0x1E), "EVENT:ColumnResize"},
    {I(0x101), "EVENT:Selected"},
    {I(0x201), "EVENT:CloseWindow"},
    {I(0x202), "EVENT:CloseDown"},
    {I(0x203), "EVENT:OpenWindow"},
    {I(0x204), "EVENT:OpenFailed"},
    {I(0x205), "EVENT:LoseFocus"},
    {I(0x206), "EVENT:GainFocus"},
    {I(0x208), "EVENT:Suspend"},
    {I(0x209), "EVENT:Resume"},
    {I(0x20A), "EVENT:Notify"},
    {I(0x20B), "EVENT:Timer"},
    {I(0x20C), "EVENT:DDErequest"},
    {I(0x20D), "EVENT:DDEadvise"},
    {I(0x20E), "EVENT:DDEdata"},
    {I(0x20F), "EVENT:DDEexecute"},
    {I(0x210), "EVENT:DDEpoke"},
    {I(0x211), "EVENT:DDEclosed"},
    {I(0x220), "EVENT:Move"},
    {I(0x221), "EVENT:Size"},
    {I(0x222), "EVENT:Restore"},
    {I(0x223), "EVENT:Maximize"},
    {I(0x224), "EVENT:Iconize"},
    {I(0x225), "EVENT:Completed"},
    {I(0x230), "EVENT:Moved"},
    {I(0x231), "EVENT:Sized"},
    {I(0x232), "EVENT:Restored"},
    {I(0x233), "EVENT:Maximized"},
    {I(0x234), "EVENT:Iconized"},
    {I(0x240), "EVENT:BuildFile"},
    {I(0x241), "EVENT:BuildKey"},
    {I(0x242), "EVENT:BuildDone"},
    // The runtime's private messages.
    {0x2400, "QUERY_WAKEUP"},
    {0x2415, "QUERY_BRINGTOTOP"},
    {0x2416, "QUERY_TIMERTOTOP"},
    {0x2417, "QUERY_CONTROL17"},
    {0x2418, "QUERY_DROP"},
    {0x241A, "QUERY_CONTROL1A"},
    {0x241B, "QUERY_POSTEVENT"},
    {0x241C, "QUERY_CONTINUETHREAD"},
    {0x241D, "QUERY_EDITDONE"},
});

static_assert(std::is_sorted(kNames.begin(), kNames.end(),
                             [](const Entry& a, const Entry& b) { return a.first < b.first; }));

}  // namespace

std::string_view EventName(uint32_t internalCode) {
  auto it = std::lower_bound(kNames.begin(), kNames.end(), internalCode,
                             [](const Entry& e, uint32_t c) { return e.first < c; });
  if (it == kNames.end() || it->first != internalCode) return {};
  return it->second;
}

}  // namespace cinevo
