#pragma once

#include "model/PlmEntity.h"
#include "model/PlmMap.h"

#include <QByteArray>

class PlmJsonDocument;
#include <QList>
#include <QSet>
#include <QString>

// The base-map document (".plmmap"): {"map": PlmMap, "version": 1}, pretty printed at the
// shallow levels (PlmJsonWriter) with sorted keys, validated both ways. All functions are pure and callable from any thread.
struct PlmMapCodec {
    static constexpr int version = 1;
    // Deepest level of an entity: the map's own entities are at 0, group members one deeper.
    static constexpr int maximumGroupDepth = 63;
    // Deepest level of an entity carrying an SVG point symbol.
    static constexpr int maximumSvgSymbolDepth = 15;
    static constexpr double maximumArcSweep = 6.283185307279586;
    static inline const QString fileTypeIdentifier = QStringLiteral("ondrel.pelmorastudio.plmmap");

    // Validates, then writes. Throws PlmMapError (validation) or PlmJsonEncodingError; a text
    // larger than reading accepts (plmMaximumFileBytes) is PlmJsonTooLargeError.
    static QByteArray encode(const PlmMap& map);

    // Reads the whole document, then checks the version ("Version .plmmap non prise en
    // charge : " + number), then validates. Throws PlmJsonDecodingError for a malformed file,
    // PlmMapError otherwise. Groups nested deeper than maximumGroupDepth are refused while
    // reading ("Groupes trop profondément imbriqués."), so hostile nesting never recurses far.
    static PlmMap decode(const QByteArray& bytes);
    // The same, from a document already parsed without a depth bound (an importer that looked
    // at the JSON first decodes it without parsing again).
    static PlmMap decode(const PlmJsonDocument& document);

    // The one validation of a base map: throws PlmMapError with the first failure's sentence.
    static void validate(const PlmMap& map);
    static void validateEntity(const PlmEntity& entity, int depth, QSet<QString>& ids);
    static void validateRing(const QList<PlmPoint>& ring);
    static void validatePolygon(const QList<PlmPoint>& exterior, const QList<QList<PlmPoint>>& holes);
    static void validatePath(const PlmVectorPath& path);
};
