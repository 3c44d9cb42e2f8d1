#include "canvas/PlmSymbolCatalogue.h"

#include "model/PlmTextFolding.h"
#include "platform/SymbolGlyphProvider.h"

#include <QFileInfo>

#include <algorithm>

namespace PlmSymbolCatalogue {

namespace {

// One available name with what a keystroke needs of it, worked out once.
struct Indexed {
    QString name;
    QString foldedSearchText;  // name, words, titles of its categories
    std::uint32_t categories = 0; // bit i: the name holds a keyword of category i
};

std::uint32_t categoryBits(const QString& name)
{
    std::uint32_t bits = 0;
    const QList<Category>& categories = symbolCategories();
    for (qsizetype i = 1; i < categories.size(); ++i) {
        for (const QString& keyword : categories.at(i).keywords) {
            if (name.contains(keyword)) {
                bits |= 1u << i;
                break;
            }
        }
    }
    return bits;
}

const QList<Indexed>& index()
{
    static const QList<Indexed> list = [] {
        const QMap<QString, QString> words = searchWords();
        const QList<Category>& categories = symbolCategories();
        QList<Indexed> result;
        result.reserve(availableSystemSymbols().size());
        for (const QString& name : availableSystemSymbols()) {
            Indexed entry{name, {}, categoryBits(name)};
            QStringList titles;
            for (qsizetype i = 1; i < categories.size(); ++i)
                if (entry.categories & (1u << i))
                    titles.append(categories.at(i).title);
            const QString text = name + u' ' + words.value(name) + u' ' + titles.join(u' ');
            entry.foldedSearchText = PlmTextFolding::folded(text);
            result.append(entry);
        }
        return result;
    }();
    return list;
}

// Case- and accent-insensitive containment, the query already folded.
bool containsFolded(const QString& text, const QString& foldedQuery)
{
    return PlmTextFolding::folded(text).contains(foldedQuery);
}

} // namespace

const QStringList& sfSymbolCatalogue() { return SymbolGlyphProvider::tableNames(); }

const QStringList& availableSystemSymbols()
{
    static const QStringList names = [] {
        QStringList result;
        for (const QString& name : sfSymbolCatalogue())
            if (SymbolGlyphProvider::isAvailable(name))
                result.append(name);
        return result;
    }();
    return names;
}

const QList<Category>& symbolCategories()
{
    static const QList<Category> categories = {
        {QStringLiteral("Tous"), {}},
        {QStringLiteral("Bâtiments"),
         {"house", "building", "warehouse", "door", "window", "stairs"}},
        {QStringLiteral("Équipements"),
         {"fan", "air", "heater", "light", "camera", "sensor", "switch", "wrench", "tool", "thermometer"}},
        {QStringLiteral("Électricité"), {"bolt", "power", "plug", "battery", "outlet", "lightbulb", "cable"}},
        {QStringLiteral("Plomberie"), {"drop", "water", "pipe", "faucet", "shower", "sink", "toilet", "bathtub"}},
        {QStringLiteral("Informatique"),
         {"desktopcomputer", "laptopcomputer", "display", "pc", "mac", "server", "network", "wifi", "keyboard",
          "printer", "computermouse", "cpu"}},
        {QStringLiteral("Transport"),
         {"car", "bus", "tram", "train", "truck", "bicycle", "airplane", "ferry", "boat", "road"}},
        {QStringLiteral("Industrie"),
         {"gear", "wrench", "hammer", "screwdriver", "shippingbox", "pallet", "engine", "cylinder", "conveyor"}},
        {QStringLiteral("Sécurité"),
         {"lock", "shield", "alarm", "bell", "fire", "flame", "exclamationmark", "cross.case", "siren",
          "person.badge"}},
        {QStringLiteral("Mobilier"), {"chair", "table", "sofa", "bed", "cabinet", "desk", "lamp"}},
        {QStringLiteral("Cartographie"),
         {"map", "mappin", "location", "globe", "compass", "signpost", "flag", "point", "viewfinder"}},
    };
    return categories;
}

QMap<QString, QString> searchWords()
{
    return {
        {QStringLiteral("circle.fill"), QStringLiteral("cercle")},
        {QStringLiteral("square.fill"), QStringLiteral("carré")},
        {QStringLiteral("triangle.fill"), QStringLiteral("triangle")},
        {QStringLiteral("diamond.fill"), QStringLiteral("losange")},
        {QStringLiteral("star.fill"), QStringLiteral("étoile")},
        {QStringLiteral("heart.fill"), QStringLiteral("cœur")},
        {QStringLiteral("person.fill"), QStringLiteral("personne population")},
        {QStringLiteral("person.2.fill"), QStringLiteral("population groupe")},
        {QStringLiteral("house.fill"), QStringLiteral("maison logement")},
        {QStringLiteral("building.2.fill"), QStringLiteral("bâtiment ville")},
        {QStringLiteral("building.columns.fill"), QStringLiteral("banque administration")},
        {QStringLiteral("graduationcap.fill"), QStringLiteral("école éducation")},
        {QStringLiteral("cross.case.fill"), QStringLiteral("santé hôpital")},
        {QStringLiteral("bed.double.fill"), QStringLiteral("hébergement lit")},
        {QStringLiteral("leaf.fill"), QStringLiteral("feuille nature")},
        {QStringLiteral("tree.fill"), QStringLiteral("arbre forêt")},
        {QStringLiteral("flame.fill"), QStringLiteral("feu énergie")},
        {QStringLiteral("banknote.fill"), QStringLiteral("revenu économie")},
        {QStringLiteral("eurosign.circle.fill"), QStringLiteral("euro économie")},
        {QStringLiteral("antenna.radiowaves.left.and.right"), QStringLiteral("communications réseau")},
        {QStringLiteral("drop.fill"), QStringLiteral("eau goutte")},
        {QStringLiteral("bolt.fill"), QStringLiteral("électricité")},
        {QStringLiteral("sun.max.fill"), QStringLiteral("soleil")},
        {QStringLiteral("cloud.fill"), QStringLiteral("nuage")},
        {QStringLiteral("car.fill"), QStringLiteral("voiture transport")},
        {QStringLiteral("bus.fill"), QStringLiteral("bus transport")},
        {QStringLiteral("tram.fill"), QStringLiteral("train transport")},
        {QStringLiteral("airplane"), QStringLiteral("avion aéroport")},
        {QStringLiteral("ferry.fill"), QStringLiteral("bateau port")},
        {QStringLiteral("bicycle"), QStringLiteral("vélo")},
        {QStringLiteral("figure.walk"), QStringLiteral("marche piéton")},
        {QStringLiteral("flag.fill"), QStringLiteral("drapeau")},
        {QStringLiteral("mappin"), QStringLiteral("repère")},
        {QStringLiteral("shippingbox.fill"), QStringLiteral("colis industrie")},
        {QStringLiteral("cart.fill"), QStringLiteral("commerce")},
        {QStringLiteral("cup.and.saucer.fill"), QStringLiteral("café")},
        {QStringLiteral("fork.knife"), QStringLiteral("restaurant")},
        {QStringLiteral("pawprint.fill"), QStringLiteral("animaux")},
        {QStringLiteral("fish.fill"), QStringLiteral("poisson pêche")},
        {QStringLiteral("hare.fill"), QStringLiteral("lièvre")},
    };
}

QString svgLibraryTitle() { return QStringLiteral("SVG bibliothèque"); }

QString emptyMessage() { return QStringLiteral("Aucun symbole disponible pour cette recherche."); }

QString svgDisplayName(const QString& url) { return QFileInfo(url).completeBaseName(); }

QString Entry::displayName() const { return kind == Kind::sf ? sfName : svgDisplayName(svg.url); }

QList<Entry> filter(const QString& searchText, int categoryIndex, const QList<SvgItem>& svgItems, bool acceptsSVG)
{
    const QList<Category>& categories = symbolCategories();
    const QString query = PlmTextFolding::trimmed(searchText);
    const QString foldedQuery = PlmTextFolding::folded(query);
    const int last = int(categories.size()) - 1;
    const bool svgOnly = categoryIndex == int(categories.size());
    const int category = std::clamp(categoryIndex, 0, last);
    const std::uint32_t categoryBit = category > 0 ? 1u << category : 0;

    QList<Entry> names;
    bool typedListed = false;
    if (!svgOnly) {
        for (const Indexed& entry : index()) {
            if (categoryBit && !(entry.categories & categoryBit))
                continue;
            if (!query.isEmpty() && !entry.foldedSearchText.contains(foldedQuery))
                continue;
            typedListed = typedListed || entry.name == query;
            names.append(Entry::sfSymbol(entry.name));
        }
        if (!query.isEmpty() && !typedListed && SymbolGlyphProvider::isAvailable(query))
            names.prepend(Entry::sfSymbol(query));
    }

    QList<Entry> result;
    if (acceptsSVG) {
        for (const SvgItem& item : svgItems) {
            const QString display = svgDisplayName(item.url);
            if (!svgOnly && category > 0) {
                const QString foldedDisplay = PlmTextFolding::folded(display);
                const QStringList& keywords = categories.at(category).keywords;
                const bool inCategory = std::any_of(keywords.cbegin(), keywords.cend(), [&](const QString& k) {
                    return foldedDisplay.contains(PlmTextFolding::folded(k));
                });
                if (!inCategory)
                    continue;
            }
            if (!query.isEmpty() && !containsFolded(display + QStringLiteral(" SVG"), foldedQuery))
                continue;
            result.append(Entry::svgSymbol(item));
        }
    }
    result.append(names);
    return result;
}

} // namespace PlmSymbolCatalogue
