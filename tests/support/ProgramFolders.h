#pragma once

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <csignal>
#include <utility>

// The folders a desktop session gives the program (settings, data, caches, the session's
// runtime folder, temporary files), made for one run under a folder of its own, so that a
// program started by a test meets no other run's settings or single-instance socket.
struct ProgramFolders {
    QTemporaryDir dir;
    static constexpr std::pair<const char*, const char*> folders[] = {
        {"HOME", "home"}, {"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"},
        {"XDG_CACHE_HOME", "cache"}, {"XDG_RUNTIME_DIR", "runtime"}, {"TMPDIR", "tmp"}};

    ProgramFolders()
    {
        for (const auto& [variable, folder] : folders)
            QDir().mkpath(dir.filePath(QLatin1String(folder)));
        // The runtime folder is its owner's alone, as the session makes it.
        QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString runtime() const { return dir.filePath(QStringLiteral("runtime")); }

    // This process's environment with the folders in place, drawn offscreen.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const auto& [variable, folder] : folders)
            env.insert(QLatin1String(variable), dir.filePath(QLatin1String(folder)));
        return env;
    }
};

// In a child about to start the program, as a desktop launcher starts it: whatever the test's
// runner ignores or blocks (nohup ignores SIGHUP), the termination signals take their default
// actions.
inline void restoreTerminationSignals()
{
    sigset_t watched;
    sigemptyset(&watched);
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        std::signal(number, SIG_DFL);
        sigaddset(&watched, number);
    }
    sigprocmask(SIG_UNBLOCK, &watched, nullptr);
}
