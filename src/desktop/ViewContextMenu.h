#pragma once

#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <utility>

class QMenu;
class ViewNode;
struct ViewMouseEvent;

// A view node's context menu, one at a time, parented to its host widget. Its items call back
// into the node, so a replaced menu, or the menu of a node that goes, calls nothing more; it is
// deleted later, since an item may delete the node while the menu still emits.
class ViewContextMenu {
public:
    ViewContextMenu() = default;
    ViewContextMenu(const ViewContextMenu&) = delete;
    ViewContextMenu& operator=(const ViewContextMenu&) = delete;
    ~ViewContextMenu();

    using Item = std::pair<QString, std::function<void()>>;
    // A new menu with these items (not shown), replacing the previous one.
    QMenu* make(ViewNode& view, const QList<Item>& items);
    // Pops a menu up under the pointer (nothing without a host window).
    static void popUp(ViewNode& view, QMenu* menu, const ViewMouseEvent& e);

private:
    void discard();

    QPointer<QMenu> m_menu;
    QList<QMetaObject::Connection> m_items;
};
