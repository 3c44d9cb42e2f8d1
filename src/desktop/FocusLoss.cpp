#include "desktop/FocusLoss.h"

#include <QFocusEvent>

namespace FocusLoss {

bool endsNothing(Qt::FocusReason reason)
{
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || reason == Qt::MenuBarFocusReason;
}

bool endsNothing(const QEvent* event)
{
    return event && event->type() == QEvent::FocusOut && endsNothing(static_cast<const QFocusEvent*>(event)->reason());
}

} // namespace FocusLoss
