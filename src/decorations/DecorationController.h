#pragma once

#include "model/PlmDecorationKind.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>

// The selection of the layout page's elements and legends ("legend", "secondLegend" or an
// element id). This first version keeps and reports the selection only: the page's element
// views, their edits and the inspector come with the layout's own work, so adding, deleting
// and reordering change nothing yet.
class DecorationController : public QObject {
    Q_OBJECT
public:
    explicit DecorationController(bool studioPresentation, QObject* parent = nullptr);

    bool studioPresentation() const { return m_studioPresentation; }

    std::optional<QString> selected;
    QSet<QString> selectedIDs;
    // Told the selected id (none for no selection) after every selection update.
    std::function<void(const std::optional<QString>&)> onObjectSelectionChange;

    // Selects an element or legend by id, adding it to the selection when extending.
    void select(const QString& id, bool extending);
    // Forgets the selected element and ids.
    void clearSelection();
    // Applies the selection and reports it.
    void updateSelection();
    // Ends an in-place text edit; there is none in this version.
    void commitTextEdit() {}

    // Whether adding, deleting and reordering the page's elements is available; false in this
    // version, so the commands that lead there are shown disabled.
    bool canEditObjects() const { return false; }
    // Not available yet (see canEditObjects): they answer false and change nothing.
    bool addObject(PlmDecorationKind kind);
    bool deleteObjects(const QSet<QString>& ids, const QString& actionName);
    bool changeObjectOrder(bool toFront);

private:
    bool m_studioPresentation;
};
