#pragma once

#include "app/StudioObjectEdits.h"
#include "app/StudioObjectNode.h"
#include "model/PlmWork.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class StudioOutlineDelegate;
class StudioOutlineModel;
class StudioWindowController;
class PlmWorkDocument;

// The objects outline of a studio window and the one selection it shares with the Fond map
// view, the composition's map view, the data table and the Carte pane. It puts its own item
// model and delegate on the window's tree view, rebuilds the rows when the work changed,
// restores expansion by key, and turns the rows' buttons, renames and drops into undoable
// updates of the work. A selection pushed by code is guarded by the window's
// suppressSelection flag, so it is never echoed back.
class StudioObjectsOutline : public QObject {
    Q_OBJECT
public:
    explicit StudioObjectsOutline(StudioWindowController& window);

    StudioOutlineModel* model() const { return m_model; }
    StudioOutlineDelegate* delegate() const { return m_delegate; }

    // The refresh: rebuilds when the work differs from the last one built, then restores the
    // selection of the row selected before.
    void refresh();
    void rebuildObjects(const PlmWork& work);
    void restoreSelection(const std::optional<StudioObjectReference>& before);
    // The reference of the first selected row.
    std::optional<StudioObjectReference> selectedReference() const;

    // Selection pushed from the document, one entity focused, one row selected.
    void selectObjects(const QSet<QString>& entityIDs, const std::optional<QString>& primary);
    void focusEntity(const std::optional<QString>& entityID);
    void selectObject(const QStringList& entityPath);
    void selectDecoration(const std::optional<QString>& decorationID);
    // The user's selection in the outline.
    void outlineSelectionDidChange();
    // A map view reports the entity path the user selected (empty for none).
    void canvasSelectionDidChange(const QStringList& entityPath);

    // Object state and actions.
    StudioObjectEdits::State objectState(const StudioObjectReference& reference) const;
    bool canEdit(const StudioObjectReference& reference) const;
    bool canDelete(const StudioObjectReference& reference) const;
    void toggleObject(const StudioObjectReference& reference, bool visibility);
    bool setObjectState(const StudioObjectReference& reference, bool hidden, bool locked);
    bool renameObject(const StudioObjectReference& reference, const QString& name);
    void deleteObject(const StudioObjectReference& reference);
    std::optional<StudioObjectEdits::DropPlan> dropPlan(const StudioObjectReference& reference,
                                                        const StudioObjectNode& target, int childIndex) const;
    bool moveObject(const StudioObjectReference& reference, qsizetype targetIndex);

    // The text inspector of a text entity; other entities are ignored.
    void showTextInspector(const QStringList& path);
    std::optional<QStringList> textInspectorPath() const { return m_textPath; }
    void textValueDidEndEditing();
    // Stores the SVG text typed: empty when stored or unchanged, else why it is refused.
    QString takeTextValue();

private:
    PlmWorkDocument* document() const;
    void embedModeInspector();
    void clearEntitySelectionInPanes();
    QList<QModelIndex> rowsWhere(const std::function<bool(const StudioObjectNode&)>& test) const;
    void selectRowsOnly(const QList<QModelIndex>& rows, bool scroll);

    StudioWindowController& m_window;
    StudioOutlineModel* m_model;
    StudioOutlineDelegate* m_delegate;
    std::optional<PlmWork> m_signature;
    std::optional<QStringList> m_textPath;
    QString m_shownText;
};
