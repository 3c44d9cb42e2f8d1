#pragma once

#include "library/LibraryWindowController.h"
#include "librarystore/PlmLibraryStore.h"
#include "model/PlmMapCodec.h"
#include "desktop/DialogHooks.h"
#include "platform/LocalFileOpener.h"
#include "platform/UserDefaults.h"
#include "support/CanvasTestMaps.h"
#include "support/EventWait.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

// A library window on a library of its own in a temporary folder, with a trash folder of its
// own, every question answered from queues (an empty queue cancels) and every answer recorded.
struct LibraryWindowScene {
    QTemporaryDir dir;
    UserDefaults::TemporaryScope defaults;
    QString root = dir.filePath(QStringLiteral("Atlas.plmlibrary"));
    // A real package (its manifest made), with a trash folder of its own rather than the
    // desktop's.
    PlmLibraryStore store = makePackage(root, dir.filePath(QStringLiteral("Corbeille")));

    QList<DialogHooks::Alert> alerts;   // modal alerts and sheets, in order
    QList<int> alertAnswers;            // button indexes; empty: the last button
    QStringList errors;
    QList<DialogHooks::OpenPanelRequest> openPanels;
    QStringList openAnswers;            // one answer: these files
    QList<std::pair<QString, QString>> namePrompts; // title, proposed name
    QStringList nameAnswers;            // empty: cancelled
    QStringList revealed;
    struct Opened {
        PlmMap map;
        QString path;
        QList<PlmInputSheet> sheets;
    };
    QList<Opened> opened;

    std::unique_ptr<DialogHooks::ScopedHooks> hooks;
    std::unique_ptr<LibraryWindowController> controller;

    explicit LibraryWindowScene(bool opensThroughHook = true)
    {
        DialogHooks::Hooks h;
        const auto answer = [this](const DialogHooks::Alert& a) {
            alerts << a;
            if (alertAnswers.isEmpty())
                return int(std::max<qsizetype>(a.buttons.size(), 1)) - 1;
            return alertAnswers.takeFirst();
        };
        h.alert = answer;
        h.sheet = [answer](const DialogHooks::Alert& a, std::function<void(int)> done) {
            const int chosen = answer(a);
            if (done)
                done(chosen);
        };
        h.presentError = [this](const QString& message, QWidget*) { errors << message; };
        h.openPanel = [this](const DialogHooks::OpenPanelRequest& r) -> std::optional<QStringList> {
            openPanels << r;
            if (openAnswers.isEmpty())
                return std::nullopt;
            const QStringList files = openAnswers;
            openAnswers.clear();
            return files;
        };
        hooks = std::make_unique<DialogHooks::ScopedHooks>(h);
        LibraryWindowController::setNamePrompt([this](const QString& title, const QString& proposed, QWidget*) {
            namePrompts.append({title, proposed});
            return nameAnswers.isEmpty() ? std::nullopt : std::optional<QString>(nameAnswers.takeFirst());
        });
        LocalFileOpener::setHook([this](const QUrl& folder) {
            revealed << folder.toLocalFile();
            return true;
        });
        if (opensThroughHook)
            LibraryWindowController::setMapOpener([this](const PlmMap& map, const QString& path, const QList<PlmInputSheet>& sheets) {
                opened.append({map, path, sheets});
            });
        controller = std::make_unique<LibraryWindowController>(store);
    }
    ~LibraryWindowScene()
    {
        controller.reset();
        LibraryWindowController::setNamePrompt(nullptr);
        LocalFileOpener::setHook(nullptr);
        LibraryWindowController::setMapOpener(nullptr);
    }
    LibraryWindowScene(const LibraryWindowScene&) = delete;
    LibraryWindowScene& operator=(const LibraryWindowScene&) = delete;

    static PlmLibraryStore makePackage(const QString& path, const QString& trash)
    {
        PlmLibraryStore::createPackage(path, std::nullopt);
        return PlmLibraryStore(path, trash);
    }

    QString path(const QString& relative) const { return store.root() + QLatin1Char('/') + relative; }

    // A map of n squares, with metadata, written at a path of the library (folders made).
    static PlmMap squares(const QString& name, int n, const QMap<QString, QString>& metadata = {})
    {
        PlmEntityList entities;
        for (int i = 0; i < n; ++i)
            entities.append(CanvasTestMaps::squareEntity(QStringLiteral("e%1").arg(i), i * 12, (i % 3) * 9, i * 12 + 10,
                                                         (i % 3) * 9 + 7, PlmColor{0.2 + 0.1 * (i % 5), 0.5, 0.8 - 0.1 * (i % 4), 1}));
        return PlmMap(name, entities, metadata);
    }
    QString writeMap(const QString& relative, const PlmMap& map) const
    {
        return writeFile(path(relative), PlmMapCodec::encode(map));
    }
    static QString writeFile(const QString& file, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile out(file);
        if (out.open(QIODevice::WriteOnly))
            out.write(bytes);
        return file;
    }
    QString folder(const QString& relative) const
    {
        QDir().mkpath(path(relative));
        return path(relative);
    }

    // The whole library as relative paths ("Europe/" for a folder) to file contents.
    QMap<QString, QByteArray> contents() const
    {
        QMap<QString, QByteArray> all;
        QDirIterator it(store.root(), QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            const QString relative = QDir(store.root()).relativeFilePath(info.filePath());
            if (relative.startsWith(QLatin1Char('.')))
                continue;
            if (info.isDir()) {
                all.insert(relative + QLatin1Char('/'), QByteArray());
            } else {
                QFile f(info.filePath());
                f.open(QIODevice::ReadOnly);
                all.insert(relative, f.readAll());
            }
        }
        return all;
    }

    // Runs the import and waits for its end (with every question answered from the queues).
    void importAndWait(const QStringList& files, const QString& into)
    {
        QEventLoop loop;
        bool done = false;
        controller->importFiles(files, into, [&] {
            done = true;
            loop.quit();
        });
        QTimer::singleShot(EventWait::guard, &loop, &QEventLoop::quit);
        if (!done)
            loop.exec();
    }
};
