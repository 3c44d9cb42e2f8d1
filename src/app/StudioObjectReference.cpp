#include "app/StudioObjectReference.h"

#include "model/PlmJson.h"

const QString StudioObjectReference::pasteboardType = QStringLiteral("ondrel.pelmorastudio.studio-object");

namespace {

// A reference names a handful of ids; a small cap keeps a hostile drag text cheap to read.
constexpr int maxReferenceDepth = 64;

// Compact JSON written by hand: the outline makes one key per entity, so this stays cheap
// for maps of tens of thousands of entities.
void appendQuoted(QByteArray& out, const QString& text)
{
    out.append('"');
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
        case '"': out.append("\\\""); break;
        case '\\': out.append("\\\\"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        case '\t': out.append("\\t"); break;
        case '\b': out.append("\\b"); break;
        case '\f': out.append("\\f"); break;
        default:
            if (byte < 0x20) {
                static const char hex[] = "0123456789abcdef";
                out.append("\\u00");
                out.append(hex[byte >> 4]);
                out.append(hex[byte & 15]);
            } else {
                out.append(c);
            }
        }
    }
    out.append('"');
}

} // namespace

QByteArray StudioObjectReference::toJson() const
{
    QByteArray out;
    out.reserve(32 + 16 * path.size() + id.size());
    switch (kind) {
    case Kind::entity:
        out.append("{\"entity\":{\"_0\":[");
        for (qsizetype i = 0; i < path.size(); ++i) {
            if (i > 0)
                out.append(',');
            appendQuoted(out, path.at(i));
        }
        out.append("]}}");
        break;
    case Kind::decoration:
    case Kind::legend:
        out.append(kind == Kind::decoration ? "{\"decoration\":{\"_0\":" : "{\"legend\":{\"_0\":");
        appendQuoted(out, id);
        out.append("}}");
        break;
    }
    return out;
}

QString StudioObjectReference::key() const
{
    return QString::fromUtf8(toJson());
}

StudioObjectReference StudioObjectReference::fromJson(const PlmJsonValue& value)
{
    const auto [index, payload] = value.singleCase({"entity", "decoration", "legend"});
    switch (index) {
    case 0:
        return entity(payload.field<QList<QString>>("_0"));
    case 1:
        return decoration(payload.field<QString>("_0"));
    default:
        return legend(payload.field<QString>("_0"));
    }
}

StudioObjectReference StudioObjectReference::fromJson(const QByteArray& utf8)
{
    const PlmJsonDocument document = PlmJsonDocument::parse(utf8, maxReferenceDepth);
    return fromJson(document.root());
}

std::optional<StudioObjectReference> StudioObjectReference::read(const QByteArray& utf8)
{
    try {
        return fromJson(utf8);
    } catch (const PlmError&) {
        return std::nullopt;
    }
}
