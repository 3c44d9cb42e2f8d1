#include "page/DecorationTextEditor.h"

#include "desktop/FocusLoss.h"
#include "model/PlmClampedInt.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineF>
#include <QMimeData>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

// Where the page breaks a paragraph (DecorationText reads "\r\n" as one break).
bool breaksParagraph(const QString& text, qsizetype i)
{
    const QChar c = text.at(i);
    if (c == QLatin1Char('\r'))
        return !(i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'));
    return c == QLatin1Char('\n') || c == QChar(0x2029);
}

} // namespace

DecorationTextEditor::DecorationTextEditor(QWidget* parent) : QPlainTextEdit(parent)
{
    // The text view's own undo/redo acts on the typing only.
    setUndoRedoEnabled(true);
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(document(), &QTextDocument::contentsChanged, this, &DecorationTextEditor::textChangedHere);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &DecorationTextEditor::restartBlink);
    connect(this, &QPlainTextEdit::selectionChanged, viewport(), qOverload<>(&QWidget::update));
}

DecorationTextEditor::~DecorationTextEditor() = default;

void DecorationTextEditor::setPageText(const DecorationTextAttributes& attributes, double boxWidth)
{
    const double width = std::isfinite(boxWidth) ? std::max(boxWidth, 1.0) : 1.0;
    if (m_text && attributes.layoutFont() == m_attributes.layoutFont()
        && attributes.paragraphStyle == m_attributes.paragraphStyle && attributes.kern == m_attributes.kern
        && attributes.baselineOffset == m_attributes.baselineOffset
        && attributes.foregroundColor == m_attributes.foregroundColor && width == m_boxWidth)
        return;
    m_attributes = attributes;
    m_boxWidth = width;
    m_text.reset();
    relayout();
}

void DecorationTextEditor::placeBox(const QPointF& topLeft, double scale, double boxHeight)
{
    m_topLeft = topLeft;
    m_scale = std::isfinite(scale) && scale > 0 ? scale : 1.0;
    m_boxHeight = std::isfinite(boxHeight) ? std::max(boxHeight, 0.0) : 0.0;
    // The text view underneath keeps a font near the shown size, for the input method's
    // fall-backs; what shows is drawn below.
    QFont font = m_attributes.layoutFont();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(std::clamp(font.pointSizeF() * m_scale * 72 / std::max(logicalDpiY(), 1), 1.0, 4000.0));
    if (font != this->font())
        setFont(font);
    relayout();
}

const DecorationText& DecorationTextEditor::shownText() const
{
    if (!m_text) {
        const QString text = string();
        m_text.emplace(text, m_attributes, m_boxWidth);
        m_paragraphStarts = {0};
        for (qsizetype i = 0; i < text.size(); ++i)
            if (breaksParagraph(text, i))
                m_paragraphStarts.append(int(i + 1));
    }
    return *m_text;
}

void DecorationTextEditor::textChangedHere()
{
    m_text.reset();
    relayout();
}

void DecorationTextEditor::relayout()
{
    const DecorationText& text = shownText();
    // The box, widened and lengthened to every laid-out line.
    double right = m_boxWidth;
    for (const auto& layout : text.paragraphs())
        for (int i = 0; i < layout->lineCount(); ++i)
            right = std::max(right, layout->lineAt(i).naturalTextRect().right());
    const double height = std::max(m_boxHeight, text.usedHeight());
    // A pixel more across for the caret at the end of the longest line.
    const QRectF shown(m_topLeft, QSizeF(right * m_scale + 2, height * m_scale + 1));
    const QWidget* parent = parentWidget();
    const QRectF limit = parent ? QRectF(parent->rect()).adjusted(-4096, -4096, 4096, 4096) : shown;
    const QRect geometry = plmAlignedRectWithin(shown, limit);
    m_origin = m_topLeft - QPointF(geometry.topLeft());
    if (geometry != this->geometry())
        setGeometry(geometry);
    viewport()->update();
}

std::pair<int, int> DecorationTextEditor::paragraphOffset(int position) const
{
    const DecorationText& text = shownText();
    const auto next = std::upper_bound(m_paragraphStarts.cbegin(), m_paragraphStarts.cend(), position);
    const int paragraph = std::clamp(int(next - m_paragraphStarts.cbegin()) - 1, 0,
                                     int(text.paragraphs().size()) - 1);
    const int length = int(text.paragraphs()[paragraph]->text().size());
    return {paragraph, std::clamp(position - m_paragraphStarts[paragraph], 0, length)};
}

int DecorationTextEditor::documentPosition(int paragraph, int offset) const
{
    shownText();
    return m_paragraphStarts.value(paragraph) + offset;
}

QTextLine DecorationTextEditor::lineAt(int position) const
{
    const auto [paragraph, offset] = paragraphOffset(position);
    const QTextLayout& layout = *shownText().paragraphs()[paragraph];
    const QTextLine line = layout.lineForTextPosition(offset);
    return line.isValid() ? line : layout.lineAt(layout.lineCount() - 1);
}

QRectF DecorationTextEditor::caretRect(int position) const
{
    const QTextLine line = lineAt(position);
    if (!line.isValid())
        return {};
    const int offset = paragraphOffset(position).second;
    return QRectF(line.cursorToX(offset), line.y() - m_attributes.baselineOffset, 0, line.height());
}

int DecorationTextEditor::positionAt(const QPointF& point) const
{
    const DecorationText& text = shownText();
    const double y = point.y() + m_attributes.baselineOffset;
    int paragraph = 0;
    QTextLine chosen;
    // The first line whose bottom lies below the point, else the last one.
    for (int p = 0; p < int(text.paragraphs().size()) && !chosen.isValid(); ++p) {
        const QTextLayout& layout = *text.paragraphs()[p];
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            paragraph = p;
            if (y < line.y() + line.height()) {
                chosen = line;
                break;
            }
        }
    }
    if (!chosen.isValid()) {
        const QTextLayout& last = *text.paragraphs()[paragraph];
        chosen = last.lineAt(last.lineCount() - 1);
    }
    return chosen.isValid() ? documentPosition(paragraph, chosen.xToCursor(point.x())) : 0;
}

QPointF DecorationTextEditor::pagePoint(const QPointF& widgetPoint) const
{
    return (widgetPoint - m_origin) / m_scale;
}

int DecorationTextEditor::lineMoveTarget(int position, int lines) const
{
    const DecorationText& text = shownText();
    auto [paragraph, offset] = paragraphOffset(position);
    const QTextLayout* layout = text.paragraphs()[paragraph].get();
    int index = layout->lineForTextPosition(offset).lineNumber();
    if (index < 0)
        index = layout->lineCount() - 1;
    const double x = m_goalX.value_or(layout->lineAt(index).cursorToX(offset));
    index += lines;
    while (index < 0 && paragraph > 0) {
        layout = text.paragraphs()[--paragraph].get();
        index += layout->lineCount();
    }
    while (index >= layout->lineCount() && paragraph + 1 < int(text.paragraphs().size())) {
        index -= layout->lineCount();
        layout = text.paragraphs()[++paragraph].get();
    }
    // Up from the first line goes to the start, down from the last to the end.
    if (index < 0)
        return 0;
    if (index >= layout->lineCount())
        return document()->characterCount() - 1;
    return documentPosition(paragraph, layout->lineAt(index).xToCursor(x));
}

int DecorationTextEditor::lineEdgeTarget(int position, bool end) const
{
    const auto [paragraph, offset] = paragraphOffset(position);
    const QTextLayout& layout = *shownText().paragraphs()[paragraph];
    const QTextLine line = lineAt(position);
    if (!line.isValid())
        return position;
    if (!end)
        return documentPosition(paragraph, line.textStart());
    int edge = line.textStart() + line.textLength();
    // A wrapped line ends before the blank it broke at: past it is the next line's start.
    if (line.lineNumber() + 1 < layout.lineCount() && edge > line.textStart()
        && layout.text().at(edge - 1).isSpace())
        --edge;
    return documentPosition(paragraph, edge);
}

void DecorationTextEditor::moveCursorTo(int position, bool extending)
{
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::clamp(position, 0, document()->characterCount() - 1),
                       extending ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    setTextCursor(cursor);
}

bool DecorationTextEditor::moveByLine(QKeyEvent* event)
{
    const int position = textCursor().position();
    const struct {
        QKeySequence::StandardKey key;
        bool extending;
        int lines;  // 0: the line's start, 2: its end
    } moves[] = {
        {QKeySequence::MoveToPreviousLine, false, -1}, {QKeySequence::MoveToNextLine, false, 1},
        {QKeySequence::SelectPreviousLine, true, -1},  {QKeySequence::SelectNextLine, true, 1},
        {QKeySequence::MoveToStartOfLine, false, 0},   {QKeySequence::MoveToEndOfLine, false, 2},
        {QKeySequence::SelectStartOfLine, true, 0},    {QKeySequence::SelectEndOfLine, true, 2},
    };
    for (const auto& move : moves) {
        if (!event->matches(move.key))
            continue;
        if (move.lines == -1 || move.lines == 1) {
            const std::optional<double> goal = m_goalX ? m_goalX : std::optional<double>(caretRect(position).x());
            moveCursorTo(lineMoveTarget(position, move.lines), move.extending);
            m_goalX = goal;
        } else {
            moveCursorTo(lineEdgeTarget(position, move.lines == 2), move.extending);
        }
        return true;
    }
    return false;
}

void DecorationTextEditor::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (onCancel)
            onCancel();
        return;
    }
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isReturn && (event->modifiers() & Qt::ControlModifier)) {
        if (onFinish)
            onFinish();
        return;
    }
    // The lines are those shown: the text view underneath breaks them its own way.
    if (moveByLine(event)) {
        event->accept();
        return;
    }
    // Undo and redo stay inside the editor: the document's shortcut must not see them.
    QPlainTextEdit::keyPressEvent(event);
    event->accept();
}

void DecorationTextEditor::focusInEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusInEvent(event);
    restartBlink();
}

void DecorationTextEditor::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    m_blink.stop();
    viewport()->update();
    // A focus lost to a popup (the context menu), the menu bar or with the window's activation
    // (the person is in another window for a while) is no end of editing: the typing goes on
    // on return.
    if (FocusLoss::endsNothing(event))
        return;
    if (onFinish)
        onFinish();
}

void DecorationTextEditor::restartBlink()
{
    m_goalX.reset();
    m_caretShown = true;
    const int flash = QApplication::cursorFlashTime();
    if (hasFocus() && flash > 0)
        m_blink.start(flash / 2, this);
    else
        m_blink.stop();
    viewport()->update();
}

void DecorationTextEditor::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_blink.timerId()) {
        QPlainTextEdit::timerEvent(event);
        return;
    }
    m_caretShown = !m_caretShown;
    viewport()->update();
}

void DecorationTextEditor::scrollContentsBy(int, int)
{
    // The text view underneath may scroll its own lines; the shown ones never move.
    viewport()->update();
}

void DecorationTextEditor::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().color(QPalette::Base));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(m_origin);
    painter.scale(m_scale, m_scale);
    const DecorationText& text = shownText();
    const QSizeF area = QSizeF(viewport()->width(), viewport()->height()) / m_scale;

    const QTextCursor cursor = textCursor();
    if (cursor.hasSelection()) {
        QColor highlight = palette().color(QPalette::Highlight);
        highlight.setAlpha(150);
        const int start = cursor.selectionStart();
        const int end = cursor.selectionEnd();
        for (int p = 0; p < int(text.paragraphs().size()); ++p) {
            const QTextLayout& layout = *text.paragraphs()[p];
            const int from = documentPosition(p, 0);
            for (int i = 0; i < layout.lineCount(); ++i) {
                const QTextLine line = layout.lineAt(i);
                const int lineEnd = line.textStart() + line.textLength();
                const int a = std::max(start - from, line.textStart());
                const int b = std::min(end - from, lineEnd);
                // A selection running on past the paragraph's end shows a blank's width more.
                const bool runsOn = i + 1 == layout.lineCount() && end - from > lineEnd && start - from <= lineEnd;
                if (a > b || (a == b && !runsOn))
                    continue;
                const double x1 = line.cursorToX(a);
                const double x2 = line.cursorToX(b) + (runsOn ? line.height() / 4 : 0);
                painter.fillRect(QRectF(std::min(x1, x2), line.y() - m_attributes.baselineOffset,
                                        std::abs(x2 - x1), line.height()),
                                 highlight);
            }
        }
    }

    // The page draws into a y-up rectangle from its top edge: flip once around the box's top.
    painter.save();
    painter.scale(1, -1);
    text.draw(painter, QRectF(0, -area.height(), area.width(), area.height()));
    painter.restore();

    if (hasFocus() && m_caretShown && !cursor.hasSelection()) {
        const QRectF caret = caretRect(cursor.position());
        QColor ink = m_attributes.foregroundColor;
        ink.setAlpha(255);
        painter.fillRect(QRectF(caret.x(), caret.y(), 1 / m_scale, caret.height()), ink);
    }
}

void DecorationTextEditor::mousePressEvent(QMouseEvent* event)
{
    // Other buttons do nothing here (the context menu comes with its own event), nor reach the
    // page underneath.
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    m_selecting = true;
    moveCursorTo(positionAt(pagePoint(event->position())), event->modifiers() & Qt::ShiftModifier);
}

void DecorationTextEditor::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    if (m_selecting && (event->buttons() & Qt::LeftButton))
        moveCursorTo(positionAt(pagePoint(event->position())), true);
}

void DecorationTextEditor::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::LeftButton)
        m_selecting = false;
}

void DecorationTextEditor::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    QTextCursor cursor = textCursor();
    cursor.setPosition(positionAt(pagePoint(event->position())));
    cursor.select(QTextCursor::WordUnderCursor);
    setTextCursor(cursor);
}

QVariant DecorationTextEditor::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (query != Qt::ImCursorRectangle)
        return QPlainTextEdit::inputMethodQuery(query);
    const QRectF caret = caretRect(textCursor().position());
    return QRectF(m_origin + caret.topLeft() * m_scale, QSizeF(1, caret.height() * m_scale)).toAlignedRect();
}

bool DecorationTextEditor::canInsertFromMimeData(const QMimeData* source) const
{
    return source && source->hasText();
}

void DecorationTextEditor::insertFromMimeData(const QMimeData* source)
{
    if (!source || !source->hasText() || isReadOnly())
        return;
    insertPlainText(source->text());
}
