#include "model/PlmEntity.h"
#include "support/DecorationTestPage.h"
#include "canvas/SymbolPickerLauncher.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace {

using namespace DecorationTestSupport;

// The symbol catalogue stands in as a recorder of what it was opened for.
struct RecordedCatalogue {
    QList<SymbolPickerLauncher::Request> requests;
    RecordedCatalogue()
    {
        SymbolPickerLauncher::install([this](const SymbolPickerLauncher::Request& request) -> QWidget* {
            requests.append(request);
            return new QWidget;
        });
    }
    ~RecordedCatalogue() { SymbolPickerLauncher::install(nullptr); }
};

PlmMap triangleSymbol()
{
    PlmVectorPath path;
    path.commands = {PlmPathCommand::move({0, 0}), PlmPathCommand::line({10, 0}), PlmPathCommand::line({5, 8}),
                     PlmPathCommand::close()};
    PlmMap map;
    map.name = QStringLiteral("phare");
    map.entities = PlmEntityList({PlmEntity(QStringLiteral("t"), QStringLiteral("t"), PlmGeometry::path(path),
                                            PlmStyle(PlmColor{0, 0, 0, 1}, PlmColor{1, 0, 0, 1}, 1, 3))});
    return map;
}

TEST(DecorationSymbolCatalogue, AddingOffersLibrarySymbolsAndChangingOffersNamedOnes)
{
    RecordedCatalogue catalogue;
    DecorationTestPage t(workWith({}));

    t.controller->addObject(PlmDecorationKind::sfSymbol);
    ASSERT_EQ(catalogue.requests.size(), 1);
    ASSERT_TRUE(bool(catalogue.requests.at(0).svgCompletion));
    catalogue.requests.at(0).completion(QStringLiteral("car.fill"));
    ASSERT_EQ(t.decoration().objects.size(), 1);
    EXPECT_EQ(t.object(0).symbol->sfSymbolName, std::optional<QString>("car.fill"));

    t.controller->addObject(PlmDecorationKind::sfSymbol);
    ASSERT_EQ(catalogue.requests.size(), 2);
    const PlmMap symbol = triangleSymbol();
    catalogue.requests.at(1).svgCompletion(symbol, QStringLiteral("phare"));
    ASSERT_EQ(t.decoration().objects.size(), 2);
    EXPECT_EQ(t.object(1).kind, PlmDecorationKind::svg);
    EXPECT_EQ(t.object(1).symbol->svgVector, symbol);

    // Changing the symbol of the selected named-symbol decoration: named symbols only.
    t.controller->select(t.object(0).id, false);
    t.controller->chooseSymbol();
    ASSERT_EQ(catalogue.requests.size(), 3);
    EXPECT_FALSE(bool(catalogue.requests.at(2).svgCompletion));
    catalogue.requests.at(2).completion(QStringLiteral("bus.fill"));
    EXPECT_EQ(t.object(0).symbol->sfSymbolName, std::optional<QString>("bus.fill"));
}

} // namespace
