#include "app/playlist/xspf.h"

#include "app/playlist/file_uri.h"
#include "app/playlist/xml_reader.h"

namespace cinevo::playlist {
namespace {

std::string Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n')) s.remove_suffix(1);
  return std::string(s);
}

// The local file a <location> names, or false.
bool LocalFile(std::string_view location, std::string_view list_dir, std::string& path) {
  std::string why;
  switch (ClassifyLocation(location, false)) {
    case LocationKind::kOtherUri:
      return false;
    case LocationKind::kFileUri:
      return FileUriToPath(location, path, why);
    case LocationKind::kPath: {
      // A relative reference: decoded, then taken from the list's folder.
      std::string_view ref = location.substr(0, location.find_first_of("?#"));
      std::string decoded;
      if (ref.empty() || !PercentDecode(ref, decoded)) return false;
      path = ResolveAgainst(list_dir, decoded);
      return true;
    }
  }
  return false;
}

// `text` as valid UTF-8 without control characters: anything else becomes "?".
std::string CleanUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    bool valid = n > 0 && i + n <= text.size();
    for (size_t k = 1; valid && k < n; ++k) valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (valid && n == 2) valid = c >= 0xC2;  // no overlong forms
    if (valid && n == 3) {
      auto c1 = static_cast<unsigned char>(text[i + 1]);
      valid = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);  // overlong, surrogates
    }
    if (valid && n == 4) {
      auto c1 = static_cast<unsigned char>(text[i + 1]);
      valid = !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90) && c <= 0xF4;
    }
    if (!valid || (n == 1 && c < 0x20 && c != '\t')) {
      out.push_back('?');
      ++i;
      continue;
    }
    out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

}  // namespace

PlayListRead ReadXspf(std::string_view text, std::string_view list_dir) {
  PlayListRead out;
  XmlDocument doc = ReadXml(text);
  if (!doc.ok()) {
    out.error = "not a well-formed XSPF list: " + doc.error;
    return out;
  }
  if (doc.root.LocalName() != "playlist") {
    out.error = "not an XSPF list: its root element is <" + doc.root.name + ">, not <playlist>";
    return out;
  }
  if (const XmlElement* t = doc.root.Child("title")) out.title = Trimmed(t->text);
  const XmlElement* tracks = doc.root.Child("trackList");
  if (tracks == nullptr) return out;
  for (const XmlElement& track : tracks->children) {
    if (track.LocalName() != "track") continue;
    std::string path;
    bool found = false;
    for (const XmlElement& field : track.children) {
      if (field.LocalName() == "location" && LocalFile(Trimmed(field.text), list_dir, path)) {
        found = true;
        break;
      }
    }
    if (!found) {
      ++out.skipped;
      continue;
    }
    if (out.items.size() >= kMaxEntries) {
      PlayListRead bad;
      bad.error = "more than " + std::to_string(kMaxEntries) + " tracks";
      return bad;
    }
    const XmlElement* title = track.Child("title");
    out.items.push_back({std::move(path), title ? Trimmed(title->text) : std::string()});
  }
  return out;
}

bool WriteXspf(const std::vector<PlayListItem>& items, std::string_view title, std::string& text,
               std::string& error) {
  text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">\n";
  if (!title.empty()) text += "  <title>" + XmlEscape(CleanUtf8(title)) + "</title>\n";
  text += "  <trackList>\n";
  for (const PlayListItem& item : items) {
    if (item.path.empty() || item.path.front() != '/') {
      error = "the path \"" + item.path + "\" is not absolute";
      return false;
    }
    std::string t = item.title.empty() ? TitleFromPath(item.path) : item.title;
    text += "    <track>\n      <location>" + XmlEscape(PathToFileUri(item.path)) + "</location>\n";
    text += "      <title>" + XmlEscape(CleanUtf8(t)) + "</title>\n    </track>\n";
  }
  text += "  </trackList>\n</playlist>\n";
  return true;
}

}  // namespace cinevo::playlist
