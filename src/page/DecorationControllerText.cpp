#include "page/DecorationController.h"

#include "page/DecorationDrawing.h"
#include "page/DecorationObjectView.h"
#include "page/DecorationText.h"
#include "page/DecorationTextAttributes.h"
#include "page/DecorationTextEditor.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "page/LegendLayout.h"
#include "desktop/ViewHost.h"

#include <QLineF>
#include <QPointer>
#include <QTextCursor>

#include <algorithm>
#include <cmath>

void DecorationController::beginTextEdit()
{
    commitTextEdit();
    if (!selected)
        return;
    const std::optional<PlmPresentation> presentation = selectedPresentation();
    if (!presentation)
        return;
    const QString target = *selected;
    QString text;
    if (target == QLatin1String("legend") || target == QLatin1String("secondLegend")) {
        ThematicLegend* legend = legendView(target);
        text = legend->presentation().title.value_or(legend->title());
    } else {
        DecorationObjectView* objectView = this->objectView(target);
        if (!objectView)
            return;
        const PlmDecorationObject& object = objectView->object;
        if (isText(object.kind)) {
            text = object.text;
        } else if (object.kind == PlmDecorationKind::legend) {
            if (object.presentation.title)
                text = *object.presentation.title;
            else if (objectView->legendSource)
                text = objectView->legendSource().value_or(LegendData()).title;
        } else {
            return;
        }
    }
    const std::optional<TextPlace> place = textPlace(target);
    if (!place)
        return;

    ViewHost* host = place->view->host();
    auto* editor = new DecorationTextEditor(host);
    QPalette palette = editor->palette();
    // The editor hides the text it replaces: its ground is the element's background laid on
    // the page, made opaque (a see-through ground showed the old text behind the typing).
    const QColor page = m_canvas->pageColor;
    const PlmColor& ground = presentation->background;
    const double a = std::clamp(ground.alpha, 0.0, 1.0);
    const auto over = [a](double top, int below) {
        return std::clamp(int(std::lround(255 * std::clamp(top, 0.0, 1.0) * a + below * (1 - a))), 0, 255);
    };
    palette.setColor(QPalette::Base,
                     QColor(over(ground.red, page.red()), over(ground.green, page.green()), over(ground.blue, page.blue())));
    editor->setPalette(palette);
    editor->setPlainText(text);
    // The typing starts a fresh history: setting the text is not an undoable step, nor typing.
    editor->document()->clearUndoRedoStacks();
    editor->document()->setModified(false);
    m_editor = editor;
    m_editorTarget = target;
    m_editorOriginal = text;
    placeTextEditor();
    if (host)
        editor->show();
    QPointer<DecorationController> self(this);
    editor->onFinish = [self] {
        if (self)
            self->commitTextEdit();
    };
    editor->onCancel = [self] {
        if (self)
            self->cancelTextEdit();
    };
    connect(editor, &QPlainTextEdit::textChanged, this, &DecorationController::textDidChange);
    // The canvas keeps every click inside the editor's box for it.
    m_canvas->textEditorHit = [self](const QPointF& p) -> ViewNode* {
        if (!self || !self->m_editor || !self->m_editorTarget)
            return nullptr;
        const std::optional<TextPlace> place = self->textPlace(*self->m_editorTarget);
        if (!place)
            return nullptr;
        return place->box.contains(place->view->convertFrom(p, self->m_canvas)) ? place->view : nullptr;
    };
    // A zoom, a scroll or a new layout of the page takes the editor along.
    m_canvas->onPlacementChange = [self] {
        if (self)
            self->placeTextEditor();
    };
    if (host && host->isVisible())
        editor->setFocus(Qt::OtherFocusReason);
    QTextCursor cursor = editor->textCursor();
    cursor.movePosition(QTextCursor::End);
    editor->setTextCursor(cursor);
}

std::optional<DecorationController::TextPlace> DecorationController::textPlace(const QString& target) const
{
    if (target == QLatin1String("legend") || target == QLatin1String("secondLegend")) {
        ThematicLegend* legend = legendView(target);
        if (!legend)
            return std::nullopt;
        const LegendData data = legend->legendData();
        return TextPlace{legend, LegendLayout(data).title,
                         textAttributes(LegendLayout::titlePresentation(data.presentation))};
    }
    DecorationObjectView* view = objectView(target);
    if (!view)
        return std::nullopt;
    const PlmDecorationObject& object = view->object;
    if (object.kind == PlmDecorationKind::legend) {
        if (!view->legendCopy)
            return TextPlace{view, view->bounds(), textAttributes(LegendLayout::titlePresentation(object.presentation))};
        return TextPlace{view, LegendLayout(*view->legendCopy).title,
                         textAttributes(LegendLayout::titlePresentation(view->legendCopy->presentation))};
    }
    return TextPlace{view, decorationContentBox(view->bounds(), object.presentation.effectiveEditingStyle()),
                     textAttributes(object.presentation)};
}

void DecorationController::placeTextEditor()
{
    if (!m_editor || !m_editorTarget)
        return;
    const std::optional<TextPlace> place = textPlace(*m_editorTarget);
    if (!place)
        return;
    ViewHost* host = place->view->host();
    if (!host || m_editor->parentWidget() != host)
        return;
    // The box's top-left corner (y up: its top edge is its largest y) and the pixels of a point.
    const QRectF& box = place->box;
    const QPointF corner(box.left(), box.top() + box.height());
    const QPointF topLeft = host->widgetPoint(place->view->convertToRoot(corner));
    const double span = std::max(box.width(), 1.0);
    const QPointF across = host->widgetPoint(place->view->convertToRoot(corner + QPointF(span, 0)));
    m_editor->setPageText(place->attributes, box.width());
    m_editor->placeBox(topLeft, QLineF(topLeft, across).length() / span, box.height());
}

void DecorationController::textDidChange()
{
    if (m_draftDirty)
        return;
    m_draftDirty = true;
    if (m_document.noteDraft)
        m_document.noteDraft(true);
}

void DecorationController::commitTextEdit()
{
    if (!m_editor || !m_editorTarget)
        return;
    const QString text = m_editor->string();
    const QString target = *m_editorTarget;
    QPointer<DecorationTextEditor> editor = m_editor;
    m_editor = nullptr;
    m_editorTarget.reset();
    m_canvas->textEditorHit = nullptr;
    m_canvas->onPlacementChange = nullptr;
    // The text is taken: nothing is being typed any more.
    editor->document()->setModified(false);
    editor->onFinish = nullptr;
    editor->onCancel = nullptr;
    disconnect(editor, nullptr, this, nullptr);
    editor->hide();
    editor->deleteLater();
    // The step first: the document never looks unchanged between the draft and its step.
    if (text != m_editorOriginal)
        applyChange(QStringLiteral("Modifier le texte"), [&](PlmDecoration& d) {
            setText(text, target, d);
            growToText(target, d);
        });
    if (m_draftDirty) {
        m_draftDirty = false;
        if (m_document.noteDraft)
            m_document.noteDraft(false);
    }
}

void DecorationController::cancelTextEdit()
{
    if (m_draftDirty) {
        m_draftDirty = false;
        if (m_document.noteDraft)
            m_document.noteDraft(false);
    }
    if (m_editor) {
        m_editor->document()->setModified(false);
        m_editor->onFinish = nullptr;
        m_editor->onCancel = nullptr;
        disconnect(m_editor, nullptr, this, nullptr);
        m_editor->hide();
        m_editor->deleteLater();
    }
    m_editor = nullptr;
    m_editorTarget.reset();
    m_canvas->textEditorHit = nullptr;
    m_canvas->onPlacementChange = nullptr;
}

void DecorationController::setText(const QString& text, const QString& target, PlmDecoration& decoration)
{
    if (target == QLatin1String("legend")) {
        decoration.legend.title = text;
        return;
    }
    if (target == QLatin1String("secondLegend")) {
        decoration.secondLegend.title = text;
        return;
    }
    for (PlmDecorationObject& object : decoration.objects)
        if (object.id == target) {
            if (object.kind == PlmDecorationKind::legend)
                object.presentation.title = text;
            else
                object.text = text;
            return;
        }
}

void DecorationController::growToText(const QString& target, PlmDecoration& decoration) const
{
    for (PlmDecorationObject& object : decoration.objects) {
        if (object.id != target)
            continue;
        if (!isText(object.kind))
            return;
        // The lines as the page lays them out in the frame's content box.
        const QSizeF size(object.width, object.height);
        const QRectF content = decorationContentBox(QRectF(QPointF(), size), object.presentation.effectiveEditingStyle());
        const double used = DecorationText(object.text, textAttributes(object.presentation), content.width()).usedHeight();
        const double height = used + (size.height() - content.height());
        if (!(height > object.height) || !std::isfinite(height))
            return;
        // An element placed by fractions stays where its fractions put it, kept on the page by
        // the placement rule; one placed in points keeps its top edge.
        if (object.presentation.positionInPoints.value_or(false)) {
            const QPointF origin = objectOrigin(object, size);
            const QSizeF grown(object.width, height);
            const QPointF below(origin.x(), origin.y() + object.height - height);
            object.position.y = ThematicCanvas::keptWithin(below, grown, m_canvas->bounds()).y();
        }
        object.height = height;
        return;
    }
}

PlmWork DecorationController::applyingPendingTextEdit(const PlmWork& work) const
{
    if (!m_editor || !m_editorTarget)
        return work;
    PlmWork result = work;
    PlmDecoration decoration = decorationOf(work);
    setText(m_editor->string(), *m_editorTarget, decoration);
    growToText(*m_editorTarget, decoration);
    result.decoration = decoration;
    return result;
}

PlmDecoration DecorationController::applyingPendingTextEdit(const PlmDecoration& decoration) const
{
    PlmDecoration result = decoration;
    if (m_editor && m_editorTarget) {
        setText(m_editor->string(), *m_editorTarget, result);
        growToText(*m_editorTarget, result);
    }
    return result;
}
