#pragma once

#include "basemaps/PlmImportResult.h"
#include "model/PlmEntity.h"
#include "model/PlmGeometry.h"
#include "model/PlmSource.h"
#include "model/PlmStyle.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <optional>
#include <vector>

// The working state of one vector import, owned by one reader: every entity goes through
// addEntity(), which keeps the ids unique and counts what had to be renamed.
class PlmImportBuilder {
public:
    PlmImportBuilder(const QString& name, const QString& format);

    QString name;
    QList<PlmEntity> entities;
    QMap<QString, QString> metadata; // starts with "source.format"
    std::optional<QList<PlmSource>> sources;
    QMap<QString, int> unconverted;
    QSet<QString> usedIDs;

    // Appends one entity. An absent or empty id becomes "import:" + position; a taken id gets
    // ":2", ":3"… and keeps the id asked for in the attribute "source.id". The name defaults
    // to the id asked for.
    void addEntity(const PlmGeometry& geometry, const std::optional<QString>& id,
                   const std::optional<QString>& entityName, const PlmStyle& style,
                   const QMap<QString, QString>& attributes);

    // Counts one more element of this kind left unconverted.
    void note(const QString& kind) { ++unconverted[kind]; }

    void addSource(const QString& sourceName, const QByteArray& data);

    // The finished reader's result (not a native document).
    PlmImportResult result() const;

    // Outlines of a map in degrees: a written width such as 0.008° is a thirtieth of a pixel
    // once the world is fitted in a window. The width follows the map's extent instead, so that
    // it draws at about one pixel at the fitted view, and never thinner than `writtenDefault`.
    static double degreeOutlineWidth(double extentWidth, double extentHeight, double writtenDefault);
    // The entities from `first` on were given a width their file asked for: the outlines widened
    // or fitted below leave them as they are. A width the reader ignored is not one.
    void keepWrittenWidths(qsizetype first);
    // Gives that width to every entity drawn at `writtenDefault` whose file did not ask for a
    // width of its own.
    void widenDegreeOutlines(double writtenDefault);
    // Outlines of a file that says nothing of its units (a Shapefile, whose .prj is often
    // missing): the width that draws at about one pixel at the fitted view, whatever the
    // coordinates, in place of `writtenDefault`, for the same entities as above. A map without
    // an extent (one point) keeps `writtenDefault`.
    void fitOutlinesToExtent(double writtenDefault);

private:
    // Gives `width` to every entity drawn at `writtenDefault` that did not ask for a width.
    void replaceOutlineWidth(double writtenDefault, double width);
    // By position in `entities`: whether its file gave it a width (false past the end).
    std::vector<bool> writtenWidths_;
    // The next suffix to try for an id already taken, so that many duplicates of one id stay
    // linear rather than quadratic.
    QHash<QString, int> nextSuffix_;
};
