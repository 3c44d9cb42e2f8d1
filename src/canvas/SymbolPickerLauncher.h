#pragma once

#include "model/PlmMap.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

// How the panes below the library (the Carte pane, the decorations, the Fond pane) open the
// symbol catalogue window, which lives above them with the library. The application installs
// the opener once at start; each caller keeps the window it got and replaces it when it opens
// another.
namespace SymbolPickerLauncher {

struct Request {
    // Called with the chosen symbol name.
    std::function<void(const QString& name)> completion;
    // Called with a chosen library SVG symbol and its display name; when empty the window
    // offers named symbols only.
    std::function<void(const PlmMap& map, const QString& name)> svgCompletion;
    // Called once when the window closes, however it closes.
    std::function<void()> onClose;
};

// Makes the window (not yet shown) for a request.
using Opener = std::function<QWidget*(const Request& request)>;

void install(Opener opener);
bool isInstalled();

// Makes the window through the installed opener, shows it and brings it to the front; null
// when no opener is installed. The window deletes itself when it closes.
QPointer<QWidget> open(const Request& request);

} // namespace SymbolPickerLauncher
