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

} // namespace

void setCommand(const QStringList& command) { commandOverride() = command; }

void open(const QString& path, std::function<void(bool opened)> done)
{
    QStringList command = commandOverride().isEmpty() ? QStringList{QStringLiteral("xdg-open")} : commandOverride();
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProgram(command.takeFirst());
    process->setArguments(command << path);
    // Its messages still reach the terminal.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    auto reported = std::make_shared<bool>(false);
    // Queued: the caller may show a modal alert, never from inside the process's signal.
    const auto report = [process, reported, done](bool opened) {
        if (*reported)
            return;
        *reported = true;
        process->deleteLater();
        if (done)
            QMetaObject::invokeMethod(QCoreApplication::instance(), [done, opened] { done(opened); },
                                      Qt::QueuedConnection);
    };
    QObject::connect(process, &QProcess::errorOccurred, process, [report](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart || error == QProcess::Crashed)
            report(false);
    });
    QObject::connect(process, &QProcess::finished, process, [report](int exitCode, QProcess::ExitStatus status) {
        report(status == QProcess::NormalExit && exitCode == 0);
    });
    process->start();
}

} // namespace LocalFileOpener
