#pragma once

#include "app/StudioWindowInterface.h"
#include "model/PlmValue.h"
#include "model/PlmVariable.h"
#include "model/PlmWork.h"
#include "platform/CommandResponder.h"
#include "desktop/Document.h"
#include "desktop/DocumentWindowController.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <optional>

class CarteWindowController;
class DataWindowController;
class FondWindowController;
class InspectorScroll;
class PlmWorkDocument;
class StudioSplit;
class VectorCanvas;
class ViewHost;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QStandardItem;
class QStandardItemModel;
class QToolBar;
class QToolButton;
class QTreeView;

// The one window of a work document: a toolbar, three columns (objects outline and
// statistics, the current pane, the inspector) over a bottom panel with three tabs (data
// table, preview map, statistics), and a status line. It builds and wires: the split
// geometry lives in StudioSplit, the texts in StudioWindowText, the panes in their own
// controllers.
//
// Split by concern: StudioWindowController.cpp (construction, title, embedding),
// StudioWindowControllerToolbar.cpp (toolbar items), StudioWindowControllerContent.cpp (columns,
// outline, bottom panel, inspectors), StudioWindowControllerRefresh.cpp (modes, tabs, refresh
// after a change, selection), StudioWindowControllerCommands.cpp (commands it answers).
class StudioWindowController : public DocumentWindowController, public StudioWindowInterface, public CommandResponder {
    Q_OBJECT
public:
    enum class Mode { fond = 0, carte = 2 };
    // The mode of a raw value: 0 and 2 only.
    static std::optional<Mode> modeFromRaw(qint64 raw);
    static QList<Mode> allModes() { return {Mode::fond, Mode::carte}; }

    static const QString modeKey;       // "Studio.Mode"
    static const QString tabKey;        // "Studio.Tab"
    static const QString columnsKey;    // "Studio.Columns"
    static const QString bottomKey;     // "Studio.Bottom"
    static const QString frameKey;      // the saved window frame
    static const QString flexibleSpaceIdentifier;
    static const QString emptyPreviewText;

    explicit StudioWindowController(PlmWorkDocument* document);
    ~StudioWindowController() override;

    // Makes this controller the studio window of every work document.
    static void install();

    // Puts one view into a host, pinned at `padding` from its four edges; nothing happens
    // when the view already is the host's only child widget.
    static void embed(QWidget* view, QWidget* host, int padding);
    // The statistics text of one numeric variable.
    static QString statisticsSummary(const QString& name, const QList<PlmValue>& values);

    // The toolbar: the 21 item identifiers in order (the flexible space last), and the item
    // of one identifier (none for an unknown one). Items carry their identifier as objectName
    // and their label in the property "toolbarLabel".
    static const QStringList& toolbarItemIdentifiers();
    QWidget* makeToolbarItem(const QString& identifier);

    // Fills the window: columns, outline, bottom panel, inspectors.
    void buildContent(QMainWindow* window);

    // Modes and tabs; each commits pending edits first and answers false when refused.
    bool switchMode(Mode mode, bool createCarte);
    bool selectTab(int tab);
    void updateModeButtons();

    // StudioWindowInterface.
    void reloadObjects() override;
    void selectObjects(const QSet<QString>& entityIDs, const std::optional<QString>& primary) override;
    bool commitEditing() override;
    bool revealData() override;
    void storeComposition(PlmWork& work) const override;

    // Refresh steps.
    void updateStatus();
    void refreshStatistics();
    void refreshPrintFormat();
    // What a print size field shows of the work's page (A4 landscape without one).
    QString shownPrintDimension(bool width) const;
    void rebuildObjects(const PlmWork& work);
    void validateToolbarItems();

    // Selection reports of the map views and of the layout.
    void canvasSelectionDidChange(const QStringList& entityIDPath);
    void decorationSelectionDidChange(const std::optional<QString>& id);

    QString windowTitleForDocumentDisplayName(const QString& displayName) const override;

    // Commands: the window answers the ones registered here (by name, as "fit:").
    struct Command {
        std::function<void(QObject* sender)> perform;
        std::function<CommandValidation()> validate; // enabled when unset
    };
    void registerCommand(const QString& name, Command command);
    // Sends a command to this window when it answers it and it is enabled.
    bool performCommand(const QString& name, QObject* sender = nullptr);
    // Sends a command along the chain that starts at a widget (a pane's view).
    static bool sendCommand(QWidget* start, const QString& name, QObject* sender);
    bool handles(const QString& command) const override;
    void perform(const QString& command, QObject* sender) override;
    CommandValidation validate(const QString& command, QAction* action) const override;

    // --- Fields, in the order of the window's description ---
    PlmWorkDocument* workingDocument() const;
    // Runs one undoable update of the work; false (after the error was presented in the
    // window) when there is no document or the update was refused.
    bool updateWork(const QString& actionName, const std::function<void(PlmWork&)>& change);
    FondWindowController* fond = nullptr;
    DataWindowController* data = nullptr;
    // The Carte pane, made the first time it is needed: a work shown in Fond neither builds
    // nor refreshes its composition. loadedCarte() is the pane when it exists, else null.
    CarteWindowController* carte() const;
    CarteWindowController* loadedCarte() const { return m_carte; }
    VectorCanvas* loadedCarteMapView() const;
    StudioSplit* horizontal = nullptr;
    StudioSplit* vertical = nullptr;
    QWidget* sidebar = nullptr;
    QTreeView* objects = nullptr;
    QWidget* inspectorBody = nullptr;
    InspectorScroll* backgroundInspector = nullptr;
    QList<QLineEdit*> backgroundFields;
    QCheckBox* backgroundLock = nullptr;
    bool inspectingBackground = false;
    InspectorScroll* svgTextInspector = nullptr;
    QLineEdit* svgTextValue = nullptr;
    QWidget* fondInspector = nullptr;
    QWidget* dataInspector = nullptr;
    QWidget* canvasHost = nullptr;
    QWidget* inspectorHost = nullptr;
    QWidget* bottomHost = nullptr;
    QWidget* bottomBody = nullptr;
    QButtonGroup* tabs = nullptr;
    QLabel* status = nullptr;
    QLabel* statistics = nullptr;
    InspectorScroll* statisticsScroll = nullptr;
    VectorCanvas* preview = nullptr; // shown by previewView
    ViewHost* previewView = nullptr;
    QWidget* fondContent = nullptr;
    QWidget* carteContent = nullptr;
    QWidget* dataContent = nullptr;
    bool suppressSelection = false;
    Mode mode = Mode::fond;
    int bottomTab = 0;
    QMap<Mode, QToolButton*> modeItems;
    // The print format group's controls, owned by the group they sit in (the toolbar's): a
    // group made again takes them over, and once that group is gone the next one makes them
    // anew, so these never point at deleted controls.
    QPointer<QComboBox> printFormat;
    QPointer<QLineEdit> printWidth;
    QPointer<QLineEdit> printHeight;
    // While a print field's text is stored through "controlTextDidEndEditing:", the command says
    // why it refuses it here instead of presenting it: the field presents it.
    bool takingTypedText = false;
    QString typedRefusal;
    std::optional<PlmWork> objectsSignature;
    QToolBar* toolbar = nullptr;
    QStandardItemModel* objectsModel = nullptr;

protected:
    // For a window that brings its own outline: the first rows are not built into the plain
    // model only to be thrown away (objectsModel is left unset).
    enum class Outline { plain, own };
    StudioWindowController(PlmWorkDocument* document, Outline outline);

    QWidget* makeWindow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Wires a newly made Carte pane into the window (responders, selection reports).
    virtual void carteDidLoad();

private:
    CarteWindowController* m_carte = nullptr;
    // The pane was made with the current work and has not been refreshed since.
    bool m_carteJustLoaded = false;
    // The preview tab's map view follows the work only while that tab is shown.
    void refreshPreview(const PlmWork& work);

    // The window is driven from the main thread only; a call from elsewhere is reported.
    static void checkMainThread(const char* file);
    void registerWindowCommands();
    void buildToolbar(QMainWindow* window);
    void attachResponders();
    // The responder of the current mode's pane, when that pane is one.
    CommandResponder* currentPaneResponder() const;
    void wireSelection();
    void restoreFrame();
    void saveFrame();
    std::optional<PlmWork> currentWork() const;
    QWidget* makeToolButton(const QString& identifier);
    QWidget* makeModeButton(Mode mode);
    QWidget* makePrintFormatGroup();
    QWidget* buildSidebar();
    QWidget* buildCentre();
    QWidget* buildInspectorColumn();
    QWidget* buildBottomPanel();
    void buildInspectors();
    void restoreOutlineSelection();

    QHash<QString, Command> m_commands;
    QHash<QWidget*, QString> m_toolCommands; // buttons and the command each sends to the window
    QHash<QWidget*, QString> m_dataCommands; // buttons whose command goes to the data pane
    std::optional<QList<PlmVariable>> m_statisticsVariables;
    // Summaries by variable id, with the variable they were computed from: a typed cell
    // recomputes one variable's statistics, not every variable's.
    QHash<QString, QPair<PlmVariable, QString>> m_summaries;
    QHash<QString, QStandardItem*> m_entityNodes; // outline rows of the top-level entities
};
