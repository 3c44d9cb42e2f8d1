#pragma once

#include "model/PlmDecorationKind.h"
#include "model/PlmPoint.h"
#include "model/PlmPresentation.h"
#include "model/PlmProportionalSettings.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <optional>

class PlmJsonValue;
class PlmJsonWriter;

// One element placed on the layout page, identified by its id.
struct PlmDecorationObject {
    // A UUID string, unique among the objects of one layout.
    QString id;
    PlmDecorationKind kind = PlmDecorationKind::text;
    QString text;
    // The frame's origin in points when presentation.positionInPoints is true; otherwise a pair of
    // fractions of the free space (0 against the left/bottom edge, 1 against the right/top edge).
    PlmPoint position{0.5, 0.5};
    double width = 180;
    double height = 100;
    PlmPresentation presentation;
    // For a legend object: 0 the first legend, 1 the second.
    std::optional<int> legendSeries;
    std::optional<QByteArray> bitmap;
    std::optional<QString> bitmapType;
    std::optional<PlmProportionalSettings> symbol;

    PlmDecorationObject() = default;
    // The new object of a kind: the kind's text, size, position and presentation unless given.
    PlmDecorationObject(const QString& id, PlmDecorationKind kind, const std::optional<QString>& text = std::nullopt,
                        const std::optional<PlmPoint>& position = std::nullopt);
    static PlmDecorationObject make(const QString& id, PlmDecorationKind kind,
                                    const std::optional<QString>& text = std::nullopt,
                                    const std::optional<PlmPoint>& position = std::nullopt);

    bool operator==(const PlmDecorationObject&) const = default;

    // Keys are the field names; absent optionals are left out.
    static PlmDecorationObject fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};
