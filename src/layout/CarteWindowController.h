#pragma once

#include "model/PlmWork.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class DecorationController;
#include "decorations/InspectorScroll.h"
class VectorCanvas;
#include "platform/ViewHost.h"
class QWidget;

// The Carte pane: the layout page of a work and its inspector. This first version shows the
// work's map in a map view with an empty inspector column and keeps the layout selection;
// the composition, the thematic inspector and the export come with the pane's own work.
class CarteWindowController : public QObject {
    Q_OBJECT
public:
    using WorkReader = std::function<std::optional<PlmWork>()>;

    // studioPresentation: the pane lives in the studio window (always so for now).
    explicit CarteWindowController(WorkReader readWork, bool studioPresentation = true, QObject* parent = nullptr);
    ~CarteWindowController() override;

    // The pane's view, its map view (the composition's map in the full pane) and its
    // inspector column.
    QWidget* view() const;
    VectorCanvas* mapView() const { return m_canvas; }
    InspectorScroll* inspectorScroll() const { return m_inspector.data(); }
    DecorationController* decorationController() const { return m_decorations; }

    // Refreshes the controls and the map from the work.
    void refreshControls();
    // Ends a pending inspector edit; false when it is refused (never in this version).
    bool commitPendingEdits() { return true; }
    // Selects an entity in the layout; none clears it.
    void selectEntity(const std::optional<QString>& entityID);
    // Writes the live layout state into a copy of the work about to be saved.
    void storeComposition(PlmWork& work) const {}
    // The export panel is not available yet.
    bool canPresentExportPanel() const { return false; }
    void presentExportPanel() {}

private:
    void applyEntityNames(const PlmWork& work);

    WorkReader m_readWork;
    QPointer<ViewHost> m_host;
    VectorCanvas* m_canvas = nullptr; // owned by the host
    QPointer<InspectorScroll> m_inspector;
    DecorationController* m_decorations;
};
