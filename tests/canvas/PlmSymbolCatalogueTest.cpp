#include "model/PlmTextFolding.h"
#include "platform/SymbolGlyphProvider.h"
#include "canvas/PlmSymbolCatalogue.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace PlmSymbolCatalogue;

namespace {

constexpr int kTous = 0, kElectricite = 3, kPlomberie = 4, kTransport = 6, kSvgOnly = 11;

// Every installed icon draws as a square here, so the catalogue sees the names whose icon is
// installed without reading any SVG (the reading has its own tests).
class PlmSymbolCatalogueTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        SymbolGlyphProvider::setOutlineReader([](const QString&) {
            QPainterPath square;
            square.addRect(0, 0, 16, 16);
            return std::optional<QPainterPath>(square);
        });
    }
    static void TearDownTestSuite() { SymbolGlyphProvider::setOutlineReader(nullptr); }
};

SvgItem svg(const QString& name) { return SvgItem{QStringLiteral("/lib/.symbols/") + name + QStringLiteral(".plmmap"), {}}; }

QStringList names(const QList<Entry>& entries)
{
    QStringList result;
    for (const Entry& e : entries)
        result << (e.isSVG() ? QStringLiteral("svg:") : QString()) + e.displayName();
    return result;
}

// The list rule written out plainly, to check the indexed one against.
QStringList expectedNames(const QString& query, int category)
{
    const QString q = PlmTextFolding::folded(query);
    const QMap<QString, QString> words = searchWords();
    QStringList result;
    for (const QString& name : availableSystemSymbols()) {
        const QStringList& keywords = symbolCategories().at(category).keywords;
        if (!keywords.isEmpty() && std::none_of(keywords.begin(), keywords.end(), [&](const QString& k) { return name.contains(k); }))
            continue;
        QString text = name + u' ' + words.value(name);
        for (const Category& c : symbolCategories())
            if (std::any_of(c.keywords.begin(), c.keywords.end(), [&](const QString& k) { return name.contains(k); }))
                text += u' ' + c.title;
        if (q.isEmpty() || PlmTextFolding::folded(text).contains(q))
            result << name;
    }
    return result;
}

TEST_F(PlmSymbolCatalogueTest, TheCatalogueIsSortedUniqueAndHoldsEveryNameItProposes)
{
    const QStringList& catalogue = sfSymbolCatalogue();
    EXPECT_GE(catalogue.size(), 300);
    EXPECT_TRUE(std::is_sorted(catalogue.begin(), catalogue.end(), [](const QString& a, const QString& b) {
        return a.toLatin1() < b.toLatin1();
    }));
    EXPECT_EQ(std::adjacent_find(catalogue.begin(), catalogue.end()), catalogue.end());
    for (const QString& name : searchWords().keys())
        EXPECT_TRUE(catalogue.contains(name)) << name.toStdString();
    // A dozen names at least in every category.
    for (int c = 1; c < symbolCategories().size(); ++c) {
        const QStringList& keywords = symbolCategories().at(c).keywords;
        const auto count = std::count_if(catalogue.begin(), catalogue.end(), [&](const QString& name) {
            return std::any_of(keywords.begin(), keywords.end(), [&](const QString& k) { return name.contains(k); });
        });
        EXPECT_GE(count, 12) << symbolCategories().at(c).title.toStdString();
    }
    EXPECT_EQ(searchWords().size(), 40);
    EXPECT_EQ(symbolCategories().size(), 11);
}

struct Row {
    const char* name;
    QString query;
    int category;
    QList<SvgItem> svgItems;
    bool acceptsSVG;
    QStringList expected; // empty: the plain rule's list (SF names only)
};

TEST_F(PlmSymbolCatalogueTest, TheListRule)
{
    const QList<SvgItem> library{svg(QStringLiteral("Carrefour")), svg(QStringLiteral("phare"))};
    const QList<Row> rows = {
        {"the French word finds its symbol first", QStringLiteral("voiture"), kTous, {}, false,
         {QStringLiteral("car.fill")}},
        {"blanks around the text are dropped", QStringLiteral("  house \n"), kTous, {}, false, {}},
        {"a category title matches without accents", QStringLiteral("electricite"), kTous, {}, false, {}},
        {"a typed drawable name stands alone in a category it is not in", QStringLiteral("star.fill"), kPlomberie,
         {}, false, {QStringLiteral("star.fill")}},
        {"nothing matches", QStringLiteral("zzz introuvable"), kTous, library, true, {}},
        {"library symbols come first, all of them with no text", QString(), kTous, library, true, {}},
        {"the library item lists library symbols only", QString(), kSvgOnly, library, true, {}},
        {"nothing typed is added to the library item", QStringLiteral("star.fill"), kSvgOnly, library, true, {}},
        {"a library symbol matches a keyword in any case, SF names in the same case", QString(), kTransport,
         library, true, {}},
        {"the text svg lists every library symbol", QStringLiteral("svg"), kTous, library, true, {}},
        {"a picker without SVG never lists library symbols", QString(), kTous, library, false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QStringList got = names(filter(row.query, row.category, row.svgItems, row.acceptsSVG));
        QStringList expected;
        const QString name = QString::fromLatin1(row.name);
        if (name.startsWith(QStringLiteral("library symbols come first"))) {
            expected = QStringList{QStringLiteral("svg:Carrefour"), QStringLiteral("svg:phare")} + availableSystemSymbols();
        } else if (name.startsWith(QStringLiteral("the library item"))) {
            expected = {QStringLiteral("svg:Carrefour"), QStringLiteral("svg:phare")};
        } else if (name.startsWith(QStringLiteral("a library symbol matches"))) {
            expected = QStringList{QStringLiteral("svg:Carrefour")} + expectedNames({}, kTransport);
        } else if (name.startsWith(QStringLiteral("the text svg"))) {
            expected = QStringList{QStringLiteral("svg:Carrefour"), QStringLiteral("svg:phare")} + expectedNames(row.query, kTous);
        } else if (name.startsWith(QStringLiteral("a picker without"))) {
            expected = availableSystemSymbols();
        } else if (name.startsWith(QStringLiteral("nothing"))) {
            expected = {};
        } else if (!row.expected.isEmpty() && row.category != kTous) {
            expected = row.expected;
        } else {
            expected = expectedNames(row.query, row.category);
        }
        EXPECT_EQ(got, expected);
        if (!row.expected.isEmpty())
            EXPECT_EQ(got.first(), row.expected.first());
        // Invariants on every row: library symbols only before named ones, no name twice.
        const auto firstNamed = std::find_if(got.begin(), got.end(), [](const QString& n) { return !n.startsWith(QStringLiteral("svg:")); });
        EXPECT_TRUE(std::none_of(firstNamed, got.end(), [](const QString& n) { return n.startsWith(QStringLiteral("svg:")); }));
        QStringList unique = got;
        unique.removeDuplicates();
        EXPECT_EQ(unique.size(), got.size());
    }
}

TEST_F(PlmSymbolCatalogueTest, ElectriciteListsTheElectricNamesAndBoltFill)
{
    const QStringList got = names(filter(QStringLiteral("électricité"), kTous, {}, false));
    EXPECT_TRUE(got.contains(QStringLiteral("bolt.fill")));
    EXPECT_EQ(got, expectedNames({}, kElectricite));
    EXPECT_FALSE(got.contains(QStringLiteral("car.fill")));
}

TEST_F(PlmSymbolCatalogueTest, ANameWithoutAGlyphIsUnavailableAndNeverTyped)
{
    EXPECT_FALSE(SymbolGlyphProvider::isAvailable(QStringLiteral("pas.un.symbole")));
    EXPECT_TRUE(filter(QStringLiteral("pas.un.symbole"), kTous, {}, false).isEmpty());
    EXPECT_EQ(SymbolGlyphProvider::iconFile(QStringLiteral("car.fill")),
              SymbolGlyphProvider::iconDirectory() + QStringLiteral("/car-front-fill.svg"));
}

} // namespace
