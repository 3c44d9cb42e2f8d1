#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Opens a local file in the desktop's application for it, through xdg-open. Qt's own opener
// answers "opened" as soon as xdg-open starts, even when xdg-open then finds no application
// (no browser installed) and only says so on the terminal; here its exit status decides.
namespace LocalFileOpener {

// Starts the opener; `done` is called once, queued on the main thread: false when the
// helper is missing, fails to start, crashes or ends with an error; true when it ends well.
// A helper that keeps running (an application it waits for) reports nothing until it ends.
void open(const QString& path, std::function<void(bool opened)> done);

// The helper and its leading arguments, the path appended (tests); empty: xdg-open.
void setCommand(const QStringList& command);

} // namespace LocalFileOpener
