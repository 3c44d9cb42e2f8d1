#pragma once

#include "carte/CarteWindowController.h"
#include "desktop/ViewHost.h"
#include "desktop/ViewNode.h"
#include "inspector/TypedField.h"
#include "support/CanvasTestMaps.h"
#include "support/FondTestDocument.h"
#include "support/PlmWorkTestSupport.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QStringList>
#include <QWidget>
#include <memory>

// A Carte pane over a test work document that plays the studio: every stored change
// recomputes the automatic thresholds (as the work document does) and refreshes the pane;
// presented errors are recorded.
namespace CartePaneTest {

// A row of n unit squares 10 map units apart, ids "e0", "e1"…, and a variable "pop" with the
// values given (entity i gets values[i]; fewer values leave the rest without data).
inline PlmWork gridWork(int n, const QList<double>& values)
{
    PlmEntityList entities;
    for (int i = 0; i < n; ++i) {
        const double x = (i % 4) * 10, y = (i / 4) * 10;
        entities.append(CanvasTestMaps::squareEntity(QStringLiteral("e%1").arg(i), x, y, x + 9, y + 9,
                                                     PlmColor{0.9, 0.9, 0.9, 1}, 0.5));
    }
    PlmWork work;
    work.map = CanvasTestMaps::mapOf(entities);
    QList<std::pair<QString, double>> cells;
    for (qsizetype i = 0; i < values.size(); ++i)
        cells.append({QStringLiteral("e%1").arg(i), values[i]});
    work.variables = {PlmWorkTest::numberVariable(QStringLiteral("pop"), QStringLiteral("Population"), cells)};
    work.thematic = PlmThematicSettings();
    return work;
}

// The work as the document stores it: automatic thresholds in step with the data.
inline PlmWork stored(PlmWork work)
{
    work.recomputeThematicThresholds();
    return work;
}

struct Pane {
    explicit Pane(const PlmWork& work, QSize size = QSize(640, 480))
        : document(stored(work))
    {
        document.afterChange = [this] {
            PlmWork next = document.work();
            next.recomputeThematicThresholds();
            document.setWork(next);
            if (pane)
                pane->refreshControls();
        };
        document.refuse = [this](const PlmWork& next) {
            next.validate();
            if (refuse)
                refuse(next);
        };
        pane = std::make_unique<CarteWindowController>(document.link());
        pane->presentError = [this](const QString& message) { errors.append(message); };
        QWidget* view = pane->view();
        view->resize(size);
        if (auto* host = dynamic_cast<ViewHost*>(view); host && host->rootNode()) {
            host->rootNode()->setFrame(QRectF(0, 0, size.width(), size.height()));
            host->rootNode()->layoutSubtreeIfNeeded();
        }
        pane->fitComposition();
    }

    // The page beside the inspector column in one shown, active window, as in the studio: a
    // Tab or a click moves the focus between them.
    void showInWindow()
    {
        window = std::make_unique<QWidget>();
        auto* row = new QHBoxLayout(window.get());
        row->addWidget(pane->view(), 1);
        row->addWidget(pane->inspectorScroll());
        window->resize(1000, 700);
        window->show();
        QApplication::setActiveWindow(window.get());
    }

    // The studio's commit before a save or at a signal's end: the pane takes its pending edits,
    // then every typed field of the window, and no widget keeps the focus.
    bool commitAsTheStudio()
    {
        if (!pane->commitPendingEdits())
            return false;
        if (!TypedField::commitAll(window ? window.get() : pane->inspectorScroll()))
            return false;
        if (QWidget* focused = QApplication::focusWidget())
            focused->clearFocus();
        return true;
    }

    FondTestDocument document;
    std::unique_ptr<CarteWindowController> pane;
    QStringList errors;
    std::function<void(const PlmWork&)> refuse;
    // Declared last: it goes first, with the pane's widgets it holds.
    std::unique_ptr<QWidget> window;
};

} // namespace CartePaneTest
