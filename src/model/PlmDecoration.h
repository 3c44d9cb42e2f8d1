#pragma once

#include "model/PlmBackgroundImage.h"
#include "model/PlmDecorationObject.h"
#include "model/PlmDecorationViewport.h"
#include "model/PlmPoint.h"
#include "model/PlmPresentation.h"
#include "model/PlmPrintPage.h"
#include "model/PlmTransform.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <optional>

class PlmJsonValue;
class PlmJsonWriter;

// The whole layout of a work. A default-constructed value is the default layout.
struct PlmDecoration {
    std::optional<PlmBackgroundImage> backgroundImage;
    std::optional<PlmDecorationViewport> viewport;
    std::optional<PlmPrintPage> printPage;
    std::optional<bool> showEntityNames;
    std::optional<QString> entityNameFontName;
    std::optional<double> entityNameFontSize;
    std::optional<QMap<QString, PlmPoint>> entityNamePositions;
    // Width (x) and height (y) of the composition in points.
    std::optional<PlmPoint> compositionSize;
    std::optional<PlmTransform> mapTransform;
    QList<PlmDecorationObject> objects;
    PlmPresentation legend = defaultLegend();
    PlmPresentation secondLegend = defaultSecondLegend();

    bool operator==(const PlmDecoration&) const = default;

    // Keys are the field names; absent optionals are left out.
    static PlmDecoration fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;

    // Checks the layout and throws the first failure as PlmWorkError. The symbols of objects may
    // place symbols by hand only on the given entity ids (the map's top-level entities).
    void validate(const QSet<QString>& entityIDs) const;

    static PlmPresentation defaultLegend();
    static PlmPresentation defaultSecondLegend();
};
