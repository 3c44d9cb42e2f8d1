#include "canvas/SymbolPickerLauncher.h"

namespace SymbolPickerLauncher {

namespace {

Opener& installed()
{
    static Opener opener;
    return opener;
}

} // namespace

void install(Opener opener) { installed() = std::move(opener); }

bool isInstalled() { return bool(installed()); }

QPointer<QWidget> open(const Request& request)
{
    if (!installed())
        return nullptr;
    QPointer<QWidget> window = installed()(request);
    if (window) {
        window->show();
        window->raise();
        window->activateWindow();
    }
    return window;
}

} // namespace SymbolPickerLauncher
