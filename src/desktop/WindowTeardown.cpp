#include "desktop/WindowTeardown.h"

#include <QObject>

namespace WindowTeardown {

void silence(QObject* window)
{
    if (!window)
        return;
    window->blockSignals(true);
    // Every descendant, not only the direct children: a field sits in rows, groups and scroll
    // areas.
    for (QObject* descendant : window->findChildren<QObject*>())
        descendant->blockSignals(true);
}

void destroy(QObject* window)
{
    silence(window);
    delete window;
}

} // namespace WindowTeardown
