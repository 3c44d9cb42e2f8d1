#pragma once

#include "model/PlmWork.h"

#include <QString>

#include <functional>
#include <optional>

// The work document as an editor of the Carte page sees it (the document class lives above).
// Every function holds the document weakly: once it is gone they read and store nothing.
struct WorkDocumentLink {
    using WorkChange = std::function<void(PlmWork&)>;
    std::function<std::optional<PlmWork>()> work;
    // Throws the document's error when the new work is refused.
    std::function<void(const QString& actionName, const WorkChange& change)> updateWork;
    std::function<void()> beginUndoGrouping;
    std::function<void()> endUndoGrouping;
    // Shows a refused store's French message to the user.
    std::function<void(const QString& message)> presentError;
};
