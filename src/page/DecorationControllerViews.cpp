#include "page/DecorationController.h"

#include "page/CarteAlignmentGuidesView.h"
#include "page/DecorationObjectView.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "model/PlmErrors.h"

#include <QPointer>

namespace {

const QString legendID = QStringLiteral("legend");
const QString secondLegendID = QStringLiteral("secondLegend");

bool locked(const PlmPresentation& presentation)
{
    return presentation.editing && presentation.editing->lockPosition;
}

} // namespace

QList<DecorationObjectView*> DecorationController::objectViews() const { return m_canvas->decorationViews(); }

DecorationObjectView* DecorationController::objectView(const QString& id) const
{
    for (DecorationObjectView* view : objectViews())
        if (view->object.id == id)
            return view;
    return nullptr;
}

ThematicLegend* DecorationController::legendView(const QString& id) const
{
    return id == legendID ? m_canvas->legend() : m_canvas->secondLegend();
}

QSizeF DecorationController::pageSize() const { return m_canvas->bounds().size(); }

QPointF DecorationController::objectOrigin(const PlmDecorationObject& object, const QSizeF& size) const
{
    return m_canvas->elementOrigin(object.position, object.presentation.positionInPoints.value_or(false), size);
}

void DecorationController::installLegendCallbacks(ThematicLegend* legend, const QString& id)
{
    QPointer<DecorationController> self(this);
    legend->onPosition = [self, id](const PlmPoint& origin, bool ended) {
        if (self)
            self->moveLegend(id, origin, ended);
    };
    legend->onSelect = [self, id] {
        if (self)
            self->select(id, false);
    };
    legend->onModifiedSelect = [self, id](Qt::KeyboardModifiers modifiers) {
        if (self)
            self->pressSelect(id, modifiers);
    };
    legend->onRotation = [self, id](double angle) {
        if (self)
            self->rotateLegend(id, angle);
    };
    legend->onEdit = [self, id] {
        if (!self)
            return;
        self->select(id, false);
        self->beginTextEdit();
    };
    legend->onSize = [self, id](const QSizeF& size, const PlmPoint& origin) {
        if (self)
            self->resizeLegend(id, size, origin);
    };
}

void DecorationController::installViewCallbacks(DecorationObjectView* view)
{
    QPointer<DecorationController> self(this);
    const QString id = view->object.id;
    view->onSelect = [self, id] {
        if (self)
            self->select(id, false);
    };
    view->onModifiedSelect = [self, id](Qt::KeyboardModifiers modifiers) {
        if (self)
            self->pressSelect(id, modifiers);
    };
    view->onEdit = [self] {
        if (self)
            self->beginTextEdit();
    };
    view->onDelete = [self] {
        if (self)
            self->deleteSelection();
    };
    view->onDeselect = [self] {
        if (self)
            self->deselectAll();
    };
    view->onCommand = [self](const QString& command) {
        if (self)
            self->performClipboardCommand(command);
    };
    view->onRotation = [self](double angle, bool ended) {
        if (self)
            self->objectRotated(angle, ended);
    };
    view->onGeometry = [self, view](const PlmPoint& origin, double w, double h, bool ended) {
        if (self)
            self->objectGeometryChanged(view->object, origin, w, h, ended);
    };
}

void DecorationController::pressSelect(const QString& id, Qt::KeyboardModifiers modifiers)
{
    const bool extending = modifiers & (Qt::ShiftModifier | Qt::ControlModifier);
    // A plain press on a member of a selection keeps the selection, so that dragging one of
    // several selected elements moves them all.
    if (!extending && selectedIDs.contains(id) && selectedIDs.size() > 1) {
        commitTextEdit();
        return;
    }
    select(id, extending);
}

void DecorationController::syncObjectViews()
{
    const std::optional<PlmWork> current = work();
    if (!current)
        return;
    const PlmDecoration decoration = decorationOf(*current);
    ThematicLegend* legends[] = {m_canvas->legend(), m_canvas->secondLegend()};
    legends[0]->setPresentation(decoration.legend);
    legends[1]->setPresentation(decoration.secondLegend);
    QPointer<DecorationController> self(this);
    for (ThematicLegend* legend : legends) {
        legend->setNeedsDisplay();
        if (ViewNode* parent = legend->superview())
            parent->setNeedsLayout();
        legend->onCommand = [self](const QString& command) {
            if (self)
                self->performClipboardCommand(command);
        };
    }
    QSet<QString> ids{legendID, secondLegendID};
    for (const PlmDecorationObject& object : decoration.objects)
        ids.insert(object.id);
    selectedIDs.intersect(ids);

    for (DecorationObjectView* view : objectViews())
        if (!ids.contains(view->object.id)) {
            view->removeFromSuperview();
            delete view;
        }
    QList<DecorationObjectView*> matched;
    QSet<QString> seen;
    for (const PlmDecorationObject& object : decoration.objects) {
        DecorationObjectView* view = nullptr;
        if (!seen.contains(object.id))
            view = objectView(object.id);
        seen.insert(object.id);
        if (!view || matched.contains(view))
            view = new DecorationObjectView(object);
        view->object = object;
        view->setNeedsDisplay();
        if (m_studioPresentation)
            view->setHidden(object.presentation.hidden.value_or(false));
        view->vector = m_canvas->vector();
        ThematicLegend* source = object.legendSeries == 1 ? m_canvas->secondLegend() : m_canvas->legend();
        view->legendSource = [source] { return std::optional<LegendData>(source->legendData()); };
        if (!view->superview())
            m_canvas->addSubview(view);
        installViewCallbacks(view);
        matched.append(view);
    }
    // Bring the views to the front in stored order only when the order differs.
    QStringList onCanvas, stored;
    for (DecorationObjectView* view : objectViews())
        onCanvas.append(view->object.id);
    for (DecorationObjectView* view : matched)
        stored.append(view->object.id);
    if (onCanvas != stored) {
        ViewNode* below = m_canvas->guides();
        for (DecorationObjectView* view : matched)
            m_canvas->insertSubview(view, ViewNode::Placement::below, below);
    }
    m_canvas->setNeedsLayout();
    m_canvas->layoutSubtreeIfNeeded();
    if (selected && !ids.contains(*selected))
        selected.reset();
    updateSelection();
}

QPointF DecorationController::legendOrigin(const QString& id) const
{
    ThematicLegend* view = legendView(id);
    const std::optional<PlmWork> current = work();
    PlmPoint position = id == legendID ? m_canvas->legendPosition : m_canvas->secondLegendPosition;
    PlmPresentation presentation = view->presentation();
    if (current) {
        if (current->thematic) {
            if (id == legendID)
                position = current->thematic->legendPosition;
            else if (current->thematic->secondSymbols)
                position = current->thematic->secondSymbols->legendPosition;
        }
        if (current->decoration)
            presentation = id == legendID ? current->decoration->legend : current->decoration->secondLegend;
    }
    return m_canvas->elementOrigin(position, presentation.positionInPoints.value_or(false), view->frame().size());
}

void DecorationController::dragCompanions(const QString& excluding, double dx, double dy)
{
    m_canvas->isGroupManipulating = selectedIDs.size() > 1;
    for (DecorationObjectView* view : objectViews()) {
        const QString& id = view->object.id;
        if (!selectedIDs.contains(id) || id == excluding || locked(view->object.presentation))
            continue;
        const QSizeF size = view->frame().size();
        view->setFrame(QRectF(objectOrigin(view->object, size) + QPointF(dx, dy), size));
    }
    for (const QString& id : {legendID, secondLegendID}) {
        if (!selectedIDs.contains(id) || id == excluding)
            continue;
        ThematicLegend* legend = legendView(id);
        if (locked(legend->presentation()))
            continue;
        legend->setFrame(QRectF(legendOrigin(id) + QPointF(dx, dy), legend->frame().size()));
    }
}

void DecorationController::moveObjects(PlmWork& work, const QString& excluding, double dx, double dy) const
{
    PlmDecoration decoration = decorationOf(work);
    for (PlmDecorationObject& object : decoration.objects) {
        if (!selectedIDs.contains(object.id) || object.id == excluding || locked(object.presentation))
            continue;
        const QPointF origin = objectOrigin(object, QSizeF(object.width, object.height)) + QPointF(dx, dy);
        object.position = PlmPoint{origin.x(), origin.y()};
        object.presentation.positionInPoints = true;
    }
    // A legend is stored in points only where its position is stored: without thematic
    // settings (or a second series) the flag would pin a position that does not exist.
    for (const QString& id : {legendID, secondLegendID}) {
        if (!selectedIDs.contains(id) || id == excluding)
            continue;
        PlmPresentation& presentation = id == legendID ? decoration.legend : decoration.secondLegend;
        if (presentation.effectiveEditingStyle().lockPosition)
            continue;
        const QPointF origin = legendOrigin(id) + QPointF(dx, dy);
        const PlmPoint moved{origin.x(), origin.y()};
        if (id == legendID && work.thematic) {
            work.thematic->legendPosition = moved;
            presentation.positionInPoints = true;
        } else if (id == secondLegendID && work.thematic && work.thematic->secondSymbols) {
            work.thematic->secondSymbols->legendPosition = moved;
            presentation.positionInPoints = true;
        }
    }
    work.decoration = decoration;
}

void DecorationController::updateLegend(PlmWork& work, const QString& id, const PresentationChange& change,
                                        const std::optional<PlmPoint>& position)
{
    PlmDecoration decoration = decorationOf(work);
    PlmPresentation& presentation = id == legendID ? decoration.legend : decoration.secondLegend;
    change(presentation);
    if (position) {
        if (id == legendID && work.thematic) {
            work.thematic->legendPosition = *position;
            presentation.positionInPoints = true;
        } else if (id != legendID && work.thematic && work.thematic->secondSymbols) {
            work.thematic->secondSymbols->legendPosition = *position;
            presentation.positionInPoints = true;
        }
    }
    work.decoration = decoration;
}

void DecorationController::setRotation(double angle, PlmPresentation& presentation)
{
    PlmEditingStyle style = presentation.effectiveEditingStyle();
    style.rotation = angle;
    presentation.setEffectiveEditingStyle(style);
}

void DecorationController::objectGeometryChanged(const PlmDecorationObject& object, const PlmPoint& position,
                                                 double width, double height, bool ended)
{
    QPointF origin(position.x, position.y);
    if (const std::optional<PlmWork> current = work()) {
        for (const PlmDecorationObject& stored : decorationOf(*current).objects)
            if (stored.id == object.id) {
                origin = objectOrigin(stored, QSizeF(stored.width, stored.height));
                break;
            }
    }
    const double dx = position.x - origin.x(), dy = position.y - origin.y();
    if (!ended) {
        dragCompanions(object.id, dx, dy);
        runBindings();
        m_canvas->guides()->setNeedsDisplay();
        return;
    }
    const QString id = object.id;
    if (work() && m_document.updateWork) {
        try {
            m_document.updateWork(QStringLiteral("Déplacer / redimensionner ") + defaultTitle(object.kind),
                                  [&](PlmWork& w) {
                                      moveObjects(w, id, dx, dy);
                                      PlmDecoration decoration = decorationOf(w);
                                      for (PlmDecorationObject& stored : decoration.objects) {
                                          if (stored.id != id)
                                              continue;
                                          if (stored.presentation.effectiveEditingStyle().lockPosition)
                                              break;
                                          stored.position = position;
                                          stored.presentation.positionInPoints = true;
                                          stored.width = width;
                                          stored.height = height;
                                          break;
                                      }
                                      w.decoration = decoration;
                                  });
        } catch (const PlmError& error) {
            presentError(error.message());
        }
    }
    m_canvas->isGroupManipulating = false;
    m_canvas->setNeedsLayout();
    m_canvas->layoutSubtreeIfNeeded();
}

void DecorationController::moveLegend(const QString& id, const PlmPoint& origin, bool ended)
{
    ThematicLegend* view = legendView(id);
    const QPointF before = legendOrigin(id);
    const double dx = origin.x - before.x(), dy = origin.y - before.y();
    if (!ended) {
        dragCompanions(id, dx, dy);
        view->setFrame(QRectF(QPointF(origin.x, origin.y), view->frame().size()));
        m_canvas->guides()->setNeedsDisplay();
        return;
    }
    if (work() && m_document.updateWork) {
        try {
            m_document.updateWork(QStringLiteral("Déplacer la légende"), [&](PlmWork& w) {
                moveObjects(w, id, dx, dy);
                updateLegend(w, id, [](PlmPresentation&) {}, origin);
            });
        } catch (const PlmError& error) {
            presentError(error.message());
        }
    }
    m_canvas->isGroupManipulating = false;
    m_canvas->setNeedsLayout();
    m_canvas->layoutSubtreeIfNeeded();
}

void DecorationController::rotateLegend(const QString& id, double angle)
{
    if (!work() || !m_document.updateWork)
        return;
    try {
        m_document.updateWork(QStringLiteral("Rotation de la légende"), [&](PlmWork& w) {
            updateLegend(w, id, [angle](PlmPresentation& p) { setRotation(angle, p); }, std::nullopt);
        });
    } catch (const PlmError& error) {
        presentError(error.message());
    }
}

void DecorationController::resizeLegend(const QString& id, const QSizeF& size, const PlmPoint& origin)
{
    if (!work() || !m_document.updateWork)
        return;
    try {
        m_document.updateWork(QStringLiteral("Redimensionner la légende"), [&](PlmWork& w) {
            updateLegend(
                w, id,
                [size](PlmPresentation& p) {
                    p.width = size.width();
                    p.height = size.height();
                    p.legendFitsContent = false;
                },
                origin);
        });
    } catch (const PlmError& error) {
        presentError(error.message());
    }
}

void DecorationController::objectRotated(double angle, bool ended)
{
    if (!ended) {
        runBindings();
        return;
    }
    if (!selected)
        return;
    // A scale bar measures a horizontal ground distance: it takes no rotation, whether it is
    // the dragged element or a companion of it.
    const QSet<QString> ids = selectedIDs;
    applyChange(QStringLiteral("Rotation"), [&](PlmDecoration& d) {
        QSet<QString> turned = ids;
        for (const PlmDecorationObject& object : d.objects)
            if (object.kind == PlmDecorationKind::scale)
                turned.remove(object.id);
        updatePresentations(d, turned, [angle](PlmPresentation& p) { setRotation(angle, p); });
    });
}
