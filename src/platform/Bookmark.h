#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>

// Persistent references to files. On Linux a bookmark is the file's absolute path; it is
// checked for existence when made and when resolved. Scoped access has nothing to open.
namespace Bookmark {

class Error : public std::runtime_error {
public:
    explicit Error(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
    QString message() const { return message_; }

private:
    QString message_;
};

// Bookmark data for an existing file or folder; throws Error when it does not exist.
QByteArray make(const QString& path);

// The absolute path a bookmark names; throws Error when the data is not a bookmark
// or the file no longer exists.
QString resolve(const QByteArray& data);

// Always true: there is no sandbox to enter.
bool startAccessing(const QString& path);
void stopAccessing(const QString& path);

} // namespace Bookmark
