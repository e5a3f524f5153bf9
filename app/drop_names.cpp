#include "app/drop_names.h"

#include "app/play_list.h"

namespace cinevo::app {

std::vector<std::string> SplitDroppedNames(std::string_view text) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(",/", start);
    size_t end = comma == std::string_view::npos ? text.size() : comma;
    std::string name = Clip(text.substr(start, end - start));
    if (!name.empty()) names.push_back(std::move(name));
    if (comma == std::string_view::npos) break;
    start = comma + 1;  // the next name begins with its "/"
  }
  return names;
}

}  // namespace cinevo::app
