#pragma once

#include "page/DecorationText.h"
#include "page/DecorationTextAttributes.h"

#include <QBasicTimer>
#include <QList>
#include <QPlainTextEdit>

#include <functional>
#include <optional>
#include <utility>

// The text view laid over a text element or a legend title to type its text in place. It shows
// the text as the page will draw it: laid out by the page's own text code at the box's width,
// drawn at the page's scale on screen, and as tall as its lines (the page clips them to the box;
// while typing every line shows). The caret, the selection, clicks and the line-wise keys follow
// that same layout; the text view underneath keeps the typing, its undo and the clipboard.
//
// It also decides how the editing ends: Command-Return or the focus taken elsewhere in the
// window finishes, Escape cancels; a plain Return stays a line break. A window that merely
// loses its activation keeps the edit open: coming back, the typing goes on. Its undo history
// is its own, so undo while typing never reaches the document's.
class DecorationTextEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DecorationTextEditor(QWidget* parent = nullptr);
    ~DecorationTextEditor() override;

    std::function<void()> onFinish;
    std::function<void()> onCancel;

    // The text the editor holds (plain).
    QString string() const { return toPlainText(); }

    // How the page sets the text: its attributes and its box's width, in points.
    void setPageText(const DecorationTextAttributes& attributes, double boxWidth);
    // Where the box lies on screen: its top-left corner in the parent's pixels, the pixels one
    // point spans, and the box's height in points. The editor covers the box and every line.
    void placeBox(const QPointF& topLeft, double scale, double boxHeight);

    // The text laid out as the editor shows it.
    const DecorationText& shownText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Pastes plain text only. Qt's own paste reads the first listed format without checking
    // that there is one, and the X11 clipboard lists none for a decoration copy.
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

public:
    using QPlainTextEdit::inputMethodQuery;
    // The caret the input method places its window by: the shown one.
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

private:
    // A document position as a paragraph of the shown text and an offset in it, and back.
    std::pair<int, int> paragraphOffset(int position) const;
    int documentPosition(int paragraph, int offset) const;
    // In points, y downward from the box's top.
    QTextLine lineAt(int position) const;
    QRectF caretRect(int position) const;
    int positionAt(const QPointF& point) const;
    QPointF pagePoint(const QPointF& widgetPoint) const;
    // The position a line-wise key moves to from `position`.
    int lineMoveTarget(int position, int lines) const;
    int lineEdgeTarget(int position, bool end) const;
    bool moveByLine(QKeyEvent* event);
    void moveCursorTo(int position, bool extending);
    void textChangedHere();
    void restartBlink();
    // Sets the widget over the box and the lines, once the layout or the place changed.
    void relayout();

    DecorationTextAttributes m_attributes;
    double m_boxWidth = 1;
    double m_boxHeight = 0;
    QPointF m_topLeft;       // the box's top-left corner, parent pixels
    double m_scale = 1;      // pixels per point
    QPointF m_origin;        // the box's top-left corner, own pixels
    mutable std::optional<DecorationText> m_text;
    mutable QList<int> m_paragraphStarts;
    std::optional<double> m_goalX;  // the column a run of up and down keys keeps
    bool m_selecting = false;
    QBasicTimer m_blink;
    bool m_caretShown = true;
};
