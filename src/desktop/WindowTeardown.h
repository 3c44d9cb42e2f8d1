#pragma once

class QObject;

// A window, panel or view being torn down answers none of its children any more. Hiding or
// deleting a window takes the focus from the field holding it, and the field says its editing
// finished; a list emptied as it goes says its selection changed. Whoever handles that may
// already be half gone (the pane that owned the window, the page the field drew on). So the
// owner silences the window, and everything in it, before it lets the window go. The fields'
// own event filters stay quiet too: they do nothing while their field's signals are blocked.
namespace WindowTeardown {

// Blocks the signals of the object and of every object under it. Nothing is unblocked again:
// the window is on its way out.
void silence(QObject* window);

// Silences the object, then deletes it. Nothing when it is null.
void destroy(QObject* window);

} // namespace WindowTeardown
