#include "decorations/DecorationViewKeys.h"

#include "platform/ViewHost.h"
#include "platform/ViewNode.h"

#include <QList>
#include <QMenu>

#include <utility>

std::optional<QString> decorationClipboardCommand(int key)
{
    static const QList<std::pair<int, QString>> commands = {
        {Qt::Key_C, QStringLiteral("copy")},
        {Qt::Key_V, QStringLiteral("paste")},
        {Qt::Key_X, QStringLiteral("cut")},
        {Qt::Key_D, QStringLiteral("duplicate")},
    };
    for (const auto& [k, command] : commands)
        if (k == key)
            return command;
    return std::nullopt;
}

std::optional<QPointF> decorationArrowNudge(const ViewKeyEvent& e)
{
    const bool arrow = e.key == Qt::Key_Left || e.key == Qt::Key_Right || e.key == Qt::Key_Down || e.key == Qt::Key_Up;
    if (!arrow)
        return std::nullopt;
    const double step = (e.modifiers & Qt::ShiftModifier) ? 10 : 1;
    const double dx = e.key == Qt::Key_Left ? -step : e.key == Qt::Key_Right ? step : 0;
    const double dy = e.key == Qt::Key_Down ? -step : e.key == Qt::Key_Up ? step : 0;
    return QPointF(dx, dy);
}

void popUpDecorationMenu(ViewNode& view, QMenu* menu, const ViewMouseEvent& e)
{
    if (ViewHost* h = view.host())
        menu->popup(h->mapToGlobal(h->widgetPoint(e.windowLocation).toPoint()));
}
