#pragma once

#include <Qt>

class QEvent;

// Which focus losses end an edit. A typed field or an editor laid over a view ends its edit when
// the person goes elsewhere in its window (Tab, a click, a shortcut that moves the focus). The
// window losing its activation (another program or window in front, a dialog), a pop-up or
// context menu, and the menu bar (Alt pressed alone, a menu opened and closed with Escape) only
// borrow the keys: they give them back, and the typing goes on where it was.
namespace FocusLoss {

// Whether a focus lost for that reason leaves the edit open.
bool endsNothing(Qt::FocusReason reason);
// Whether the event is a focus-out that leaves the edit open; false for any other event.
bool endsNothing(const QEvent* event);

} // namespace FocusLoss
