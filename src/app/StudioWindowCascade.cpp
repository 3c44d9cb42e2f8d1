#include "app/StudioWindowCascade.h"

namespace StudioWindowCascade {

QPoint position(QPoint wanted, QSize size, const QList<QPoint>& taken, const QRect& available)
{
    QPoint corner = wanted;
    // Each turn leaves one taken corner behind, so this many turns always end.
    for (qsizetype turn = 0; turn <= taken.size(); ++turn) {
        if (!taken.contains(corner))
            return corner;
        corner += QPoint(step, step);
        const bool leaves = corner.x() + size.width() > available.x() + available.width()
                         || corner.y() + size.height() > available.y() + available.height();
        if (leaves && available.isValid() && corner != available.topLeft())
            corner = available.topLeft();
    }
    return corner;
}

} // namespace StudioWindowCascade
