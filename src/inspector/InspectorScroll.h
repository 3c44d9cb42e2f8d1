#pragma once

#include <QScrollArea>

class QVBoxLayout;

// The scrolling column of an inspector: sections are stacked from the top, as wide as the
// column, and the column scrolls vertically only.
class InspectorScroll : public QScrollArea {
    Q_OBJECT
public:
    explicit InspectorScroll(QWidget* parent = nullptr);

    // The stack that receives the sections, in order.
    QWidget* stack() const { return m_stack; }
    QVBoxLayout* stackLayout() const { return m_stackLayout; }
    void addSection(QWidget* section);

    // The column's background: the window colour tinted with the text colour.
    static QColor backgroundColor(const QPalette& palette);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* m_stack;
    QVBoxLayout* m_stackLayout;
};
