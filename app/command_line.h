// Movie files named on the command line: `cinevo FILE...` plays them as a drop of them would.
//
// Each argument is a file name; a relative one is taken from the current directory and made
// absolute, as a drop gives full paths. Arguments beginning with "-" are options of the window
// system and are passed over, except after a "--", which makes every later argument a file.
#pragma once

#include <string>
#include <vector>

namespace cinevo::app {

std::vector<std::string> MovieArguments(int argc, const char* const* argv);

}  // namespace cinevo::app
