#pragma once

#include "page/DecorationController.h"
#include "page/DecorationObjectView.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "model/PlmErrors.h"
#include "support/CompositionTestSupport.h"

#include <QStringList>

#include <functional>
#include <memory>

// A work document reduced to what the decoration controller uses: one stored work validated
// on every update, an undo history of whole works with their names (grouped between begin
// and end), a change count, whether a draft is typed, and the errors and alerts shown. After each stored change it
// synchronises the controller, as the Carte pane's refresh does.
struct DecorationTestDocument {
    PlmWork work;
    struct Step {
        QString name;
        PlmWork before;
    };
    QList<Step> undo;
    int groupDepth = 0;
    bool groupRecorded = false;
    int changeCount = 0;
    bool draft = false; // a text typed in place, not a step yet
    // Whether the window says the document holds changes, after each report that can change it
    // (a stored step, a draft begun or ended).
    QList<bool> saidChanged;
    bool changed() const { return changeCount != 0 || draft; }
    QStringList errors;
    QStringList alerts;
    std::function<void()> onStored;

    QString undoName() const { return undo.isEmpty() ? QString() : undo.last().name; }
    QStringList undoNames() const
    {
        QStringList names;
        for (const Step& step : undo)
            names.append(step.name);
        return names;
    }
    void undoLast()
    {
        if (undo.isEmpty())
            return;
        work = undo.takeLast().before;
        --changeCount;
        if (onStored)
            onStored();
    }

    DecorationController::Document link()
    {
        DecorationController::Document d;
        d.work = [this] { return std::optional<PlmWork>(work); };
        d.updateWork = [this](const QString& name, const DecorationController::Document::WorkChange& change) {
            PlmWork next = work;
            change(next);
            next.validate();
            if (next == work)
                return;
            if (groupDepth == 0 || !groupRecorded) {
                undo.append({name, work});
                ++changeCount;
            }
            groupRecorded = groupDepth > 0;
            work = next;
            saidChanged.append(changed());
            if (onStored)
                onStored();
        };
        d.beginUndoGrouping = [this] {
            if (groupDepth++ == 0)
                groupRecorded = false;
        };
        d.endUndoGrouping = [this] { --groupDepth; };
        d.presentError = [this](const QString& message) { errors.append(message); };
        d.noteDraft = [this](bool pending) {
            draft = pending;
            saidChanged.append(changed());
        };
        d.showAlert = [this](const QString& message) { alerts.append(message); };
        return d;
    }
};

// A layout page of 600 × 400 points in a host widget, a document and its controller.
struct DecorationTestPage {
    DecorationTestDocument document;
    CompositionTestSupport::Hosted h;
    std::unique_ptr<DecorationController> controller;

    explicit DecorationTestPage(const PlmWork& work, QSizeF page = {600, 400})
        : h(CompositionTestSupport::hosted(work.map, page, page))
    {
        document.work = work;
        controller = std::make_unique<DecorationController>(document.link(), h.canvas, true);
        document.onStored = [this] { controller->syncObjectViews(); };
        controller->beep = [this] { ++beeps; };
    }
    ~DecorationTestPage() { controller.reset(); }

    const PlmDecoration& decoration() const { return *document.work.decoration; }
    const PlmDecorationObject& object(qsizetype i) const { return decoration().objects.at(i); }
    DecorationObjectView* view(const QString& id) const { return controller->objectView(id); }
    int beeps = 0;
};

namespace DecorationTestSupport {

// A work whose map is a grid of squares, with the given objects in its layout.
inline PlmWork workWith(const QList<PlmDecorationObject>& objects)
{
    PlmWork work;
    work.map = CompositionTestSupport::gridMap(3);
    if (!objects.isEmpty()) {
        work.decoration = PlmDecoration();
        work.decoration->objects = objects;
    }
    return work;
}

// An object of a kind placed in points.
inline PlmDecorationObject placed(const QString& id, PlmDecorationKind kind, double x, double y, double w, double h)
{
    PlmDecorationObject object = PlmDecorationObject::make(id, kind);
    object.position = {x, y};
    object.width = w;
    object.height = h;
    object.presentation.positionInPoints = true;
    return object;
}

} // namespace DecorationTestSupport
