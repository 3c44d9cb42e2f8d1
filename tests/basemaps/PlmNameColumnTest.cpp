#include "basemaps/PlmNameColumn.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

QList<PlmNameColumn::Row> table(const QStringList& fields, const QList<QStringList>& records)
{
    QList<PlmNameColumn::Row> rows;
    for (const QStringList& values : records) {
        PlmNameColumn::Row row;
        for (qsizetype k = 0; k < fields.size(); ++k)
            row.insert(fields.at(k), values.value(k));
        rows << row;
    }
    return rows;
}

} // namespace

// Files of zones without a name field of their own, as statistical offices and GIS programs
// write them: the column whose name says name, when its values can tell the zones apart.
TEST(PlmNameColumnTest, theColumnWhoseNameSaysNameAndWhoseTextsAreDistinct)
{
    const struct {
        const char* name;
        QList<PlmNameColumn::Row> rows;
        std::optional<QString> column;
    } cases[] = {
        {"a state's name beside its numbers", table({"STATE_FIPS", "STATE_ID", "STATE_NAME"}, {{"53", "1", "Washington"}, {"30", "2", "Montana"}, {"23", "3", "Maine"}}),
         QStringLiteral("STATE_NAME")},
        {"the world's long names", table({"continent", "iso_a2", "name_long", "pop"}, {{"Africa", "TZ", "Tanzania"}, {"Africa", "EH", "Western Sahara"}, {"Oceania", "FJ", "Fiji"}}),
         QStringLiteral("name_long")},
        {"regions beside their repeated country", table({"GID_0", "GID_1", "NAME_0", "NAME_1"}, {{"FRA", "FRA.1_1", "France", "Bretagne"}, {"FRA", "FRA.2_1", "France", "Corse"}, {"FRA", "FRA.3_1", "France", "Grand Est"}}),
         QStringLiteral("NAME_1")},
        {"a statistical region's name", table({"CNTR_CODE", "LEVL_CODE", "NUTS_ID", "NUTS_NAME"}, {{"FR", "2", "FRH0", "Bretagne"}, {"FR", "2", "FRM0", "Corse"}, {"FR", "2", "FRF1", "Alsace"}}),
         QStringLiteral("NUTS_NAME")},
        {"a word that ends in name", table({"AreaID", "AREANAME"}, {{"1310101", "Chiyoda"}, {"1310201", "Chuo"}, {"1310301", "Minato"}}),
         QStringLiteral("AREANAME")},
        {"a census name with its kind", table({"GEOID", "NAMELSAD"}, {{"06001", "Alameda Co"}, {"06003", "Alpine Co"}, {"06005", "Amador Co"}}),
         QStringLiteral("NAMELSAD")},
        {"a word that begins with nom", table({"INSEE_REG", "NOM_REG"}, {{"53", "Bretagne"}, {"94", "Corse"}, {"44", "Grand Est"}}),
         QStringLiteral("NOM_REG")},
        {"a NOMBRE column counts things", table({"NOMBRE", "POP"}, {{"12", "5"}, {"7", "6"}, {"9", "8"}}), std::nullopt},
        {"a word that only holds nom", table({"ECONOMIE", "POP"}, {{"agricole", "5"}, {"industrielle", "6"}, {"tertiaire", "8"}}), std::nullopt},
        {"one name repeated", table({"INSEE", "NOM_DEP"}, {{"01001", "Ain"}, {"01002", "Ain"}, {"02001", "Aisne"}}), std::nullopt},
        {"one name missing", table({"NUTS_ID", "NUTS_NAME"}, {{"FRH0", "Bretagne"}, {"FRM0", ""}, {"FRF1", "Alsace"}}), std::nullopt},
        {"no rows", {}, std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<QString> column = PlmNameColumn::find(c.rows);
        EXPECT_EQ(column, c.column) << c.name;
        if (!column)
            continue;
        QSet<QString> names;
        for (const PlmNameColumn::Row& row : c.rows)
            names.insert(row.value(*column));
        EXPECT_TRUE(names.size() == c.rows.size() && !names.contains(QString())) << c.name;
    }
}
