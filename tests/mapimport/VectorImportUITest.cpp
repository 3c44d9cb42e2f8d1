#include "mapimport/VectorImportUI.h"
#include "basemaps/PlmVectorImporter.h"
#include "model/PlmMapCodec.h"
#include "desktop/DialogHooks.h"
#include "desktop/Document.h"
#include "desktop/DocumentController.h"
#include "platform/DocumentType.h"
#include "tables/PlmInputReader.h"
#include "tables/PlmInputTable.h"
#include "tables/PlmMatch.h"
#include "support/CensusTractsFixture.h"
#include "support/TestFiles.h"
#include "support/ShapefileTestWriter.h"
#include "support/TableReaderTestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// What a base-map document was asked to open in the studio.
struct Opened {
    PlmMap map;
    QString filePath;
    QList<PlmInputSheet> sheets; // the data tables whose import dialog it would open
    QString source;              // the imported file, the work's source only
};

// A base-map document that decodes what it is given and, asked for its windows, records the
// map it would move into the studio and closes itself, as the real one does.
class MapDocument : public Document {
    Q_OBJECT
public:
    static inline QList<Opened> opened;
    QByteArray bytes;
    PlmMap map;
    QList<PlmInputSheet> sheets;
    QString source;
    Q_INVOKABLE void setImportedSheets(const QList<PlmInputSheet>& tables) { sheets = tables; }
    Q_INVOKABLE void setImportSource(const QString& path) { source = path; }
    QByteArray dataOfType(const QString&) const override { return bytes; }
    void readFromData(const QByteArray& data, const QString&) override
    {
        if (!data.startsWith('{'))
            throw std::runtime_error("Ce fichier n’est pas un fond .plmmap.");
        bytes = data;
        try {
            map = PlmMapCodec::decode(data);
        } catch (const std::exception&) {
        }
    }
    void makeWindowControllers() override
    {
        opened << Opened{map, filePath(), sheets, source};
        close();
    }
};

namespace {

class VectorImportUITest : public ::testing::Test {
protected:
    VectorImportUITest()
    {
        MapDocument::opened.clear();
        DocumentTypes::registerType({type, QStringLiteral("Fond"), {QStringLiteral("plmmap")},
                                     [] { return new MapDocument; }});
        DialogHooks::Hooks h;
        h.alert = [this](const DialogHooks::Alert& a) {
            alerts << a.message + QStringLiteral(" / ") + a.informativeText;
            buttons = a.buttons;
            return answer;
        };
        h.presentError = [this](const QString& m, QWidget*) { errors << m; };
        h.openPanel = [this](const DialogHooks::OpenPanelRequest& r) {
            panels << r;
            return chosen;
        };
        hooks = std::make_unique<DialogHooks::ScopedHooks>(h);
    }
    ~VectorImportUITest() override { DocumentTypes::unregisterType(type); }

    QString write(const QString& name, const QByteArray& bytes)
    {
        writeBytes(dir.filePath(name), bytes);
        return dir.filePath(name);
    }

    // Imports and waits for the background read and the main-thread step after it.
    void importAndWait(const QString& path)
    {
        bool done = false;
        VectorImportUI::importFile(path, &documents, [&done] { done = true; });
        const QDeadlineTimer deadline(10000);
        while (!done && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_TRUE(done);
        QCoreApplication::processEvents();
    }

    const QString type = QStringLiteral("ondrel.pelmorastudio.plmmap");
    QTemporaryDir dir;
    QStringList alerts, errors, buttons;
    int answer = 0;
    QList<DialogHooks::OpenPanelRequest> panels;
    std::optional<QStringList> chosen;
    std::unique_ptr<DialogHooks::ScopedHooks> hooks;
    DocumentController documents;
};

const QByteArray communes = R"({"type":"FeatureCollection","features":[
    {"type":"Feature","id":"69123","properties":{"nom":"Lyon","pop":"522969"},"geometry":{"type":"Point","coordinates":[4.83,45.76]}},
    {"type":"Feature","properties":{"nom":"Nulle part"},"geometry":null}]})";

} // namespace

TEST_F(VectorImportUITest, openPanelTakesAnyFileButNoFolder)
{
    DialogHooks::OpenPanelRequest panel;
    panel.extensions = {QStringLiteral("svg")};
    panel.canChooseDirectories = true;
    VectorImportUI::configureOpenPanel(panel);
    EXPECT_EQ(panel.title, QStringLiteral("Importer un fond"));
    EXPECT_EQ(panel.message, QStringLiteral("Pelmora historique, .plmmap, EPS/PostScript, GeoJSON, Shapefile ou SVG. "
                                            "Les originaux restent intacts."));
    EXPECT_TRUE(panel.extensions.isEmpty());
    // The usual base-map files are offered first (any file stays choosable).
    ASSERT_EQ(panel.filters.size(), 1);
    EXPECT_EQ(panel.filters.first().description, QStringLiteral("Fonds de carte"));
    EXPECT_EQ(panel.filters.first().extensions,
              (QStringList{"plmmap", "geojson", "json", "shp", "svg", "eps", "ps", "ai", "num"}));
    EXPECT_EQ(panel.folderKey, QStringLiteral("OpenPanel.BaseMaps.Folder"));
    EXPECT_FALSE(panel.canChooseDirectories);
    EXPECT_TRUE(panel.canChooseFiles);
}

// A ".plmmap" document is imported like any other file: checked by its content, offered
// through the choice, and opened as an untitled map whose source is the file.
TEST_F(VectorImportUITest, baseMapDocumentsAreImportedThroughTheChoiceNeverAsTheirFile)
{
    PlmMap europe;
    europe.name = QStringLiteral("Europe");
    europe.entities.append(PlmEntity(QStringLiteral("fr"), QStringLiteral("France"), PlmGeometry::point({2, 46}), PlmStyle()));
    europe.metadata.insert(QStringLiteral("studio.authored"), QStringLiteral("true"));
    const QString map = write(QStringLiteral("Europe.PlmMap"), PlmMapCodec::encode(europe));
    importAndWait(map);
    EXPECT_EQ(alerts, QStringList{QStringLiteral("Fond trouvé — Europe / 1 entité importée · 0 élément non converti")});
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("Importer le fond"), QStringLiteral("Annuler")}));
    ASSERT_EQ(MapDocument::opened.size(), 1);
    EXPECT_EQ(MapDocument::opened.first().map, europe);
    EXPECT_TRUE(MapDocument::opened.first().filePath.isEmpty());
    EXPECT_EQ(MapDocument::opened.first().source, map);

    importAndWait(write(QStringLiteral("abîmé.plmmap"), "rien"));
    EXPECT_EQ(errors, QStringList{QStringLiteral("Format vectoriel non reconnu : abîmé.plmmap.")});
    EXPECT_EQ(MapDocument::opened.size(), 1);
}

TEST_F(VectorImportUITest, aGeoJsonFileOpensInTheStudioAfterTheChoice)
{
    const QString path = write(QStringLiteral("communes.geojson"), communes);
    answer = 1; // the base map alone
    importAndWait(path);
    EXPECT_EQ(alerts, QStringList{QStringLiteral("Fond trouvé — communes / 1 entité importée · 1 élément non converti\n"
                                                 "1 × géométrie nulle\nSources originales conservées dans le document.\n\n"
                                                 "1 variable disponible. Les correspondances seront présentées avant validation. "
                                                 "Les données appartiennent au document de travail, jamais au fond de la bibliothèque.")});
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("Importer le fond et ses données"),
                                    QStringLiteral("Importer le fond seul"), QStringLiteral("Annuler")}));
    EXPECT_TRUE(errors.isEmpty());
    ASSERT_EQ(MapDocument::opened.size(), 1);
    EXPECT_TRUE(MapDocument::opened.first().sheets.isEmpty()); // no data import dialog
    // The map handed to the studio is the importer's, and the document names the file.
    EXPECT_EQ(MapDocument::opened.first().map, PlmVectorImporter::importMap(path).map);
    EXPECT_TRUE(MapDocument::opened.first().filePath.isEmpty());
    EXPECT_EQ(MapDocument::opened.first().source, path);
    EXPECT_EQ(MapDocument::opened.first().map.metadata.value(QStringLiteral("import.unconverted")),
              QStringLiteral("géométrie nulle: 1"));
}

TEST_F(VectorImportUITest, theBaseMapWithItsDataHandsTheAttributeTableToTheStudio)
{
    const QString path = write(QStringLiteral("communes.geojson"), R"({"type":"FeatureCollection","features":[
        {"type":"Feature","id":"69123","properties":{"nom":"Lyon","pop":"522969","dep":"69"},"geometry":{"type":"Point","coordinates":[4.83,45.76]}},
        {"type":"Feature","id":"38544","properties":{"nom":"Vienne","pop":"null","dep":"38"},"geometry":{"type":"Point","coordinates":[4.87,45.52]}}]})");
    answer = 0;
    importAndWait(path);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().endsWith(QStringLiteral("\n\n2 variables disponibles. Les correspondances seront présentées avant "
                                                       "validation. Les données appartiennent au document de travail, jamais au "
                                                       "fond de la bibliothèque.")));
    ASSERT_EQ(MapDocument::opened.size(), 1);
    const QList<PlmInputSheet>& sheets = MapDocument::opened.first().sheets;
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(sheets.first().name, QStringLiteral("communes"));
    const QStringList ids = {MapDocument::opened.first().map.entities.at(0).id, MapDocument::opened.first().map.entities.at(1).id};
    EXPECT_EQ(sheets.first().grid, (QList<QStringList>{
                                       {QStringLiteral("Identifiant"), QStringLiteral("dep"), QStringLiteral("pop")},
                                       {ids.at(0), QStringLiteral("69"), QStringLiteral("522969")},
                                       {ids.at(1), QStringLiteral("38"), QString()}}));
}

TEST_F(VectorImportUITest, aMapWithoutDataOffersTheBaseMapAlone)
{
    answer = 0;
    importAndWait(write(QStringLiteral("noms.geojson"), R"({"type":"FeatureCollection","features":[
        {"type":"Feature","id":"a","properties":{"name":"Lyon","id":"a"},"geometry":{"type":"Point","coordinates":[4.83,45.76]}}]})"));
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("Importer le fond"), QStringLiteral("Annuler")}));
    ASSERT_EQ(MapDocument::opened.size(), 1);
    EXPECT_TRUE(MapDocument::opened.first().sheets.isEmpty());
}

TEST_F(VectorImportUITest, aShapefileWithItsTableOpensInTheStudio)
{
    ShapefileTestWriter::Shp shp;
    shp.addParts(5, {ShapefileTestWriter::square(0, 0, 1)});
    ShapefileTestWriter::Dbf dbf;
    dbf.fields = {{"NOM", 10}};
    dbf.rows = {{{"Corse"}}};
    write(QStringLiteral("Iles.dbf"), dbf.bytes());
    importAndWait(write(QStringLiteral("Iles.shp"), shp.bytes()));
    ASSERT_EQ(MapDocument::opened.size(), 1);
    const PlmMap& map = MapDocument::opened.first().map;
    EXPECT_EQ(map.name, QStringLiteral("Iles"));
    EXPECT_EQ(map.entities.first().name, QStringLiteral("Corse"));
    EXPECT_EQ(map.sources->size(), 2);
    EXPECT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().contains(QStringLiteral("encodage DBF non déclaré, lecture Latin-1")));
}

TEST_F(VectorImportUITest, cancellingTheChoiceMakesNoDocument)
{
    answer = 2; // "Annuler", after the two import buttons
    importAndWait(write(QStringLiteral("communes.geojson"), communes));
    EXPECT_EQ(alerts.size(), 1);
    EXPECT_TRUE(MapDocument::opened.isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(documents.documents().isEmpty());
}

TEST_F(VectorImportUITest, failuresArePresentedWithTheirFrenchMessage)
{
    importAndWait(write(QStringLiteral("notes.txt"), "bonjour"));
    importAndWait(write(QStringLiteral("dessin.eps"), "%!PS-Adobe-3.0 EPSF-3.0\n"));
    importAndWait(write(QStringLiteral("cassé.geojson"), R"({"type":"Polygon","coordinates":[]})"));
    EXPECT_EQ(errors, (QStringList{QStringLiteral("Format vectoriel non reconnu : notes.txt."),
                                   QStringLiteral("Le fichier « dessin.eps » ne peut pas être importé : aucun tracé "
                                                  "ou texte EPS convertible. Source non exécutée."),
                                   QStringLiteral("Le fichier « cassé.geojson » ne peut pas être importé : polygone "
                                                  "GeoJSON vide.")}));
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_TRUE(MapDocument::opened.isEmpty());

    importAndWait(dir.filePath(QStringLiteral("absent.geojson")));
    EXPECT_EQ(alerts, QStringList{QStringLiteral("Import impossible / Le fichier « absent.geojson » est introuvable.")});
}

TEST_F(VectorImportUITest, menuImportRunsThePanelThenImportsLater)
{
    VectorImportUI::importBaseMap(&documents); // cancelled
    EXPECT_EQ(panels.size(), 1);
    EXPECT_EQ(panels.first().title, QStringLiteral("Importer un fond"));

    chosen = QStringList{write(QStringLiteral("communes.geojson"), communes)};
    answer = 1;
    VectorImportUI::importBaseMap(&documents);
    EXPECT_TRUE(alerts.isEmpty());
    const QDeadlineTimer deadline(10000);
    while (MapDocument::opened.isEmpty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(MapDocument::opened.size(), 1);
}

TEST_F(VectorImportUITest, quickTestLooksAtExtensionsThenAtTheFirstBytes)
{
    EXPECT_TRUE(VectorImportUI::canImportFile(dir.filePath(QStringLiteral("absent.SHP"))));
    EXPECT_FALSE(VectorImportUI::canImportFile(dir.filePath(QStringLiteral("absent.dat"))));
    EXPECT_TRUE(VectorImportUI::canImportFile(write(QStringLiteral("sans"), " \n {\"type\": 1}")));
    EXPECT_TRUE(VectorImportUI::canImportFile(write(QStringLiteral("code"), QByteArray("\x00\x00\x27\x0a", 4))));
    EXPECT_TRUE(VectorImportUI::canImportFile(write(QStringLiteral("dessin.xml"), "<?xml?><svg/>")));
    EXPECT_FALSE(VectorImportUI::canImportFile(write(QStringLiteral("texte"), "bonjour")));
    EXPECT_FALSE(VectorImportUI::canImportFile(dir.path()));
}

// --- The data an imported map brings ----------------------------------------------------------

namespace {

PlmImportResult mapWithAttributes(const QString& format, const QList<QMap<QString, QString>>& rows)
{
    PlmImportResult result;
    result.map.name = QStringLiteral("Communes");
    result.map.metadata.insert(QStringLiteral("source.format"), format);
    int n = 0;
    for (const auto& attributes : rows) {
        ++n;
        const QString id = QStringLiteral("c%1").arg(n);
        result.map.entities.append(PlmEntity(id, attributes.value(QStringLiteral("nom"), id), PlmGeometry::point({0, 0}),
                                             PlmStyle(), attributes));
    }
    return result;
}

} // namespace

TEST(ImportableVariablesTest, attributesWithValuesOfTheirOwnAreOffered)
{
    const PlmImportResult result = mapWithAttributes(QStringLiteral("Shapefile"), {
        {{QStringLiteral("nom"), QStringLiteral("Lyon")}, {QStringLiteral("champ10"), QStringLiteral("1")},
         {QStringLiteral("champ2"), QStringLiteral("null")}, {QStringLiteral("copie"), QStringLiteral("Lyon")},
         {QStringLiteral("vide"), QStringLiteral("null")}, {QStringLiteral("source.deleted"), QStringLiteral("true")}},
        {{QStringLiteral("nom"), QStringLiteral("Vienne")}, {QStringLiteral("champ2"), QStringLiteral("5")},
         {QStringLiteral("copie"), QStringLiteral("Vienne")}, {QStringLiteral("ID"), QStringLiteral("38544")}}});
    const QList<PlmInputSheet> sheets = VectorImportUI::importableVariables(result);
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(sheets.first().name, QStringLiteral("Communes"));
    EXPECT_EQ(sheets.first().grid, (QList<QStringList>{
                                       {QStringLiteral("Identifiant"), QStringLiteral("champ2"), QStringLiteral("champ10")},
                                       {QStringLiteral("c1"), QString(), QStringLiteral("1")},
                                       {QStringLiteral("c2"), QStringLiteral("5"), QString()}}));
    EXPECT_EQ(sheets.first().warnings,
              QStringList{QStringLiteral("Attributs présents dans le fond. Choisissez les colonnes à conserver comme données du document .plm.")});
}

TEST(ImportableVariablesTest, onlyGeoJsonAndShapefileMapsOfferTheirAttributes)
{
    const QList<QMap<QString, QString>> rows = {{{QStringLiteral("pop"), QStringLiteral("12")}}};
    EXPECT_EQ(VectorImportUI::importableVariables(mapWithAttributes(QStringLiteral("GeoJSON"), rows)).size(), 1);
    EXPECT_TRUE(VectorImportUI::importableVariables(mapWithAttributes(QStringLiteral("SVG"), rows)).isEmpty());
    // Names and ids alone offer nothing.
    EXPECT_TRUE(VectorImportUI::importableVariables(mapWithAttributes(
        QStringLiteral("GeoJSON"), {{{QStringLiteral("name"), QStringLiteral("a")}, {QStringLiteral("id"), QStringLiteral("7")}}})).isEmpty());
}

// A tract table as GIS programs write it brings its data as the numbers they are: a CSV keyed
// by the tracts' numbers joins every zone, the numeric columns with missing values are offered
// as numbers, the code with its leading zeros as text.
TEST(ImportableVariablesTest, aShapefileOfNumbersJoinsItsCsvAndOffersNumbers)
{
    QTemporaryDir dir;
    writeBytes(dir.filePath(QStringLiteral("tracts.dbf")), CensusTractsFixture::dbf().bytes());
    writeBytes(dir.filePath(QStringLiteral("tracts.shp")), CensusTractsFixture::shp().bytes());
    const PlmImportResult result = PlmVectorImporter::importMap(dir.filePath(QStringLiteral("tracts.shp")));

    const QList<PlmInputSheet> sheets = VectorImportUI::importableVariables(result);
    ASSERT_EQ(sheets.size(), 1);
    const PlmInputTable offered(true, sheets.first().grid);
    QMap<QString, PlmVariableType> types;
    for (qsizetype column = 1; column < offered.names.size(); ++column)
        types.insert(offered.names.at(column), PlmInputReader::suggestedType(column, offered.rows));
    EXPECT_EQ(types, (QMap<QString, PlmVariableType>{{QStringLiteral("CODE"), PlmVariableType::text},
                                                     {QStringLiteral("median"), PlmVariableType::number},
                                                     {QStringLiteral("share"), PlmVariableType::number}}));

    const PlmInputTable incomes(true, PlmInputReader::readTextSheet(CensusTractsFixture::incomeCsv(), QStringLiteral("revenus.csv")).grid);
    const PlmMatch match(incomes, result.map);
    const PlmMatchCandidate best = match.candidates().first();
    EXPECT_EQ(std::pair(best.column, best.field), std::pair(0, QStringLiteral("id")));
    QList<PlmMatchRow> expected;
    for (const QStringList& row : incomes.rows)
        expected << PlmMatchRow::matched(row.first());
    EXPECT_EQ(match.resolutions(best, {}), expected);
}

#include "VectorImportUITest.moc"

TEST_F(VectorImportUITest, theImportReportIsASheetOnItsWindowOrAModalAlert)
{
    QList<DialogHooks::Alert> sheets;
    DialogHooks::Hooks h = DialogHooks::current();
    h.sheet = [&sheets](const DialogHooks::Alert& a, std::function<void(int)> done) {
        sheets << a;
        done(0);
    };
    DialogHooks::ScopedHooks scoped(h);
    QWidget window;
    VectorImportUI::showImportReport({QStringLiteral("a.geojson\n2 entités"), QStringLiteral("b.svg : Fichier illisible.")}, &window);
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(sheets[0].message, QStringLiteral("Résultat de l’import"));
    EXPECT_EQ(sheets[0].informativeText, QStringLiteral("a.geojson\n2 entités\n\nb.svg : Fichier illisible."));
    EXPECT_EQ(sheets[0].buttons, QStringList{QStringLiteral("OK")});
    EXPECT_EQ(sheets[0].window, &window);
    EXPECT_TRUE(alerts.isEmpty());

    VectorImportUI::showImportReport({}, nullptr); // no window: modal, even with no line
    EXPECT_EQ(alerts, QStringList{QStringLiteral("Résultat de l’import / ")});
    EXPECT_EQ(sheets.size(), 1);
}
