#include "tables/PlmMatch.h"
#include "tables/PlmInputReader.h"
#include "tables/PlmMatchImport.h"
#include "model/PlmErrors.h"
#include "model/PlmTextFolding.h"
#include "model/PlmWork.h"

#include "support/CountyTableFixture.h"
#include "support/UsStatesFixture.h"

#include <gtest/gtest.h>

#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

#include <random>

namespace {

PlmEntity area(const QString& id, const QString& name, const QMap<QString, QString>& attributes = {})
{
    PlmPolygon square{{{0, 0}, {1, 0}, {1, 1}, {0, 0}}, {}};
    return PlmEntity(id, name, PlmGeometry::polygon(square), PlmStyle(), attributes);
}

PlmEntity point(const QString& id, const QString& name, const QMap<QString, QString>& attributes = {})
{
    return PlmEntity(id, name, PlmGeometry::point({0, 0}), PlmStyle(), attributes);
}

PlmEntity line(const QString& id, const QString& name)
{
    return PlmEntity(id, name, PlmGeometry::polyline({{0, 0}, {1, 1}}), PlmStyle());
}

PlmMap mapOf(std::initializer_list<PlmEntity> entities)
{
    return PlmMap(QStringLiteral("Carte"), PlmEntityList(entities));
}

PlmInputTable tableOf(const QStringList& names, const QList<QStringList>& rows)
{
    QList<QStringList> grid = {names};
    grid.append(rows);
    return PlmInputTable(true, grid);
}

using Kind = PlmMatchRow::Kind;

QList<Kind> kinds(const QList<PlmMatchRow>& rows)
{
    QList<Kind> list;
    for (const PlmMatchRow& row : rows)
        list.append(row.kind);
    return list;
}

QString refusal(const std::function<void()>& action)
{
    try {
        action();
    } catch (const PlmWorkError& error) {
        return error.message();
    }
    return QStringLiteral("(no error)");
}

// Three communes as areas, their ids as keys, a population to import.
PlmMatch communes(const QList<QStringList>& rows)
{
    return PlmMatch(tableOf({"Code", "Nom", "Population"}, rows),
                    mapOf({area("75056", "Paris"), area("69123", "Lyon"), area("13055", "Marseille")}));
}

} // namespace

TEST(PlmMatchKeys, NormalisationFoldsCaseAndAccentsAndDropsEveryBlank)
{
    EXPECT_EQ(PlmMatch::normalizedKey("Île-de-France"), PlmMatch::normalizedKey("ILE-DE-FRANCE"));
    EXPECT_EQ(PlmMatch::normalizedKey("Saint Étienne"), PlmMatch::normalizedKey("SAINTETIENNE"));
    EXPECT_EQ(PlmMatch::normalizedKey(" Saint\u00A0\tÉtienne\n"), QStringLiteral("saintetienne"));
    EXPECT_NE(PlmMatch::normalizedKey("Saint-Étienne"), PlmMatch::normalizedKey("SAINT ETIENNE"));
    EXPECT_EQ(PlmMatch::normalizedKey("L’Haÿ-les-Roses"), QStringLiteral("l’hay-les-roses"));
    EXPECT_EQ(PlmMatch::normalizedKey("  \n "), QString());
}

TEST(PlmMatchKeys, ThePlainAsciiShortcutAgreesWithTheFullFolding)
{
    std::mt19937 random(7);
    const QString alphabet = QStringLiteral("aZ09 _-'\t\n\r\v\f.,;%()[]Mm");
    for (int i = 0; i < 2000; ++i) {
        QString text;
        for (int n = int(random() % 12); n > 0; --n)
            text.append(alphabet.at(int(random() % alphabet.size())));
        QString expected = PlmTextFolding::folded(text);
        expected.removeIf([](QChar c) { return PlmTextFolding::isWhiteSpace(c.unicode()); });
        ASSERT_EQ(PlmMatch::normalizedKey(text), expected) << text.toStdString();
    }
}

TEST(PlmMatchKeys, CodeLikeAttributeNamesAreKeyFields)
{
    for (const char* name : {"CODE_INSEE", "insee", "ISO_A3", "NUTS_ID", "adm0_a3", "GEOID", "Id", "dep_id", "Code Région"})
        EXPECT_TRUE(PlmMatch::isKeyAttributeName(QString::fromUtf8(name))) << name;
    for (const char* name : {"population", "nom", "identite", "idx", "surface"})
        EXPECT_FALSE(PlmMatch::isKeyAttributeName(QString::fromUtf8(name))) << name;

    const PlmMatch match(tableOf({"A"}, {{"x"}}),
                         mapOf({area("1", "Un", {{"CODE_INSEE", "01001"}, {"population", "12"}})}));
    QStringList fields;
    for (const PlmMatchCandidate& candidate : match.candidates())
        fields.append(candidate.field);
    EXPECT_EQ(fields, QStringList({"id", "attr:CODE_INSEE", "name"}));
}

// Besides the code-like names, an attribute whose values tell every zone apart is a key, after
// the names.
TEST(PlmMatchKeys, AttributesWhoseValuesTellTheZonesApartAreKeyFieldsToo)
{
    using Fields = QList<std::pair<QString, int>>; // field and priority, in the candidates' order
    const Fields plain = {{"id", 0}, {"name", 2}};
    const struct {
        const char* name;
        QList<PlmEntity> zones;
        Fields fields;
    } rows[] = {
        {"distinct values", {area("1", "Un", {{"AreaID", "1310101"}}), area("2", "Deux", {{"AreaID", "1310201"}})},
         {{"id", 0}, {"name", 2}, {"attr:AreaID", 3}}},
        {"after the code-like ones", {area("1", "Un", {{"STATE_ID", "1"}, {"FIPS", "53"}}), area("2", "Deux", {{"STATE_ID", "2"}, {"FIPS", "30"}})},
         {{"id", 0}, {"attr:STATE_ID", 1}, {"name", 2}, {"attr:FIPS", 3}}},
        {"a repeated value", {area("1", "Un", {{"REGION", "Pacific"}}), area("2", "Deux", {{"REGION", "Pacific"}})}, plain},
        {"values equal once folded", {area("1", "Un", {{"LIB", "Île"}}), area("2", "Deux", {{"LIB", "ILE"}})}, plain},
        {"a zone without the value", {area("1", "Un", {{"POP", "12"}}), area("2", "Deux", {{"POP", " "}})}, plain},
        {"a zone without the attribute", {area("1", "Un", {{"POP", "12"}}), area("2", "Deux")}, plain},
        {"the names again", {area("1", "Un", {{"NOM_REG", "Un"}}), area("2", "Deux", {{"NOM_REG", "Deux"}})}, plain},
        {"the ids again", {area("1", "Un", {{"FID", "1"}}), area("2", "Deux", {{"FID", "2"}})}, plain},
        {"the import's bookkeeping", {area("1", "Un", {{"source.id", "a"}, {"legacy.recordIndex", "0"}}),
                                      area("2", "Deux", {{"source.id", "b"}, {"legacy.recordIndex", "1"}})}, plain},
        {"one zone tells nothing apart", {area("1", "Un", {{"AreaID", "1310101"}})}, plain},
    };
    for (const auto& row : rows) {
        const PlmMatch match(tableOf({"A"}, {{"x"}}), PlmMap(QStringLiteral("Carte"), PlmEntityList(row.zones)));
        Fields fields;
        for (const PlmMatchCandidate& candidate : match.candidates())
            fields.append({candidate.field, candidate.priority});
        EXPECT_EQ(fields, row.fields) << row.name;
    }
}

TEST(PlmMatchKeys, FieldLabels)
{
    EXPECT_EQ(PlmMatch::fieldLabel("id"), QStringLiteral("Identifiant"));
    EXPECT_EQ(PlmMatch::fieldLabel("name"), QStringLiteral("Nom"));
    EXPECT_EQ(PlmMatch::fieldLabel("attr:CODE_INSEE"), QStringLiteral("CODE_INSEE"));
}

TEST(PlmMatchIndex, BlankKeysAreLeftOutAndAreasWinOverPointsExceptById)
{
    const PlmMap map = mapOf({point("p1", "Lyon"), area("a1", "Lyon"), point("p2", "Villeurbanne"),
                              point("p3", "Villeurbanne"), area("a2", "")});
    const PlmMatch::EntityIndex byName = PlmMatch::entityIndex(map.entities, "name");
    EXPECT_EQ(byName.value("lyon"), QStringList({"a1"}));
    EXPECT_EQ(byName.value("villeurbanne"), QStringList({"p2", "p3"}));
    EXPECT_FALSE(byName.contains(QString()));

    const PlmMap shared = mapOf({point("X", "a"), area("x", "b")});
    EXPECT_EQ(PlmMatch::entityIndex(shared.entities, "id").value("x"), QStringList({"X", "x"}));
}

TEST(PlmMatchCandidates, TheIdFieldOutranksAColumnRecognisingMoreRowsByName)
{
    const PlmMatch match(tableOf({"Nom", "Code"}, {{"Paris", "75056"}, {"Lyon", "xx"}, {"Marseille", "yy"}}),
                         mapOf({area("75056", "Paris"), area("69123", "Lyon"), area("13055", "Marseille")}));
    ASSERT_FALSE(match.candidates().isEmpty());
    const PlmMatchCandidate best = match.candidates().first();
    EXPECT_EQ(best.field, QStringLiteral("id"));
    EXPECT_EQ(best.column, 1);
    EXPECT_EQ(best.recognized, 1);
    EXPECT_EQ(best.priority, 0);
    const PlmMatchCandidate* byName = match.candidate(0, "name");
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(byName->recognized, 3);
    EXPECT_EQ(byName->priority, 2);
    // The rows the id misses are found through the name-like column.
    EXPECT_EQ(kinds(match.resolutions(best, {})), QList<Kind>({Kind::matched, Kind::matched, Kind::matched}));
    EXPECT_FALSE(match.tiedBestColumns());
}

// A code-like column whose numbers happen to be other zones' codes, two rows naming the same
// zone, must not win over the names that recognise every row once.
TEST(PlmMatchCandidates, AKeyNamingAZoneTwiceComesAfterACleanMatchByName)
{
    const PlmMatch match(tableOf({"NAME", "NWBIR79"}, {{"Ashe", "2"}, {"Alleghany", "2"}, {"Surry", "4"}, {"Currituck", "57"}}),
                         mapOf({area("a1", "Ashe", {{"CRESS_ID", "1"}}), area("a2", "Alleghany", {{"CRESS_ID", "2"}}),
                                area("a3", "Surry", {{"CRESS_ID", "3"}}), area("a4", "Currituck", {{"CRESS_ID", "4"}})}));
    const PlmMatchCandidate* coincidence = match.candidate(1, "attr:CRESS_ID");
    ASSERT_NE(coincidence, nullptr);
    EXPECT_EQ(coincidence->recognized, 1);
    EXPECT_TRUE(coincidence->claimsTwice);
    const PlmMatchCandidate best = match.candidates().first();
    EXPECT_EQ(best.field, QStringLiteral("name"));
    EXPECT_EQ(best.column, 0);
    EXPECT_EQ(best.recognized, 4);
    EXPECT_FALSE(best.claimsTwice);
    EXPECT_EQ(kinds(match.resolutions(best, {})), QList<Kind>(4, Kind::matched));
}

// What an entity holds in a key field.
QString valueOf(const PlmEntity& entity, const QString& field)
{
    if (field == QLatin1String("id"))
        return entity.id;
    if (field == QLatin1String("name"))
        return entity.name;
    return entity.attributes.value(field.mid(int(qstrlen("attr:"))));
}

// A key that settles every row once comes before one that leaves rows unsettled, whatever
// their fields, and each row then goes to the zone its cell names: the counties' perimeters,
// two of them round numbers equal to CRESS_IDs; a code column with one code no zone has, beside
// labels that settle every row (no name-like column to fall back on, so the codes alone leave
// the third row unsettled); incomes by state, whose FIPS numbers are 41 times some other
// state's STATE_ID, by the states' names, or by STATE_NAME where the zones are named after
// their record numbers.
TEST(PlmMatchCandidates, AKeyThatSettlesEveryRowOnceComesFirst)
{
    const PlmInputSheet counties = PlmInputReader::readTextSheet(CountyTableFixture::countyCsv(), QStringLiteral("comtes.csv"));
    const PlmInputTable incomes(true, PlmInputReader::readTextSheet(UsStatesFixture::incomeCsv(), QStringLiteral("revenus.csv")).grid);
    PlmMap numbered = UsStatesFixture::map();
    for (qsizetype i = 0; i < numbered.entities.size(); ++i)
        numbered.entities.edit(i).name = numbered.entities.at(i).id;
    const struct {
        const char* name;
        PlmInputTable table;
        PlmMap map;
        std::pair<int, QString> best;
    } rows[] = {
        {"counties by name, not by perimeter", PlmInputTable(true, counties.grid), CountyTableFixture::countyMap(),
         {2, QStringLiteral("name")}},
        {"labels, not a code missing one zone", tableOf({"Libellé", "Code"}, {{"Ain", "1"}, {"Aisne", "2"}, {"Allier", "9"}}),
         mapOf({area("a1", "Ain", {{"CODE", "1"}}), area("a2", "Aisne", {{"CODE", "2"}}), area("a3", "Allier", {{"CODE", "3"}})}),
         {0, QStringLiteral("name")}},
        {"states by name, not by FIPS against STATE_ID", incomes, UsStatesFixture::map(), {0, QStringLiteral("name")}},
        {"states named by number, by STATE_NAME", incomes, numbered, {0, QStringLiteral("attr:STATE_NAME")}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const PlmMatch match(row.table, row.map);
        const PlmMatchCandidate best = match.candidates().first();
        ASSERT_EQ(std::pair(best.column, best.field), row.best);
        QList<PlmMatchRow> expected;
        for (const QStringList& cells : row.table.rows) {
            QStringList named;
            for (const PlmEntity& entity : row.map.entities)
                if (PlmMatch::normalizedKey(valueOf(entity, best.field)) == PlmMatch::normalizedKey(cells.at(best.column)))
                    named << entity.id;
            ASSERT_EQ(named.size(), 1) << cells.at(best.column).toStdString();
            expected.append(PlmMatchRow::matched(named.first()));
        }
        EXPECT_EQ(match.resolutions(best, {}), expected);
        EXPECT_FALSE(match.tiedBestColumns());
    }
    // The states' trap: FIPS read as STATE_IDs recognise most rows.
    const PlmMatch states(incomes, UsStatesFixture::map());
    const PlmMatchCandidate* fipsAsIds = states.candidate(1, "attr:STATE_ID");
    ASSERT_NE(fipsAsIds, nullptr);
    EXPECT_EQ(fipsAsIds->recognized, 41);
}

// A column of measures is no key even where its numbers settle every row.
TEST(PlmMatchCandidates, AColumnOfDecimalsIsNeverTheProposedKey)
{
    const PlmMatch match(tableOf({"Nom", "Surface"}, {{"Ashe", "1 202,5"}, {"Surry", "0.75"}, {"Raleigh", "3"}}),
                         mapOf({area("a1", "Ashe", {{"CRESS_ID", "1"}}), area("a2", "Surry", {{"CRESS_ID", "2"}}),
                                area("a3", "Wake", {{"CRESS_ID", "3"}})}));
    const PlmMatchCandidate best = match.candidates().first();
    EXPECT_EQ(std::pair(best.column, best.field), std::pair(0, QStringLiteral("name")));
    EXPECT_EQ(kinds(match.resolutions(best, {})), QList<Kind>({Kind::matched, Kind::matched, Kind::missing}));
}

TEST(PlmMatchCandidates, CandidatesRecognisingNothingComeLastAndNoneMeansNoTie)
{
    const PlmMatch match(tableOf({"A", "B"}, {{"?", "!"}}), mapOf({area("1", "Un")}));
    ASSERT_EQ(match.candidates().size(), 4);
    for (const PlmMatchCandidate& candidate : match.candidates())
        EXPECT_EQ(candidate.recognized, 0);
    EXPECT_EQ(match.candidates().first().field, QStringLiteral("id"));
    EXPECT_FALSE(match.tiedBestColumns());

    const PlmMatch empty(PlmInputTable(), mapOf({area("1", "Un")}));
    EXPECT_TRUE(empty.candidates().isEmpty());
    EXPECT_FALSE(empty.tiedBestColumns());
}

TEST(PlmMatchCandidates, EqualColumnsWithDifferentResultsAreTied)
{
    // Two code columns each recognise two rows, but not the same entities.
    const PlmMap map = mapOf({area("1", "Un"), area("2", "Deux"), area("3", "Trois")});
    const PlmMatch tied(tableOf({"Code", "Ancien code"}, {{"1", "2"}, {"2", "3"}}), map);
    EXPECT_TRUE(tied.tiedBestColumns());
    // The same results in both columns are no tie.
    const PlmMatch same(tableOf({"Code", "Copie"}, {{"1", "1"}, {"2", "2"}}), map);
    EXPECT_FALSE(same.tiedBestColumns());
}

TEST(PlmMatchResolutions, TwoRowsWithTheSameKeyAreDuplicatesUntilOneIsIgnored)
{
    const PlmMatch match = communes({{"75056", "Paris", "1"}, {"75056", "Paris", "2"}, {"69123", "Lyon", "3"}});
    const PlmMatchCandidate best = match.candidates().first();
    EXPECT_EQ(best.recognized, 1); // neither row of the pair counts
    const QList<PlmMatchRow> rows = match.resolutions(best, {});
    EXPECT_EQ(rows.at(0), PlmMatchRow::duplicate("75056"));
    EXPECT_EQ(rows.at(1), PlmMatchRow::duplicate("75056"));
    EXPECT_EQ(rows.at(2), PlmMatchRow::matched("69123"));
    EXPECT_EQ(refusal([&] { match.importedVariables(best, {}, {{2, PlmVariableType::number}}, {}); }),
              QStringLiteral("Corrigez ou ignorez explicitement les lignes non reconnues et les ambiguïtés."));

    const PlmMatchCorrections ignoreSecond = {{1, PlmMatchResolution::ignored()}};
    EXPECT_EQ(kinds(match.resolutions(best, ignoreSecond)), QList<Kind>({Kind::matched, Kind::ignored, Kind::matched}));
    // A correction pointing at an entity that another row already has makes both duplicates.
    const PlmMatchCorrections clash = {{1, PlmMatchResolution::entity("69123")}};
    EXPECT_EQ(kinds(match.resolutions(best, clash)),
              QList<Kind>({Kind::matched, Kind::duplicate, Kind::duplicate}));
}

TEST(PlmMatchResolutions, AnAreaWinsOverAPointOfTheSameNameByNameAndByAttributeButNotById)
{
    const PlmMap map = mapOf({point("P", "Annecy", {{"code", "74010"}}), area("A", "Annecy", {{"code", "74010"}}),
                              point("a", "Autre")});
    const PlmMatch byName(tableOf({"Commune"}, {{"ANNECY"}}), map);
    ASSERT_NE(byName.candidate(0, "name"), nullptr);
    EXPECT_EQ(byName.resolutions(*byName.candidate(0, "name"), {}).first(), PlmMatchRow::matched("A"));
    const PlmMatch byCode(tableOf({"Code"}, {{"74010"}}), map);
    EXPECT_EQ(byCode.resolutions(*byCode.candidate(0, "attr:code"), {}).first(), PlmMatchRow::matched("A"));
    // Ids differing only by case share one key; neither is preferred, the row is ambiguous.
    const PlmMatch byID(tableOf({"Id"}, {{"a"}}), map);
    EXPECT_EQ(byID.resolutions(*byID.candidate(0, "id"), {}).first(), PlmMatchRow::ambiguous({"A", "a"}));
}

TEST(PlmMatchResolutions, TheNameFallbackFindsOneEntityOrReportsEveryCandidateSorted)
{
    const PlmMap map = mapOf({area("z9", "Tours"), area("b2", "Blois"), area("a1", "Orléans")});
    const PlmMatch match(tableOf({"Code", "Commune", "Nom_usuel"},
                                 {{"nope", "Tours", ""}, {"nope", "Tours", "Blois"}, {"nope", "orleans", "Orléans"}}),
                         map);
    const QList<PlmMatchRow> rows = match.resolutions(*match.candidate(0, "id"), {});
    EXPECT_EQ(rows.at(0), PlmMatchRow::matched("z9"));
    EXPECT_EQ(rows.at(1), PlmMatchRow::ambiguous({"b2", "z9"}));
    EXPECT_EQ(rows.at(2), PlmMatchRow::matched("a1")); // the same entity twice is one
    // No fallback for the name field itself, nor in the recognised count.
    EXPECT_EQ(match.candidate(0, "id")->recognized, 0);
    EXPECT_EQ(match.resolutions(*match.candidate(0, "name"), {}).first(), PlmMatchRow::missing());
}

TEST(PlmMatchResolutions, CorrectionsToUnknownIdsLeaveTheRowMissing)
{
    const PlmMatch match = communes({{"75056", "Paris", "1"}, {"?", "?", "2"}});
    const PlmMatchCandidate best = match.candidates().first();
    EXPECT_EQ(match.resolutions(best, {{1, PlmMatchResolution::entity("13055")}}).at(1),
              PlmMatchRow::matched("13055"));
    EXPECT_EQ(match.resolutions(best, {{1, PlmMatchResolution::entity("gone")}}).at(1), PlmMatchRow::missing());
    EXPECT_TRUE(PlmMatchRow::missing().needsAttention());
    EXPECT_FALSE(PlmMatchRow::ignored().needsAttention());
    // Corrections of rows outside the table are ignored.
    EXPECT_EQ(match.resolutions(best, {{7, PlmMatchResolution::ignored()}}).size(), 2);
}

TEST(PlmMatchBatch, SettlesRowsByGeometryKindWithoutFallback)
{
    const PlmMap map = mapOf({area("S1", "Nantes"), point("P1", "Nantes"), area("S2", "Rennes"), point("P2", "Rennes"),
                              line("L1", "Loire"), point("P3", "Brest"), point("P4", "Brest")});
    const PlmMatch match(tableOf({"Nom"}, {{"Nantes"}, {"Rennes"}, {"Loire"}, {"Brest"}, {"Vannes"}}), map);
    const PlmMatchCandidate byName = *match.candidate(0, "name");
    const PlmMatchCorrections points = match.batchCorrections({0, 1, 2, 3, 4, 99, -1}, byName, "point");
    EXPECT_EQ(points, (PlmMatchCorrections{{0, PlmMatchResolution::entity("P1")}, {1, PlmMatchResolution::entity("P2")}}));
    EXPECT_EQ(match.batchCorrections({0, 2}, byName, "surface"),
              (PlmMatchCorrections{{0, PlmMatchResolution::entity("S1")}}));
    EXPECT_EQ(match.batchCorrections({0, 2}, byName, "line"), (PlmMatchCorrections{{2, PlmMatchResolution::entity("L1")}}));
    EXPECT_TRUE(match.batchCorrections({0, 1}, byName, "cercle").isEmpty());
}

TEST(PlmMatchImportChecks, EachRefusalInOrder)
{
    const PlmMatch match = communes({{"75056", "Paris", "2 165 423"}, {"69123", "Lyon", "abc"}});
    const PlmMatchCandidate best = match.candidates().first();
    EXPECT_EQ(refusal([&] { match.importedVariables(best, {}, {}, {}); }),
              QStringLiteral("Choisissez au moins une colonne à importer."));
    EXPECT_EQ(refusal([&] { match.importedVariables(best, {}, {{3, PlmVariableType::number}}, {}); }),
              QStringLiteral("Choisissez au moins une colonne à importer."));
    EXPECT_EQ(refusal([&] { match.importedVariables(best, {}, {{-1, PlmVariableType::number}}, {}); }),
              QStringLiteral("Choisissez au moins une colonne à importer."));
    const PlmMatchCorrections all = {{0, PlmMatchResolution::ignored()}, {1, PlmMatchResolution::ignored()}};
    EXPECT_EQ(refusal([&] { match.importedVariables(best, all, {{2, PlmVariableType::number}}, {}); }),
              QStringLiteral("Aucune zone reconnue."));
    const QString parse = refusal([&] { match.importedVariables(best, {}, {{2, PlmVariableType::number}}, {}); });
    EXPECT_EQ(parse, QStringLiteral("Ligne 2, Population : Nombre attendu : utilisez par exemple 1234,5. "
                                    "Une cellule vide signifie une donnée absente."));

    const PlmMatch noRows = communes({});
    EXPECT_EQ(refusal([&] {
                  noRows.importedVariables(noRows.candidates().first(), {}, {{2, PlmVariableType::number}}, {});
              }),
              QStringLiteral("Aucune zone reconnue."));
}

TEST(PlmMatchImportChecks, VariablesGetUniqueNamesTypedValuesAndNoValueForEmptyCells)
{
    const PlmMatch match(PlmInputTable(true, {{"Code", "Population", "", " Population "},
                                              {"75056", "2 165 423", "x", "12,5 %"},
                                              {"69123", "", "y", "3 %"},
                                              {"13055", "870 018", "z", ""}}),
                         mapOf({area("75056", "Paris"), area("69123", "Lyon"), area("13055", "Marseille")}));
    const PlmMatchCandidate best = match.candidates().first();
    const QList<PlmVariable> existing = {PlmVariable("v1", "colonne 3", PlmVariableType::text, {}, std::nullopt),
                                         PlmVariable("v2", "Popu lation", PlmVariableType::number, {}, std::nullopt)};
    const QList<PlmVariable> made = match.importedVariables(
        best, {{2, PlmMatchResolution::ignored()}},
        {{3, PlmVariableType::percentage}, {1, PlmVariableType::number}, {2, PlmVariableType::text}}, existing);
    ASSERT_EQ(made.size(), 3);
    EXPECT_EQ(made.at(0).name, QStringLiteral("Population (2)"));
    EXPECT_EQ(made.at(1).name, QStringLiteral("Colonne 3 (2)"));
    EXPECT_EQ(made.at(2).name, QStringLiteral("Population (3)"));
    EXPECT_EQ(made.at(0).type, PlmVariableType::number);
    EXPECT_EQ(made.at(0).values, (QMap<QString, PlmValue>{{"75056", PlmValue::number(2165423)}}));
    EXPECT_EQ(made.at(1).values, (QMap<QString, PlmValue>{{"75056", PlmValue::text("x")}, {"69123", PlmValue::text("y")}}));
    EXPECT_EQ(made.at(2).values, (QMap<QString, PlmValue>{{"75056", PlmValue::percentage(12.5)}, {"69123", PlmValue::percentage(3)}}));
    EXPECT_FALSE(made.at(0).id.isEmpty());
    EXPECT_NE(made.at(0).id, made.at(1).id);
    EXPECT_FALSE(made.at(0).isCalculated());
}

TEST(PlmMatchImportChecks, AColumnNamedLikeAPercentSignPatternKeepsItsName)
{
    const PlmMatch match(tableOf({"Code", "Taux %2"}, {{"1", "3"}}), mapOf({area("1", "Un")}));
    QSet<QString> used = {PlmMatch::normalizedKey("taux %2")};
    const PlmVariable made = match.makeVariable(1, used, {{1, PlmVariableType::number}},
                                                match.resolutions(match.candidates().first(), {}));
    EXPECT_EQ(made.name, QStringLiteral("Taux %2 (2)"));
    EXPECT_TRUE(used.contains(PlmMatch::normalizedKey("Taux %2 (2)")));
}

TEST(PlmMatchImportWork, NewColumnsAreAppendedAndExistingFormulasKeepTheirMeaning)
{
    PlmWork work;
    work.map = mapOf({area("1", "Un"), area("2", "Deux")});
    work.variables = {PlmVariable("A", "Actifs", PlmVariableType::number,
                                  {{"1", PlmValue::number(5)}, {"2", PlmValue::number(10)}}, std::nullopt),
                      PlmVariable("C", "Part", PlmVariableType::number, {},
                                  PlmCalculation{QStringLiteral("[Actifs] * 100"), 1})};
    work.recomputeCalculatedVariables();
    const PlmVariableValues before = work.variables.at(1).values;
    const PlmMatch match(tableOf({"Code", "100"}, {{"1", "7"}, {"2", "8"}}), work.map);
    PlmMatchImport::appendImportedVariables(work, match, match.candidates().first(), {},
                                            {{1, PlmVariableType::number}});
    ASSERT_EQ(work.variables.size(), 3);
    EXPECT_EQ(work.variables.at(2).name, QStringLiteral("100"));
    work.validate();
    work.recomputeCalculatedVariables();
    EXPECT_EQ(work.variables.at(1).values, before); // still times the number 100
    EXPECT_EQ(work.variables.at(0).name, QStringLiteral("Actifs"));
}

TEST(PlmMatchImportWork, AMapChangedSinceTheMatchIsMatchedAgainAndARefusalChangesNothing)
{
    PlmWork work;
    work.map = mapOf({area("1", "Un"), area("2", "Deux")});
    const PlmMatch match(tableOf({"Code", "N"}, {{"1", "7"}, {"2", "8"}}), work.map);
    work.map = mapOf({area("1", "Un")}); // entity 2 deleted meanwhile
    const PlmWork kept = work;
    EXPECT_EQ(refusal([&] {
                  PlmMatchImport::appendImportedVariables(work, match, match.candidates().first(), {},
                                                          {{1, PlmVariableType::number}});
              }),
              QStringLiteral("Corrigez ou ignorez explicitement les lignes non reconnues et les ambiguïtés."));
    EXPECT_EQ(work, kept);
    PlmMatchImport::appendImportedVariables(work, match, match.candidates().first(),
                                            {{1, PlmMatchResolution::ignored()}}, {{1, PlmVariableType::number}});
    EXPECT_EQ(work.variables.first().values, (QMap<QString, PlmValue>{{"1", PlmValue::number(7)}}));
}

TEST(PlmMatchLarge, AShuffledTableOfThousandsOfRowsMatchesEveryRowOnce)
{
    // Large enough to normalise on several threads; the outcome must not depend on it.
    PlmEntityList entities;
    QList<QStringList> grid = {{"Nom", "Code", "Valeur"}};
    for (int i = 0; i < 6000; ++i) {
        const QString id = QStringLiteral("E%1").arg(i);
        entities.append(area(id, QStringLiteral("Zone n° %1").arg(i), {{"code_insee", QString::number(90000 + i)}}));
        grid.append({QStringLiteral("ZONE N° %1").arg(i), QString::number(90000 + i), QString::number(i)});
    }
    std::shuffle(grid.begin() + 1, grid.end(), std::mt19937(3));
    const PlmMatch match(PlmInputTable(true, grid), PlmMap("Carte", entities));
    const PlmMatchCandidate best = match.candidates().first();
    EXPECT_EQ(best.field, QStringLiteral("attr:code_insee"));
    EXPECT_EQ(best.column, 1);
    EXPECT_EQ(best.recognized, 6000);
    ASSERT_NE(match.candidate(0, "name"), nullptr);
    EXPECT_EQ(match.candidate(0, "name")->recognized, 6000);
    EXPECT_FALSE(match.tiedBestColumns());
    const QList<PlmMatchRow> rows = match.resolutions(best, {});
    for (qsizetype row = 0; row < rows.size(); ++row) {
        ASSERT_EQ(rows.at(row).kind, Kind::matched);
        ASSERT_EQ(rows.at(row).entityID, QStringLiteral("E") + grid.at(row + 1).at(2));
    }
    const QList<PlmVariable> made = match.importedVariables(best, {}, {{2, PlmVariableType::number}}, {});
    EXPECT_EQ(made.first().values.size(), 6000);
    EXPECT_EQ(made.first().values.value("E4321"), PlmValue::number(4321));
}
