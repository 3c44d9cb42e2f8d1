#pragma once

#include "model/PlmWork.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

// What the data import dialog needs of its work document, kept weakly: the data tables sit
// below the studio, so the dialog reaches the work document through these calls rather than
// through its class. Once the document is gone the dialog neither reloads nor imports.
struct DataImportWindowControllerDocument {
    using WorkChange = std::function<void(PlmWork&)>;

    QPointer<QObject> owner;
    std::function<PlmWork()> work;                                       // copied under the lock
    std::function<void(const QString&, const WorkChange&)> updateWork;   // the one undoable update
    std::function<void()> showData; // after an import without completion: studio window, data pane

    bool isAlive() const { return !owner.isNull() && work && updateWork; }

    // The calls of a work document (PlmWorkDocument: work(), updateWork(), showDataWindow()).
    template <class Document>
    static DataImportWindowControllerDocument of(Document* document)
    {
        DataImportWindowControllerDocument target;
        target.owner = document;
        QPointer<Document> weak(document);
        target.work = [weak] { return weak ? weak->work() : PlmWork(); };
        target.updateWork = [weak](const QString& actionName, const WorkChange& change) {
            if (weak)
                weak->updateWork(actionName, change);
        };
        target.showData = [weak] {
            if (weak)
                weak->showDataWindow();
        };
        return target;
    }
};
