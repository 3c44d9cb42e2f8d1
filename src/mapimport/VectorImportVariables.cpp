// The data that comes with an imported base map: a Pelmora table kept as a source, or the
// attributes of a GeoJSON or Shapefile map.
#include "mapimport/VectorImportUI.h"

#include "tables/PlmInputReader.h"
#include "model/PlmEntity.h"

#include <QCollator>
#include <QLocale>
#include <QSet>
#include <algorithm>

namespace VectorImportUI {

bool hasValues(const QString& attribute, const PlmMap& map)
{
    if (attribute.startsWith(QLatin1String("legacy.")) || attribute.startsWith(QLatin1String("source.")))
        return false;
    const QString folded = attribute.toLower();
    if (folded == QLatin1String("id") || folded == QLatin1String("name") || folded == QLatin1String("nom"))
        return false;
    for (const PlmEntity& entity : map.entities) {
        const auto it = entity.attributes.constFind(attribute);
        if (it == entity.attributes.cend())
            continue;
        const QString& value = it.value();
        if (!value.isEmpty() && value != QLatin1String("null") && value != entity.id && value != entity.name)
            return true;
    }
    return false;
}

QList<PlmInputSheet> importableVariables(const PlmImportResult& result)
{
    const PlmMap& map = result.map;
    for (const PlmSource& source : map.sources.value_or(QList<PlmSource>())) {
        if (!source.name.toLower().endsWith(QLatin1String(".tab")))
            continue;
        try {
            return PlmInputReader::read(source.data, source.name);
        } catch (const std::exception&) {
        }
        break; // only the first table is tried
    }
    const QString format = map.metadata.value(QStringLiteral("source.format"));
    if (format != QLatin1String("GeoJSON") && format != QLatin1String("Shapefile"))
        return {};

    QStringList names;
    QSet<QString> seen;
    for (const PlmEntity& entity : map.entities)
        for (auto it = entity.attributes.cbegin(); it != entity.attributes.cend(); ++it)
            if (!seen.contains(it.key())) {
                seen.insert(it.key());
                if (hasValues(it.key(), map))
                    names << it.key();
            }
    if (names.isEmpty())
        return {};
    QCollator collator{QLocale(QLocale::French, QLocale::France)};
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });

    PlmInputSheet sheet;
    sheet.name = map.name;
    sheet.grid.reserve(map.entities.size() + 1);
    sheet.grid << (QStringList{QStringLiteral("Identifiant")} + names);
    for (const PlmEntity& entity : map.entities) {
        QStringList row{entity.id};
        for (const QString& name : names) {
            const QString value = entity.attributes.value(name);
            row << (value == QLatin1String("null") ? QString() : value);
        }
        sheet.grid << row;
    }
    sheet.warnings << QStringLiteral("Attributs présents dans le fond. Choisissez les colonnes à conserver comme données du document .plm.");
    return {sheet};
}

} // namespace VectorImportUI
