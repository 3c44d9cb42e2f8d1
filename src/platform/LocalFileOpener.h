#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// Opens a local file, a folder or a web address in the desktop's application for it, through
// xdg-open: every "open elsewhere" of the program comes here. Qt's own opener answers "opened"
// as soon as xdg-open starts, even when xdg-open then finds no application (no browser
// installed) and only says so on the terminal; here its exit status decides.
namespace LocalFileOpener {

// Starts the opener; `done` (may be empty) is called once, queued on the main thread: false
// when the helper is missing, fails to start, crashes or ends with an error; true when it ends
// well. A helper that keeps running (an application it waits for) reports nothing until it ends.
void open(const QUrl& url, std::function<void(bool opened)> done = {});
void open(const QString& path, std::function<void(bool opened)> done = {});

// Replaces the whole opener (tests): called at once with each address, its answer reported
// to `done` as the helper's would be. An empty function restores the helper.
using Hook = std::function<bool(const QUrl& url)>;
void setHook(Hook hook);

// The helper and its leading arguments, the path or address appended (tests); empty: xdg-open.
void setCommand(const QStringList& command);

} // namespace LocalFileOpener
