// What a Shapefile's .prj text says about its coordinates. The text is read as a tree of WKT
// nodes (KEYWORD[value, …, NODE[…]]), the forms that GDAL, QGIS and ArcGIS write (WKT1 with or
// without AUTHORITY, the ESRI names, WKT2). Anything else declares nothing. And whether the
// numbers of a file so declared are longitudes and latitudes.
#include "basemaps/ShapefileReader.h"

#include "model/PlmSpatialDecoration.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace ShapefileReader {

namespace {

// A .prj is a few hundred bytes; these bounds only keep a hostile one cheap.
constexpr qsizetype maximumPrjSize = 64 * 1024;
constexpr int maximumDepth = 32;

struct WktNode {
    QByteArray keyword; // upper case
    QList<QByteArray> values; // quoted texts (unquoted) and bare words or numbers, in order
    std::vector<WktNode> children;

    const WktNode* child(const char* name) const
    {
        for (const WktNode& c : children)
            if (c.keyword == name)
                return &c;
        return nullptr;
    }
};

class WktParser {
public:
    explicit WktParser(const QByteArray& text)
        : text_(text)
    {
    }

    std::optional<WktNode> document()
    {
        std::optional<WktNode> node = parseNode(0);
        skipSpace();
        if (!node || at_ != text_.size())
            return std::nullopt;
        return node;
    }

private:
    void skipSpace()
    {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n'))
            ++at_;
    }
    static bool isWordCharacter(char c)
    {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.'
            || c == '-' || c == '+';
    }
    QByteArray word()
    {
        const qsizetype start = at_;
        while (at_ < text_.size() && isWordCharacter(text_[at_]))
            ++at_;
        return text_.mid(start, at_ - start);
    }
    std::optional<QByteArray> quoted()
    {
        QByteArray out;
        ++at_; // opening quote
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c != '"') {
                out.append(c);
            } else if (at_ < text_.size() && text_[at_] == '"') { // a doubled quote stands for one
                out.append('"');
                ++at_;
            } else {
                return out;
            }
        }
        return std::nullopt;
    }
    std::optional<WktNode> parseNode(int depth)
    {
        if (depth > maximumDepth)
            return std::nullopt;
        skipSpace();
        WktNode node;
        node.keyword = word().toUpper();
        skipSpace();
        if (node.keyword.isEmpty() || at_ >= text_.size() || (text_[at_] != '[' && text_[at_] != '('))
            return std::nullopt;
        const char close = text_[at_] == '[' ? ']' : ')';
        ++at_;
        for (;;) {
            skipSpace();
            if (at_ >= text_.size())
                return std::nullopt;
            if (text_[at_] == '"') {
                std::optional<QByteArray> value = quoted();
                if (!value)
                    return std::nullopt;
                node.values << *value;
            } else {
                const qsizetype start = at_;
                const QByteArray bare = word();
                skipSpace();
                if (at_ < text_.size() && (text_[at_] == '[' || text_[at_] == '(')) {
                    at_ = start;
                    std::optional<WktNode> child = parseNode(depth + 1);
                    if (!child)
                        return std::nullopt;
                    node.children.push_back(std::move(*child));
                } else if (!bare.isEmpty()) {
                    node.values << bare;
                } else if (!(at_ < text_.size() && text_[at_] == close && node.values.isEmpty() && node.children.empty())) {
                    return std::nullopt;
                }
            }
            skipSpace();
            if (at_ >= text_.size())
                return std::nullopt;
            if (text_[at_] == close) {
                ++at_;
                return node;
            }
            if (text_[at_] != ',')
                return std::nullopt;
            ++at_;
        }
    }

    const QByteArray& text_;
    qsizetype at_ = 0;
};

std::optional<double> number(const QByteArray& text)
{
    double value = 0;
    const char* end = text.constData() + text.size();
    const auto [stop, error] = std::from_chars(text.constData(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The datum names that writers give WGS 84: "WGS_1984", "D_WGS_1984", "WGS 84",
// "World Geodetic System 1984" and its WKT2 ensemble.
bool isWgs84DatumName(const QByteArray& name)
{
    QByteArray folded = name.toUpper();
    if (folded.startsWith("D_"))
        folded.remove(0, 2);
    QByteArray letters;
    for (const char c : folded)
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            letters.append(c);
    return letters == "WGS84" || letters == "WGS1984" || letters == "WORLDGEODETICSYSTEM1984"
        || letters == "WORLDGEODETICSYSTEM1984ENSEMBLE";
}

bool isDegree(const WktNode& unit)
{
    const std::optional<double> factor = number(unit.values.value(1));
    return factor && std::abs(*factor - M_PI / 180) <= 1e-12;
}

// Every angle unit of the system must be the degree (a grad or radian system is not).
bool anglesInDegrees(const WktNode& node, bool top)
{
    for (const WktNode& c : node.children) {
        if ((c.keyword == "ANGLEUNIT" || (top && c.keyword == "UNIT")) && !isDegree(c))
            return false;
        if ((c.keyword == "CS" || c.keyword == "AXIS") && !anglesInDegrees(c, false))
            return false;
    }
    return true;
}

} // namespace

bool withinLongitudesAndLatitudes(const QList<PlmEntity>& entities)
{
    // The same bounds, rounding allowed, as the scale bar's test of a geographic map.
    return std::all_of(entities.cbegin(), entities.cend(), [](const PlmEntity& entity) {
        return entity.geometry.everyExtentPoint(PlmSpatialDecoration::isLongitudeLatitude);
    });
}

bool declaresWgs84Longitudes(const QByteArray& prj)
{
    if (prj.size() > maximumPrjSize)
        return false;
    const std::optional<WktNode> system = WktParser(prj).document();
    if (!system || (system->keyword != "GEOGCS" && system->keyword != "GEOGCRS" && system->keyword != "GEOGRAPHICCRS"))
        return false;
    const WktNode* datum = system->child("DATUM");
    if (!datum)
        datum = system->child("ENSEMBLE");
    if (!datum || !isWgs84DatumName(datum->values.value(0)))
        return false;
    if (const WktNode* meridian = system->child("PRIMEM")) {
        const std::optional<double> longitude = number(meridian->values.value(1));
        if (!longitude || *longitude != 0)
            return false;
    }
    return anglesInDegrees(*system, true);
}

} // namespace ShapefileReader
