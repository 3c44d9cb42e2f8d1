#include "model/PlmText.h"

#include "model/PlmJson.h"

#include <QTextBoundaryFinder>

#include <algorithm>

PlmText PlmText::fromJson(const PlmJsonValue& value)
{
    return PlmText{value.field<QString>("text"), value.field<QString>("fontName"),
                   value.field<double>("fontSize"), value.field<PlmTransform>("transform"),
                   value.field<QString>("anchor")};
}

void PlmText::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.field("anchor", anchor);
    writer.field("fontName", fontName);
    writer.field("fontSize", fontSize);
    writer.field("text", text);
    writer.field("transform", transform);
    writer.endObject();
}

qsizetype PlmText::characterCount() const
{
    // Below U+0300 every code unit but a carriage return (which pairs with a line feed) is a
    // character of its own: most map labels need no boundary search.
    const bool plain = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x300 && c != u'\r'; });
    if (plain)
        return text.size();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}
