#include "platform/LocalFileOpener.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QProcess>

#include <memory>

namespace LocalFileOpener {

namespace {

QStringList& commandOverride()
{
    static QStringList command;
    return command;
}

Hook& hookOverride()
{
    static Hook hook;
    return hook;
}

// Queued: the caller may show a modal alert, never from inside the call or a process's signal.
void report(const std::function<void(bool opened)>& done, bool opened)
{
    if (done)
        QMetaObject::invokeMethod(QCoreApplication::instance(), [done, opened] { done(opened); }, Qt::QueuedConnection);
}

} // namespace

void setCommand(const QStringList& command) { commandOverride() = command; }

void setHook(Hook hook) { hookOverride() = std::move(hook); }

void open(const QString& path, std::function<void(bool opened)> done)
{
    open(QUrl::fromLocalFile(path), std::move(done));
}

void open(const QUrl& url, std::function<void(bool opened)> done)
{
    if (hookOverride()) {
        report(done, hookOverride()(url));
        return;
    }
    // xdg-open takes a local file as a plain path, anything else as its address.
    const QString target = url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded);
    QStringList command = commandOverride().isEmpty() ? QStringList{QStringLiteral("xdg-open")} : commandOverride();
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProgram(command.takeFirst());
    process->setArguments(command << target);
    // Its messages still reach the terminal.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    auto reported = std::make_shared<bool>(false);
    const auto end = [process, reported, done](bool opened) {
        if (*reported)
            return;
        *reported = true;
        process->deleteLater();
        report(done, opened);
    };
    QObject::connect(process, &QProcess::errorOccurred, process, [end](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart || error == QProcess::Crashed)
            end(false);
    });
    QObject::connect(process, &QProcess::finished, process, [end](int exitCode, QProcess::ExitStatus status) {
        end(status == QProcess::NormalExit && exitCode == 0);
    });
    process->start();
}

} // namespace LocalFileOpener
