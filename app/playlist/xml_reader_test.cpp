// The XML reader: the parts of a document play lists use, and every way a hostile document is
// turned away without expanding anything.
#include "app/playlist/xml_reader.h"

#include <gtest/gtest.h>

namespace cinevo::playlist {
namespace {

TEST(XmlReaderTest, ReadsElementsAttributesTextAndReferences) {
  XmlDocument d = ReadXml(
      "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- a list -->\n"
      "<x:a k='1 &amp; 2' j=\"&#x43;\"><b>T&lt;&#233;&gt;<![CDATA[<raw&>]]></b><?pi x?><c/></x:a>\n");
  ASSERT_TRUE(d.ok()) << d.error;
  EXPECT_EQ(d.root.name, "x:a");
  EXPECT_EQ(d.root.LocalName(), "a");
  ASSERT_EQ(d.root.attributes.size(), 2u);
  EXPECT_EQ(d.root.attributes[0].second, "1 & 2");
  EXPECT_EQ(d.root.attributes[1].second, "C");
  ASSERT_NE(d.root.Child("b"), nullptr);
  EXPECT_EQ(d.root.Child("b")->text, "T<\xC3\xA9><raw&>");
  EXPECT_NE(d.root.Child("c"), nullptr);
  EXPECT_EQ(d.root.Child("d"), nullptr);
}

TEST(XmlReaderTest, EntitiesOfTheDocumentAreNeverExpanded) {
  std::string laughs =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n <!ENTITY lol \"lol\">\n"
      " <!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n"
      " <!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">\n]>\n"
      "<playlist><title>&lol3;</title></playlist>\n";
  XmlDocument d = ReadXml(laughs);
  EXPECT_FALSE(d.ok());
  EXPECT_NE(d.error.find("line 7"), std::string::npos) << d.error;
  EXPECT_NE(d.error.find("&lol3;"), std::string::npos) << d.error;
  // An outside entity is no different.
  d = ReadXml("<!DOCTYPE p [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><p>&x;</p>");
  EXPECT_FALSE(d.ok());
  // A DOCTYPE alone is passed over.
  d = ReadXml("<!DOCTYPE p [<!ELEMENT p (#PCDATA)> <!-- ] > -->]><p>x</p>");
  EXPECT_TRUE(d.ok()) << d.error;
}

TEST(XmlReaderTest, MalformedDocumentsAreRefusedWithTheirLine) {
  const char* bad[] = {
      "", "text", "<a>", "<a></b>", "<a><b></a></b>", "<a x=1/>", "<a x='1' x='2'/>",
      "<a>&bogus</a>", "<a>&#0;</a>", "<a>&#xD800;</a>", "<a>&#1114112;</a>", "<a>\x01</a>",
      "<a/><b/>", "<a/>junk", "<!DOCTYPE a", "<a><!-- x</a>", "<a><![CDATA[x</a>", "<a b='<'/>",
      "<a><!ELEMENT x></a>", "<a\x00/>",
  };
  for (const char* text : bad) {
    XmlDocument d = ReadXml(text);
    EXPECT_FALSE(d.ok()) << "accepted: " << text;
    EXPECT_TRUE(d.root.children.empty());
  }
  XmlDocument d = ReadXml("<a>\n<b>\n</c></a>");
  EXPECT_EQ(d.error.substr(0, 7), "line 3:") << d.error;
}

TEST(XmlReaderTest, DeepNestingIsRefusedNotRecursedInto) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  XmlDocument d = ReadXml(deep);
  EXPECT_FALSE(d.ok());
  EXPECT_NE(d.error.find("deeper"), std::string::npos);
  std::string ok;
  for (int i = 0; i < kMaxXmlDepth; ++i) ok += "<a>";
  for (int i = 0; i < kMaxXmlDepth; ++i) ok += "</a>";
  EXPECT_TRUE(ReadXml(ok).ok());
}

TEST(XmlReaderTest, EscapeIsReadBack) {
  std::string text = "a<b>&\"c'";
  XmlDocument d = ReadXml("<t v=\"" + XmlEscape(text) + "\">" + XmlEscape(text) + "</t>");
  ASSERT_TRUE(d.ok()) << d.error;
  EXPECT_EQ(d.root.text, text);
  EXPECT_EQ(d.root.attributes[0].second, text);
}

}  // namespace
}  // namespace cinevo::playlist
