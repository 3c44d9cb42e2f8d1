#include "tables/XMLNode.h"
#include "support/TableReaderTestSupport.h"

#include <gtest/gtest.h>

namespace {

const QString invalidPrefix = QStringLiteral("XML XLSX invalide : ");

QByteArray nested(int depth)
{
    QByteArray xml;
    for (int i = 0; i < depth; ++i)
        xml += "<e>";
    for (int i = 0; i < depth; ++i)
        xml += "</e>";
    return xml;
}

} // namespace

TEST(XmlTreeParse, DoctypeIsRefusedBeforeParsing)
{
    EXPECT_EQ(errorOf([] { XMLNode::parse("<?xml version=\"1.0\"?><!DOCTYPE a><a/>"); }),
              QStringLiteral("Déclaration XML externe non prise en charge."));
    // The classic entity expansion never reaches the parser.
    EXPECT_EQ(errorOf([] {
                  XMLNode::parse("<!DOCTYPE l [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]><l>&b;</l>");
              }),
              QStringLiteral("Déclaration XML externe non prise en charge."));
}

TEST(XmlTreeParse, DoctypeInUtf16IsRefusedByTheParser)
{
    const QString text = QStringLiteral("<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>");
    QByteArray utf16("\xFF\xFE");
    for (QChar c : text)
        utf16.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    EXPECT_EQ(errorOf([&] { XMLNode::parse(utf16); }), QStringLiteral("Déclaration XML externe non prise en charge."));
}

TEST(XmlTreeParse, LocalNamesQualifiedAttributesAndText)
{
    const auto root = XMLNode::parse(
        "<x:worksheet xmlns:x=\"urn:x\" xmlns:r=\"urn:r\"><x:c r:id=\"rId1\" t=\"s\">a<x:v>1</x:v>b</x:c>"
        "<sheet/></x:worksheet>");
    EXPECT_EQ(root->name, QStringLiteral("worksheet"));
    ASSERT_EQ(root->children.size(), 2u);
    const XMLNode& c = *root->children.front();
    EXPECT_EQ(c.name, QStringLiteral("c"));
    EXPECT_EQ(c.attribute(QStringLiteral("r:id")), QStringLiteral("rId1"));
    EXPECT_EQ(c.attribute(QStringLiteral("t")), QStringLiteral("s"));
    EXPECT_FALSE(c.hasAttribute(QStringLiteral("id")));
    // The child's text is not part of its parent's.
    EXPECT_EQ(c.text, QStringLiteral("ab"));
    EXPECT_EQ(c.child(QStringLiteral("v"))->text, QStringLiteral("1"));
    EXPECT_EQ(root->attribute(QStringLiteral("xmlns:x")), QStringLiteral("urn:x"));
}

TEST(XmlTreeParse, TextAroundReferencesIsJoined)
{
    const auto root = XMLNode::parse("<t>Sud &amp; Nord &#233;t&#xE9; &lt;1&gt;<![CDATA[ <brut> ]]></t>");
    // Character data of CDATA sections is kept: a shared string may be written that way.
    EXPECT_EQ(root->text, QStringLiteral("Sud & Nord été <1> <brut> "));
}

TEST(XmlTreeParse, DepthAndElementLimits)
{
    EXPECT_NO_THROW(XMLNode::parse(nested(64)));
    EXPECT_EQ(errorOf([] { XMLNode::parse(nested(65)); }), invalidPrefix + QStringLiteral("plus de 64 éléments imbriqués"));

    QByteArray many = "<a>";
    many.reserve(5 * 750'001);
    for (int i = 1; i < 750'000; ++i)
        many += "<b/>";
    const auto accepted = XMLNode::parse(many + "</a>");
    EXPECT_EQ(accepted->children.size(), 749'999u);
    EXPECT_EQ(errorOf([&] { XMLNode::parse(many + "<b/></a>"); }), invalidPrefix + QStringLiteral("plus de 750 000 éléments"));
}

TEST(XmlTreeParse, MalformedAndEmptyDocuments)
{
    EXPECT_EQ(errorOf([] { XMLNode::parse({}); }), invalidPrefix + QStringLiteral("aucun élément (ligne 1, colonne 0)"));
    EXPECT_EQ(errorOf([] { XMLNode::parse("<a>\n<b></a>"); }),
              invalidPrefix + QStringLiteral("balises mal appariées (ligne 2, colonne 5)"));
    EXPECT_TRUE(errorOf([] { XMLNode::parse("<a/><b/>"); }).startsWith(invalidPrefix));
    EXPECT_TRUE(errorOf([] { XMLNode::parse("<a>&inconnue;</a>"); }).startsWith(invalidPrefix));
    EXPECT_TRUE(errorOf([] { XMLNode::parse("<?xml version=\"1.0\"?>"); }).startsWith(invalidPrefix));
}

TEST(XmlTreeWalk, DescendantsInDocumentOrder)
{
    const auto root = XMLNode::parse(
        "<r><t>1</t><si><t>2</t><rPh><t>3</t></rPh></si><t>4</t></r>");
    QStringList texts;
    for (const XMLNode* t : root->descendants(QStringLiteral("t")))
        texts.append(t->text);
    EXPECT_EQ(texts, QStringList({"1", "2", "3", "4"}));
    EXPECT_EQ(XMLNode::descendants(root->childNodes().mid(1, 1), QStringLiteral("t")).size(), 2);
    EXPECT_EQ(root->child(QStringLiteral("absent")), nullptr);
}
