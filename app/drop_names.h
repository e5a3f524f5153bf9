// The names of a drop (or of the command line) as the list of files to play.
//
// A drop hands over the full paths of the dropped files joined by commas. A path may hold commas
// itself, so the text is split only at a comma that begins the next absolute path (",/"); a
// comma followed by anything else stays in the name. Names are clipped of trailing blanks and
// empty names are dropped. A text of any length is split.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cinevo::app {

std::vector<std::string> SplitDroppedNames(std::string_view text);

}  // namespace cinevo::app
