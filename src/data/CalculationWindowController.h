#pragma once

#include "data/DataImportWindowControllerDocument.h"
#include "model/PlmCancellation.h"
#include "model/PlmEntity.h"
#include "model/PlmVariable.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QWidget;
class CalculationPreviewModel;
class CalculationWindow;

// The window in which one calculated variable is written or changed: name, formula, display
// format and decimals, with a preview of the result for every entity of the map. The preview
// waits for a pause in typing, then evaluates on a copy of the work off the main thread; a
// newer request cancels it and its result is dropped. Saving (only after a successful
// preview) is one undoable update of the work document.
class CalculationWindowController : public QObject {
    Q_OBJECT
public:
    using Document = DataImportWindowControllerDocument;

    // `variableID` names the calculated variable to change, none for a new one. `onFinished`
    // runs after a save or a cancel once the window is closed (without it the document shows
    // its data pane); `onSaved` receives the saved variable's id.
    CalculationWindowController(Document document, std::optional<QString> variableID,
                                std::function<void()> onFinished, std::function<void(const QString&)> onSaved,
                                QObject* parent = nullptr);
    ~CalculationWindowController() override;

    // Pause between a change and the evaluation of the preview.
    static constexpr int previewDelayMilliseconds = 100;

    QWidget* window() const;
    // Shows the window, in front and active.
    void showWindow();
    // Closes the window as its close button does: no callback.
    void closeWindow();

    // Actions of the window.
    void insertVariable();  // the insert menu's chosen item
    void changed();         // format and decimals menus
    void saveCalculation(); // save button, Return
    void cancel();          // "Annuler", Escape
    // Cancels the running preview and starts a new one after the pause.
    void requestPreview();
    // Window events.
    void windowDidBecomeKey();
    void windowWillClose();

    // State, for the data pane and for tests.
    const std::optional<QString>& variableID() const { return m_variableID; }
    const std::optional<PlmVariable>& result() const { return m_result; }
    const QList<PlmEntity>& previewMap() const { return m_previewMap; }
    bool previewRunning() const;
    // Evaluations started since construction (each follows a pause in the changes).
    int evaluationsStarted() const { return m_evaluationsStarted; }
    // Runs on the worker thread before each evaluation (tests hold an evaluation with it).
    std::function<void()> beforeEvaluation;

    QLineEdit* nameField() const { return m_name; }
    QLineEdit* formulaField() const { return m_formula; }
    QComboBox* insertMenu() const { return m_insert; }
    QComboBox* formatMenu() const { return m_format; }
    QComboBox* decimalsMenu() const { return m_decimals; }
    QTableView* previewTable() const { return m_table; }
    QLabel* messageLabel() const { return m_message; }
    QPushButton* saveButton() const { return m_save; }

    // The texts of the window.
    static QString promptMessage();  // "Saisissez un nom et une formule pour afficher l’aperçu."
    static QString pendingMessage(); // "Calcul de l’aperçu…"
    static QString closedMessage();  // "Le document est fermé."
    static QString countsMessage(qsizetype results, qsizetype zones);
    // "[" + name with every "]" doubled + "]".
    static QString variableToken(const QString& name);
    // The formula after inserting a token without an editor: one space before it unless empty.
    static QString appendToken(const QString& formula, const QString& token);

signals:
    // A preview reached its end state (shown or failed); a cancelled one does not signal.
    void previewFinished();
    // The window closed, however: saved, cancelled or its close button. Nothing of it is used
    // again; the owner lets it go.
    void windowClosed();

private:
    struct PreviewJob;
    struct PreviewOutcome;

    void buildWindow(const std::optional<PlmVariable>& edited);
    void rebuildInsertMenu();
    void startEvaluation();
    void applyOutcome(quint64 generation, const PreviewOutcome& outcome);
    void showMessage(const QString& text, bool refusal);
    void finish();
    PlmVariableType chosenType() const;
    int chosenDecimals() const;

    Document m_document;
    std::optional<QString> m_variableID;
    std::function<void()> m_onFinished;
    std::function<void(const QString&)> m_onSaved;

    QPointer<QWidget> m_window;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_formula = nullptr;
    QComboBox* m_insert = nullptr;
    QComboBox* m_format = nullptr;
    QComboBox* m_decimals = nullptr;
    QTableView* m_table = nullptr;
    CalculationPreviewModel* m_model = nullptr;
    QLabel* m_message = nullptr;
    QPushButton* m_save = nullptr;

    std::optional<PlmVariable> m_result;
    QList<PlmEntity> m_previewMap;
    std::shared_ptr<PreviewJob> m_pending; // waiting for the pause
    QTimer m_delay;
    PlmCancellationToken m_cancellation;
    quint64 m_generation = 0;
    bool m_evaluating = false;
    int m_evaluationsStarted = 0;
};
