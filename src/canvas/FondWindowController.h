#pragma once

#include "model/PlmMap.h"
#include "model/PlmWork.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class VectorCanvas;
#include "platform/ViewHost.h"
class QWidget;

// The Fond pane: the base map of a work in an editable map view, with the inspector column
// beside it. This first version shows the map and an empty inspector; the editing commands
// come with the pane's own work.
class FondWindowController : public QObject {
    Q_OBJECT
public:
    // Reads the document's work (a copy); none once the document is gone.
    using WorkReader = std::function<std::optional<PlmWork>()>;

    explicit FondWindowController(const PlmMap& map, QObject* parent = nullptr);
    ~FondWindowController() override;

    // The pane's map view and the widget that shows it.
    VectorCanvas* canvas() const { return m_canvas; }
    QWidget* view() const;

    // The pane's inspector column, made once.
    QWidget* makeInspector();

    // Gives the pane its document, then reads the work from it.
    void attach(WorkReader readWork);

    // Shows the document's map and background image in the map view.
    void reloadFromDocument();
    // The inspector for the selected entity index, or for none.
    void refreshInspector();
    // The index of the top-level entity with this id in the pane's map.
    std::optional<int> entityIndex(const QString& id) const;

private:
    QPointer<ViewHost> m_host;
    VectorCanvas* m_canvas = nullptr; // owned by the host
    QPointer<QWidget> m_inspector;
    WorkReader m_readWork;
};
