#include "page/DecorationController.h"

#include "page/DecorationObjectView.h"
#include "page/DecorationTextAttributes.h"
#include "page/DecorationTextEditor.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "model/PlmClampedInt.h"
#include "desktop/ViewHost.h"

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
    ViewNode* view = nullptr;
    QString text;
    bool legendTitleBand = false;
    if (target == QLatin1String("legend") || target == QLatin1String("secondLegend")) {
        ThematicLegend* legend = legendView(target);
        view = legend;
        text = legend->presentation().title.value_or(legend->title());
        legendTitleBand = true;
    } else {
        DecorationObjectView* objectView = this->objectView(target);
        if (!objectView)
            return;
        view = objectView;
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
    const QRectF b = view->bounds();
    QRectF rect = b.adjusted(4, 4, -4, -4);
    if (legendTitleBand)
        rect = QRectF(b.left() + 8, b.top() + b.height() - 36, b.width() - 16, 30);

    ViewHost* host = view->host();
    auto* editor = new DecorationTextEditor(host);
    const DecorationTextAttributes attributes = textAttributes(*presentation);
    editor->setFont(attributes.layoutFont());
    QPalette palette = editor->palette();
    palette.setColor(QPalette::Text, decorationColor(presentation->color));
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
    QTextOption option = editor->document()->defaultTextOption();
    option.setAlignment(decorationQtAlignment(presentation->alignment));
    editor->document()->setDefaultTextOption(option);
    // The typing starts a fresh history: setting the text is not an undoable step.
    editor->document()->clearUndoRedoStacks();
    if (host) {
        const QPointF a = host->widgetPoint(view->convertToRoot(rect.topLeft()));
        const QPointF c = host->widgetPoint(view->convertToRoot(rect.bottomRight()));
        const QRectF shown = QRectF(a, c).normalized();
        // Bounded before it becomes int: the text may lie far off the view.
        const QRectF limit = QRectF(host->rect()).adjusted(-4096, -4096, 4096, 4096);
        editor->setGeometry(plmAlignedRectWithin(shown, limit));
        // The page may be shown zoomed: the typing keeps the size the text has on screen.
        const double zoom = rect.width() > 0 ? shown.width() / rect.width() : 1.0;
        if (zoom > 0 && std::abs(zoom - 1) > 1e-6) {
            QFont font = editor->font();
            if (font.pixelSize() > 0)
                font.setPixelSize(plmClampedInt(std::round(font.pixelSize() * zoom), 1, 1 << 16));
            else
                font.setPointSizeF(std::max(1.0, font.pointSizeF() * zoom));
            editor->setFont(font);
        }
        editor->show();
    }
    m_editor = editor;
    m_editorTarget = target;
    m_editorOriginal = text;
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
    // The canvas keeps every click inside the editor for it.
    m_canvas->textEditorHit = [view, rect, self](const QPointF& p) -> ViewNode* {
        if (!self || !self->m_editor)
            return nullptr;
        return rect.contains(view->convertFrom(p, self->m_canvas)) ? view : nullptr;
    };
    if (host && host->isVisible())
        editor->setFocus(Qt::OtherFocusReason);
    QTextCursor cursor = editor->textCursor();
    cursor.movePosition(QTextCursor::End);
    editor->setTextCursor(cursor);
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
    editor->onFinish = nullptr;
    editor->onCancel = nullptr;
    disconnect(editor, nullptr, this, nullptr);
    editor->hide();
    editor->deleteLater();
    // The step first: the document never looks unchanged between the draft and its step.
    if (text != m_editorOriginal)
        applyChange(QStringLiteral("Modifier le texte"), [&](PlmDecoration& d) { setText(text, target, d); });
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
        m_editor->onFinish = nullptr;
        m_editor->onCancel = nullptr;
        disconnect(m_editor, nullptr, this, nullptr);
        m_editor->hide();
        m_editor->deleteLater();
    }
    m_editor = nullptr;
    m_editorTarget.reset();
    m_canvas->textEditorHit = nullptr;
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

PlmWork DecorationController::applyingPendingTextEdit(const PlmWork& work) const
{
    if (!m_editor || !m_editorTarget)
        return work;
    PlmWork result = work;
    PlmDecoration decoration = decorationOf(work);
    setText(m_editor->string(), *m_editorTarget, decoration);
    result.decoration = decoration;
    return result;
}

PlmDecoration DecorationController::applyingPendingTextEdit(const PlmDecoration& decoration) const
{
    PlmDecoration result = decoration;
    if (m_editor && m_editorTarget)
        setText(m_editor->string(), *m_editorTarget, result);
    return result;
}
