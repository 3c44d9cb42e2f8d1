#pragma once

#include "fond/FondDocument.h"
#include "model/PlmMap.h"
#include "model/PlmPointSymbol.h"
#include "model/PlmWork.h"
#include "platform/CommandResponder.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class FondInspectorColorWell;
class PointSymbolColorInspector;
class QCheckBox;
class QComboBox;
#include <QLabel>
class QLineEdit;
class QWidget;
class VectorCanvas;
class ViewHost;

// The Fond pane: the editor of the work's base map. Its view is an interactive map view in
// creation mode; its inspector column is built on request and hosted by the studio window.
// The pane keeps a copy of the work's map, turns every edit the map view reports into one
// undoable update of the document, and takes the map back from the document after every
// commit (the studio window calls reloadFromDocument()). It answers its commands through the
// command router while its view or its inspector has the focus.
//
// Split: FondWindowController.cpp (state, callbacks, reload), FondWindowControllerInspector.cpp
// (the inspector column and its refresh), FondWindowControllerCommands.cpp (entity commands).
class FondWindowController : public QObject, public CommandResponder {
    Q_OBJECT
public:
    using WorkReader = std::function<std::optional<PlmWork>()>;
    using WorkChange = FondDocument::WorkChange;

    static QString emptyText();   // "Ouvrez un document .plmmap ou importez un fond historique…"
    static QString canvasToolTip();
    // The drawing tools by their raw values, as the tool picker and the drawing menu list them.
    static const QStringList& drawingToolTitles();

    explicit FondWindowController(const PlmMap& map, QObject* parent = nullptr);
    ~FondWindowController() override;

    // The pane's map view and the widget that shows it.
    VectorCanvas* canvas() const { return m_canvas; }
    QWidget* view() const;
    // The pane's copy of the work's map.
    const PlmMap& map() const { return m_map; }

    // The pane's inspector column, made once.
    QWidget* makeInspector();
    QWidget* inspector() const;

    // Gives the pane its document (held weakly by the link's functions), selects in it the
    // entity the map view has selected, then reads the work from it.
    void attach(const FondDocument& document);
    // A document that can only be read: no update, undo or selection reaches it.
    void attach(WorkReader readWork);
    const FondDocument& document() const { return m_document; }

    // Takes the document's map and background image, keeping the selected entity selected.
    void reloadFromDocument();
    // The inspector for a selected top-level index (none: the creation style and the map).
    void refreshInspector(std::optional<int> selectedIndex);
    // The same for the map view's selected index.
    void refreshInspector();
    // The index of the first top-level entity with this id; group members are not searched.
    std::optional<int> entityIndex(const QString& id) const;

    // Entity creation: the entity made for a drawn geometry, stored as "Créer une entité".
    void createEntity(const PlmGeometry& geometry, const QString& name);
    // Arms the point tool with a symbol chosen in the studio.
    void beginPlacing(const PlmPointSymbol& pointSymbol);

    // Actions.
    void changeTool();
    void changeGrid();
    void fit();
    void zoomIn();
    void zoomOut();
    void undo();
    void redo();

    // Entity commands, on the document's selection and on top-level entities only.
    void commitName(QLineEdit* field);
    void commitStyle(QWidget* control);
    // Writes one control's value into a style; false when the value was not applied.
    bool applyStyleControl(QWidget* control, PlmStyle& style) const;
    void selectAllEntities();
    void groupSelectedEntities();
    void ungroupSelectedEntities();
    void duplicateSelectedEntities();
    void deleteSelectedEntities();
    static PlmEntity duplicateEntity(const PlmEntity& entity);

    // The studio's library receives a copy of the map ("addToLibrary:"); set by the window.
    std::function<void(const PlmMap&)> onAddToLibrary;

    // The controls (also found by their identifiers "Fond." + the row's label).
    PointSymbolColorInspector* pointColorInspector() const { return m_pointColorInspector; }
    QLabel* studioDetails() const { return m_studioDetails.data(); }
    QComboBox* toolPicker() const { return m_toolPicker; }
    QLineEdit* nameField() const { return m_nameField; }
    FondInspectorColorWell* fillWell() const { return m_fillWell; }
    FondInspectorColorWell* strokeWell() const { return m_strokeWell; }
    QLineEdit* widthField() const { return m_widthField; }
    QLineEdit* opacityField() const { return m_opacityField; }
    QLineEdit* pointSizeField() const { return m_pointSizeField; }
    QCheckBox* grid() const { return m_grid; }
    QCheckBox* snap() const { return m_snap; }
    QWidget* pointSizeRow() const { return m_pointSizeRow.data(); }

    // Commands of the router.
    bool handles(const QString& command) const override;
    void perform(const QString& command, QObject* sender) override;
    CommandValidation validate(const QString& command, QAction* action) const override;

private:
    void installCallbacks();
    void makeControls();
    // One undoable update; a refused one reloads and shows its message. True when stored.
    bool update(const QString& actionName, const WorkChange& change);
    void presentError(const QString& message);
    // A typed style number stored as the style field's edit: empty when stored, else why not.
    QString takeStyleText(QLineEdit* field);
    // What the name and style fields show of the entity inspected (the creation style without one).
    const PlmEntity* inspectedEntity(std::optional<int> selectedIndex) const;
    QString shownName() const;
    QString shownStyleText(const QLineEdit* field) const;
    QSet<QString> selectedIDs() const;
    // After the pane changed the document's selection: the view's selected entity follows.
    void followDocumentSelection();
    std::optional<QString> primaryID() const;

    PointSymbolColorInspector* m_pointColorInspector = nullptr;
    QPointer<ViewHost> m_host;
    VectorCanvas* m_canvas = nullptr; // owned by the host
    QPointer<QLabel> m_studioDetails;
    PlmMap m_map;
    QComboBox* m_toolPicker = nullptr;
    QLineEdit* m_nameField = nullptr;
    FondInspectorColorWell* m_fillWell = nullptr;
    FondInspectorColorWell* m_strokeWell = nullptr;
    QLineEdit* m_widthField = nullptr;
    QLineEdit* m_opacityField = nullptr;
    QLineEdit* m_pointSizeField = nullptr;
    QCheckBox* m_grid = nullptr;
    QCheckBox* m_snap = nullptr;
    FondDocument m_document;

    QPointer<QWidget> m_inspector;
    QPointer<QWidget> m_pointSizeRow;
    QList<QPointer<QWidget>> m_looseControls; // deleted with the pane unless an inspector took them
    // While a typed style is stored, a refused update is the field's refusal, not an error shown.
    QString* m_refusalCapture = nullptr;
};
