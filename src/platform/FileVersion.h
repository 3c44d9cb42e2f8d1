#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// Which file a path leads to, and which version of its content is there, as the file system
// keeps them: the same file is reached through links, linked folders and hard links, and a
// program that writes over it (or renames another file in its place) gives it a new version.
// The change time is part of it: a program may put the modification date back, never that.
struct FileVersion {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0; // last change of the content, in nanoseconds since the epoch
    qint64 changedNs = 0;  // last change of the content or of the file's status (mode, dates, name)

    bool operator==(const FileVersion&) const = default;

    // The file the path leads to now, following links; nothing when there is none.
    static std::optional<FileVersion> of(const QString& path);
    // The file open on that descriptor: the one just read, whatever happened to its path since.
    static std::optional<FileVersion> ofOpenFile(int descriptor);

    bool isSameFileAs(const FileVersion& other) const { return device == other.device && inode == other.inode; }
};

// The path made absolute and clean ("." and ".." resolved, no link followed); empty for empty.
QString cleanAbsolutePath(const QString& path);

// Whether two paths lead to one file: the same file when both exist, else the same clean
// absolute path with its folder's links resolved.
bool isSameFile(const QString& first, const QString& second);
