#pragma once

#include "import/PlmImportResult.h"

#include <QString>

// The online catalogue's hand-over of a converted download: the import choice, the map added
// to the library folder with its undo step, the library window reloaded on it, and the studio
// opening when asked for. Answers the status line of the online window. Main thread only.
namespace OnlineHandOver {

QString handOver(const PlmImportResult& result, const QString& destination, bool opensInStudio);

} // namespace OnlineHandOver
