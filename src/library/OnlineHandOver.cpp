#include "library/OnlineHandOver.h"

#include "import/VectorImportUI.h"
#include "library/LibraryCoordinator.h"
#include "library/LibraryWindowController.h"
#include "library/PlmLibraryError.h"
#include "model/PlmErrors.h"

#include <QFileInfo>

namespace OnlineHandOver {

QString handOver(const PlmImportResult& result, const QString& destination, bool opensInStudio)
{
    const VectorImportUI::ImportChoice choice = VectorImportUI::askImportChoice(result, result.summary());
    if (!choice.open)
        return {};
    LibraryWindowController* library = nullptr;
    QString added;
    try {
        library = LibraryCoordinator::shared().libraryWindowController();
        if (!library)
            return PlmLibraryPackageError::description(PlmLibraryPackageError::Kind::unavailable);
        added = library->store().addMap(result.map, std::nullopt, destination);
    } catch (const PlmError& error) {
        return error.message();
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
    library->registerAddition(added, QStringLiteral("Ajouter à la bibliothèque"));
    library->reload(added);
    if (!opensInStudio)
        library->showWindow();
    if (opensInStudio || choice.withData)
        VectorImportUI::openImportedMap(result, added, choice.withData);
    return QStringLiteral("Ajouté : ") + QFileInfo(added).fileName() + QStringLiteral(" — ") + result.summary();
}

} // namespace OnlineHandOver
