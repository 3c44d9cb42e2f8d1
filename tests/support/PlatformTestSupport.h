#pragma once

#include "desktop/DialogHooks.h"
#include "desktop/Document.h"
#include "platform/DocumentType.h"
#include "platform/UndoCommand.h"
#include "support/EventWait.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>
#include <QTimer>
#include <QUndoStack>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

// A small document type for the document layer's tests: its content is plain text; text
// holding "REFUSE" cannot be written and bytes starting with "BAD" cannot be read.
inline const QString fakeTextType = QStringLiteral("test.pelmora.text");
inline const QString fakeNoteType = QStringLiteral("test.pelmora.note");

class FakeTextDocument : public Document {
public:
    QString text;
    QStringList writable{fakeTextType, fakeNoteType};
    int windowsMade = 0;
    // Saves in the background when set; a job then waits for the gate (when there is one)
    // before it encodes, so that a test can change the document while a save is in flight.
    bool backgroundJobs = false;
    std::shared_ptr<QSemaphore> gate;

    QStringList writableTypeIdentifiers() const override { return writable; }

    QByteArray dataOfType(const QString& type) const override
    {
        if (text.contains(QStringLiteral("REFUSE")))
            throw std::runtime_error("Ce texte ne peut pas être enregistré.");
        if (type == fakeNoteType)
            return "NOTE:" + text.toUtf8();
        return text.toUtf8();
    }

    DataJob dataJobOfType(const QString& type) const override
    {
        if (!backgroundJobs)
            return {};
        FakeTextDocument snapshot;
        snapshot.text = text;
        return [snapshot = snapshot.text, type, gate = gate] {
            if (gate)
                gate->acquire();
            FakeTextDocument copy;
            copy.text = snapshot;
            return copy.dataOfType(type);
        };
    }

    // Reads on a worker when set; the job waits for the read gate (when there is one).
    bool backgroundReads = false;
    std::shared_ptr<QSemaphore> readGate;
    ReadJob readJobOfData(const QByteArray& data, const QString& type) override
    {
        if (!backgroundReads)
            return {};
        return [this, data, type, gate = readGate]() -> StoreStep {
            if (gate)
                gate->acquire();
            FakeTextDocument decoder;
            decoder.readFromData(data, type);
            return [this, text = decoder.text] { this->text = text; };
        };
    }

    void readFromData(const QByteArray& data, const QString&) override
    {
        if (data.startsWith("BAD"))
            throw std::runtime_error("Ce fichier texte est illisible.");
        text = QString::fromUtf8(data);
    }

    void makeWindowControllers() override { ++windowsMade; }

    // What is being typed, not yet taken: a save takes it, unless it holds "REFUSE", whose
    // refusal the window shows in itself, as a pane's status line does.
    std::optional<QString> typing;
    QStringList refusalsShown;
    bool prepareToSave() override
    {
        if (!typing)
            return true;
        if (typing->contains(QStringLiteral("REFUSE"))) {
            refusalsShown << QStringLiteral("Ce texte ne peut pas être saisi.");
            DialogHooks::reportUnseen(refusalsShown.last());
            return false;
        }
        edit(*std::exchange(typing, std::nullopt));
        return true;
    }

    // One undoable edit, made before it is pushed.
    void edit(const QString& newText, const QString& name = QStringLiteral("Saisir"))
    {
        const QString old = text;
        text = newText;
        undoStack()->push(new FunctionUndoCommand(name, [this, old] { text = old; }, [this, newText] { text = newText; }));
    }
};

inline void registerFakeTypes()
{
    DocumentTypes::registerType({fakeTextType, QStringLiteral("Texte"), {QStringLiteral("ftxt")},
                                 [] { return new FakeTextDocument; }});
    DocumentTypes::registerType({fakeNoteType, QStringLiteral("Note"), {QStringLiteral("fnote"), QStringLiteral("note")},
                                 [] { return new FakeTextDocument; }});
}

// While it lives, every document of the type is a D whose read, on a worker with the read's
// event loop running, waits for the test: what comes while a file is being read comes at a
// chosen point, not after a delay. The type's own factory is back once it goes.
template <typename D>
class HeldReads {
public:
    explicit HeldReads(const QString& typeIdentifier)
        : type_(*DocumentTypes::find(typeIdentifier))
    {
        DocumentType held = type_;
        held.factory = [this] { return new Held(opened_); };
        DocumentTypes::registerType(held);
    }
    ~HeldReads() { DocumentTypes::registerType(type_); }
    HeldReads(const HeldReads&) = delete;
    HeldReads& operator=(const HeldReads&) = delete;

    // Starts the read, and runs the action in its event loop, before the read can end.
    void whileReading(const std::function<void()>& read, const std::function<void()>& action)
    {
        auto gate = std::make_shared<std::promise<void>>();
        opened_ = gate->get_future().share();
        QTimer::singleShot(0, [gate, action] {
            // Let the reads go first, so that one the action starts never waits for it: the read
            // under way still ends only once the action has, its end coming through this loop.
            gate->set_value();
            action();
        });
        read();
    }

private:
    class Held : public D {
    public:
        explicit Held(std::shared_future<void> opened) : opened_(std::move(opened)) {}
        Document::ReadJob readJobOfData(const QByteArray& data, const QString& type) override
        {
            const Document::ReadJob own = D::readJobOfData(data, type);
            return [this, own, data, type, opened = opened_]() -> Document::StoreStep {
                if (opened.valid())
                    opened.wait();
                if (own)
                    return own();
                return [this, data, type] { this->readFromData(data, type); };
            };
        }

    private:
        std::shared_future<void> opened_;
    };

    DocumentType type_;
    std::shared_future<void> opened_;
};

// Records every dialog asked for and answers from scripted values.
struct DialogRecorder {
    QStringList errors;
    QStringList questions; // display names asked about
    QList<DialogHooks::SavePanelRequest> savePanels;
    QList<DialogHooks::Alert> alerts;
    DialogHooks::SaveChangesAnswer saveAnswer = DialogHooks::SaveChangesAnswer::Cancel;
    // The next save panel's answer, given once: a panel shown again (after a refusal) is
    // cancelled unless another is set.
    std::optional<DialogHooks::SavePanelResult> savePanelAnswer;
    int alertAnswer = 0;
    bool typing = false; // a text input holds the keyboard focus
    std::function<void()> whileAlertShows; // runs once, as the next alert's event loop would

    DialogHooks::Hooks hooks()
    {
        DialogHooks::Hooks h;
        h.presentError = [this](const QString& m, QWidget*) { errors << m; };
        h.askSaveChanges = [this](const QString& name, QWidget*) {
            questions << name;
            return saveAnswer;
        };
        h.savePanel = [this](const DialogHooks::SavePanelRequest& r) {
            savePanels << r;
            return std::exchange(savePanelAnswer, std::nullopt);
        };
        h.alert = [this](const DialogHooks::Alert& a) {
            alerts << a;
            if (const std::function<void()> run = std::exchange(whileAlertShows, nullptr))
                run();
            return alertAnswer;
        };
        h.sheet = [this](const DialogHooks::Alert& a, std::function<void(int)> done) {
            alerts << a;
            done(alertAnswer);
        };
        h.textBeingTyped = [this] { return typing; };
        return h;
    }
};
