// Both list readers on arbitrary bytes: neither may crash, and what one reads must survive
// being written and read again in both formats (same paths, same order).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/playlist/play_list_file.h"
#include "app/playlist/m3u.h"
#include "app/playlist/xspf.h"

using namespace cinevo::playlist;

namespace {

void CheckRoundTrip(const PlayListRead& first) {
  if (!first.ok()) {
    if (!first.items.empty()) std::abort();  // a refused list gives nothing
    return;
  }
  for (PlayListFormat f : {PlayListFormat::kM3u, PlayListFormat::kXspf}) {
    std::string text, error;
    if (!FormatPlayList(f, first.items, first.title, text, error)) continue;  // a line break in a path
    PlayListRead again = ReadPlayListText(text, f == PlayListFormat::kM3u ? "/l/x.m3u" : "/l/x.xspf");
    if (!again.ok() || again.items.size() != first.items.size()) std::abort();
    for (size_t i = 0; i < first.items.size(); ++i) {
      if (again.items[i].path != first.items[i].path) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckRoundTrip(ReadM3u(text, "/lists"));
  CheckRoundTrip(ReadXspf(text, "/lists"));
  return 0;
}
