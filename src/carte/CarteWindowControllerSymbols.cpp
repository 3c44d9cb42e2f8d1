// The Carte pane's symbol catalogue: choosing the symbol of a proportional series.
#include "carte/CarteWindowController.h"

#include "canvas/SymbolPickerLauncher.h"

void CarteWindowController::openSymbolPicker()
{
    const bool secondary = editingSecondary;
    if (symbolPicker)
        symbolPicker->close();
    QPointer<CarteWindowController> self(this);
    SymbolPickerLauncher::Request request;
    request.completion = [self, secondary](const QString& name) {
        if (self)
            self->storeSFSymbol(name, secondary);
    };
    request.svgCompletion = [self, secondary](const PlmMap& map, const QString&) {
        if (self)
            self->storeSVGSymbol(map, secondary);
    };
    request.onClose = [self] {
        if (self)
            self->refreshControls(); // the shown kind goes back when nothing was chosen
    };
    symbolPicker = SymbolPickerLauncher::open(request);
    if (!symbolPicker)
        refreshControls();
}

void CarteWindowController::storeSFSymbol(const QString& name, bool secondary)
{
    std::optional<PlmThematicSettings> settings = thematicSettings(secondary);
    if (!settings || !settings->proportional)
        return;
    settings->proportional->kind = PlmSymbolKind::sfSymbol;
    settings->proportional->sfSymbolName = name;
    settings->proportional->sfConfiguration = PlmSFSymbolConfiguration::regularMediumMonochrome;
    settings->proportional->sfVector.reset();
    applyThematic(*settings, QStringLiteral("Choisir un pictogramme"), secondary);
}

void CarteWindowController::storeSVGSymbol(const PlmMap& map, bool secondary)
{
    std::optional<PlmThematicSettings> settings = thematicSettings(secondary);
    if (!settings || !settings->proportional)
        return;
    settings->proportional->kind = PlmSymbolKind::svg;
    settings->proportional->svgVector = map;
    applyThematic(*settings, QStringLiteral("Choisir un symbole SVG"), secondary);
}
