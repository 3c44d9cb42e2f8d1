#pragma once

#include <QPlainTextEdit>

#include <functional>

// The text view laid over a text element or a legend title to type its text in place. It
// only decides how the editing ends: Command-Return or losing the focus finishes, Escape
// cancels; a plain Return stays a line break. Its undo history is its own, so undo while
// typing never reaches the document's.
class DecorationTextEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DecorationTextEditor(QWidget* parent = nullptr);

    std::function<void()> onFinish;
    std::function<void()> onCancel;

    // The text the editor holds (plain).
    QString string() const { return toPlainText(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Pastes plain text only. Qt's own paste reads the first listed format without checking
    // that there is one, and the X11 clipboard lists none for a decoration copy.
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void focusOutEvent(QFocusEvent* event) override;
};
