// XSPF play lists: an XML document <playlist><title/><trackList><track>... .
//
// Read (through xml_reader.h, which expands no entity of a document's own): the list's <title>;
// per <track> its first <location> that names a local file (a file: URI, or a relative
// reference taken from the list's folder, %-escapes decoded) and its <title>. A track without
// such a location is skipped and counted. Elements are matched by their local names, so any
// namespace prefix is accepted. A root other than <playlist> refuses the document.
//
// Written: UTF-8, locations as file:/// URIs with every byte but the unreserved ones escaped;
// titles that are not valid UTF-8 have their stray bytes replaced by "?".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/playlist/play_list_file.h"

namespace cinevo::playlist {

PlayListRead ReadXspf(std::string_view text, std::string_view list_dir);

// False when a path is not absolute (a URI needs one).
bool WriteXspf(const std::vector<PlayListItem>& items, std::string_view title, std::string& text,
               std::string& error);

}  // namespace cinevo::playlist
