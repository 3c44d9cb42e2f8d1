#pragma once

#include "app/StudioObjectReference.h"

#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QStyledItemDelegate>
#include <functional>
#include <optional>

class StudioOutlineModel;

// Draws the objects outline's rows: the title (sections in semibold), then the eye, the lock
// and the trash of each object, and answers clicks on those three; the title is renamed in
// place. Works with StudioOutlineModel's roles.
class StudioOutlineDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit StudioOutlineDelegate(QObject* parent = nullptr);

    // A click on the eye (visibility true) or the lock (visibility false) of an available object.
    std::function<void(const StudioObjectReference&, bool visibility)> onToggle;
    // A click on the trash of an editable object.
    std::function<void(const StudioObjectReference&)> onDelete;

    // The symbol drawn in a cell ("eye", "eye.slash", "lock.fill", "lock.open", "trash"), or
    // empty for the title and section rows; and whether its button is enabled.
    static QString symbolName(const QModelIndex& index);
    static bool isButtonEnabled(const QModelIndex& index);
    // The button's square inside a cell: 22 points (26 for the trash), centred.
    static QRect buttonRect(const QRect& cell, int column);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // A typed name is stored once the editor has closed: storing it rebuilds the rows, which
    // must not happen under the view while it still holds the editor.
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
    // Ends a rename in progress and stores the name typed now, rather than once the event loop
    // comes back: a save, a close or the end must find it among the document's changes.
    void commitRename();

protected:
    // A rename stays open while its window is away (Qt's item delegate ends it on any focus
    // loss): coming back, the typing goes on. Return, Escape, a click elsewhere or a command
    // that takes every edit ends it.
    bool eventFilter(QObject* object, QEvent* event) override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    struct PendingRename {
        QPointer<StudioOutlineModel> model;
        StudioObjectReference reference;
        QString name;
    };
    void storePendingRename() const;

    mutable QPointer<QWidget> m_openEditor;
    mutable std::optional<PendingRename> m_pendingRename;
    // Three buttons a row on tens of rows each paint: each symbol, tint and size is drawn from
    // its SVG once.
    mutable QHash<QString, QPixmap> m_buttonPixmaps;
};
