#include "desktop/ViewContextMenu.h"

#include "desktop/ViewHost.h"
#include "desktop/ViewNode.h"

#include <QMenu>

ViewContextMenu::~ViewContextMenu() { discard(); }

void ViewContextMenu::discard()
{
    for (const QMetaObject::Connection& item : std::as_const(m_items))
        QObject::disconnect(item);
    m_items.clear();
    if (m_menu)
        m_menu->deleteLater();
}

QMenu* ViewContextMenu::make(ViewNode& view, const QList<Item>& items)
{
    discard();
    m_menu = new QMenu(view.host());
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const auto& [title, action] : items)
        m_items.append(QObject::connect(m_menu->addAction(title), &QAction::triggered, m_menu, action));
    return m_menu;
}

void ViewContextMenu::popUp(ViewNode& view, QMenu* menu, const ViewMouseEvent& e)
{
    if (ViewHost* h = view.host())
        menu->popup(h->mapToGlobal(h->widgetPoint(e.windowLocation).toPoint()));
}
