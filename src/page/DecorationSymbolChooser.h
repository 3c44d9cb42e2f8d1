#pragma once

#include <QDialog>

#include <functional>

class QLineEdit;
class QListWidget;

// A small window listing the symbol glyphs the program can draw, with a filter, from which
// the layout page takes a symbol for a new or selected symbol element. It is not modal: the
// choice comes back through `chosen` and the window closes itself.
class DecorationSymbolChooser : public QDialog {
    Q_OBJECT
public:
    explicit DecorationSymbolChooser(QWidget* parent = nullptr);

    std::function<void(const QString& name)> chosen;

    QLineEdit* filterField() const { return m_filter; }
    QListWidget* list() const { return m_list; }
    // The names shown for a filter (case-insensitive substring of the name).
    static QStringList names(const QString& filter);
    // Reports the current item and closes.
    void choose();

private:
    void refill();

    QLineEdit* m_filter;
    QListWidget* m_list;
};
