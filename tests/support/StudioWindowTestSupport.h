#pragma once

// A work document shown in the full studio window (commands, outline, background image),
// with the dialogs answered by the test.
#include "app/PlmWorkDocument.h"
#include "app/StudioWindowCommands.h"
#include "desktop/DialogHooks.h"
#include "platform/UserDefaults.h"

#include <QStringList>
#include <QUndoStack>
#include <gtest/gtest.h>
#include <memory>

class StudioWindowFixture : public ::testing::Test {
protected:
    StudioWindowFixture()
        : hooks(makeHooks())
    {
    }

    StudioWindowCommands* open(const PlmWork& work)
    {
        document = std::make_unique<PlmWorkDocument>();
        document->setWork(work);
        window = new StudioWindowCommands(document.get());
        document->addWindowController(window);
        return window;
    }

    PlmWork work() const { return document->work(); }
    QString undoName() const { return document->undoStack()->undoText(); }
    int undoCount() const { return document->undoStack()->count(); }

    DialogHooks::Hooks makeHooks()
    {
        DialogHooks::Hooks installed;
        installed.presentError = [this](const QString& message, QWidget*) { errors.append(message); };
        installed.openPanel = [this](const DialogHooks::OpenPanelRequest& request) -> std::optional<QStringList> {
            panels.append(request.title);
            if (chosenFile.isEmpty())
                return std::nullopt;
            return QStringList{chosenFile};
        };
        installed.alert = [this](const DialogHooks::Alert& alert) {
            alerts.append(alert.message);
            return 0;
        };
        return installed;
    }

    UserDefaults::TemporaryScope scope;
    QStringList errors;
    QStringList alerts;
    QStringList panels;
    QString chosenFile;
    DialogHooks::ScopedHooks hooks;
    std::unique_ptr<PlmWorkDocument> document;
    StudioWindowCommands* window = nullptr;
};
