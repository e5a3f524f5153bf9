// A small, strict XML reader for play lists: the document as a tree of elements.
//
// It reads elements, attributes, character data, CDATA sections, comments, processing
// instructions and the XML declaration. A DOCTYPE is passed over whole and nothing declared in
// it is used: the only entity references understood are the five predefined ones and character
// references ("&#233;", "&#xE9;"); any other "&name;" is an error. So no document can make the
// reader expand text (the "billion laughs") or fetch an outside file. Limits: nesting deeper
// than kMaxXmlDepth is refused. Errors name the line where the document stops being well formed.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cinevo::playlist {

inline constexpr int kMaxXmlDepth = 64;

struct XmlElement {
  std::string name;  // as written, with any prefix
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string text;  // the element's own character data, entities replaced
  std::vector<XmlElement> children;

  // The name without a namespace prefix.
  std::string_view LocalName() const;
  // The first child of local name `local`, or null.
  const XmlElement* Child(std::string_view local) const;
};

struct XmlDocument {
  XmlElement root;
  std::string error;  // empty when the document was read
  bool ok() const { return error.empty(); }
};

XmlDocument ReadXml(std::string_view text);

// `text` with "&", "<", ">" and '"' escaped, for character data and attribute values.
std::string XmlEscape(std::string_view text);

}  // namespace cinevo::playlist
