#include "fond/FondWindowController.h"

#include "fond/FondEntityCommands.h"
#include "inspector/FondInspectorColorWell.h"
#include "canvas/VectorCanvas.h"

#include <QHash>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QUuid>
#include <algorithm>

using namespace FondEntityCommands;

// --- Rename and style ------------------------------------------------------------------------

void FondWindowController::commitName(QLineEdit* field)
{
    if (!field)
        return;
    const QString name = field->text().trimmed();
    field->setModified(false);
    const std::optional<QString> primary = primaryID();
    if (!m_document.canUpdate() || !primary || name.isEmpty()) {
        // The field shows the stored name again.
        reloadFromDocument();
        return;
    }
    const QString id = *primary;
    update(renameActionName(), [&](PlmWork& work) { renameEntity(work, id, name); });
}

bool FondWindowController::applyStyleControl(QWidget* control, PlmStyle& style) const
{
    if (auto* well = qobject_cast<FondInspectorColorWell*>(control)) {
        const std::optional<PlmColor> color = well->plmColor();
        if (!color)
            return false;
        applyStyleColor(style, well == m_fillWell, *color);
        return true;
    }
    if (auto* field = qobject_cast<QLineEdit*>(control))
        return applyStyleText(style, field->property("tag").toInt(), field->text());
    return false;
}

void FondWindowController::commitStyle(QWidget* control)
{
    if (auto* field = qobject_cast<QLineEdit*>(control))
        field->setModified(false);
    const QSet<QString> ids = selectedIDs();
    if (ids.isEmpty() || !m_document.canUpdate()) {
        // Nothing selected: the style of the next drawn entities.
        applyStyleControl(control, m_canvas->creationStyle);
    } else {
        PlmStyle probe;
        if (applyStyleControl(control, probe)) {
            update(styleActionName(), [&](PlmWork& work) {
                restyleEntities(work, ids, [&](PlmStyle& style) { applyStyleControl(control, style); });
            });
        }
    }
    refreshInspector();
}

QString FondWindowController::takeStyleText(QLineEdit* field)
{
    const QString refusal = styleTextRefusal(field->property("tag").toInt(), field->text());
    if (!refusal.isEmpty())
        return refusal;
    QString failure;
    {
        const QScopedValueRollback<QString*> capture(m_refusalCapture, &failure);
        commitStyle(field);
    }
    return failure;
}

const PlmEntity* FondWindowController::inspectedEntity(std::optional<int> selectedIndex) const
{
    if (selectedIndex && *selectedIndex >= 0 && *selectedIndex < m_map.entities.size())
        return &m_map.entities.at(*selectedIndex);
    return nullptr;
}

QString FondWindowController::shownName() const
{
    const PlmEntity* entity = inspectedEntity(m_canvas ? m_canvas->selectedIndex : std::nullopt);
    return entity ? entity->name : QString();
}

QString FondWindowController::shownStyleText(const QLineEdit* field) const
{
    if (!m_canvas)
        return field->text();
    const PlmEntity* entity = inspectedEntity(m_canvas->selectedIndex);
    const PlmStyle& style = entity ? entity->style : m_canvas->creationStyle;
    switch (field->property("tag").toInt()) {
    case lineWidthTag: return lineWidthText(style);
    case opacityTag: return opacityText(style, entity);
    case pointSizeTag: return pointSizeText(style);
    default: return field->text();
    }
}

// --- Selection, groups, duplicates, deletion -------------------------------------------------

void FondWindowController::selectAllEntities()
{
    if (!m_document.select)
        return;
    const auto [ids, primary] = selectAllIDs(m_map);
    m_document.select(ids, primary);
}

void FondWindowController::groupSelectedEntities()
{
    const QString group = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QSet<QString> ids = selectedIDs();
    if (ids.size() < 2)
        return;
    update(groupActionName(), [&](PlmWork& work) { setCreationGroup(work, ids, group); });
}

void FondWindowController::ungroupSelectedEntities()
{
    const QSet<QString> ids = selectedIDs();
    update(ungroupActionName(), [&](PlmWork& work) { setCreationGroup(work, ids, std::nullopt); });
}

void FondWindowController::duplicateSelectedEntities()
{
    if (!m_document.canUpdate())
        return;
    const QSet<QString> ids = selectedIDs();
    QStringList newIDs;
    if (!update(duplicateActionName(), [&](PlmWork& work) { newIDs = duplicateEntities(work, ids); }))
        return;
    if (m_document.select) {
        std::optional<QString> primary;
        if (!newIDs.isEmpty())
            primary = *std::min_element(newIDs.cbegin(), newIDs.cend());
        m_document.select(QSet<QString>(newIDs.cbegin(), newIDs.cend()), primary);
        followDocumentSelection();
    }
}

void FondWindowController::deleteSelectedEntities()
{
    if (!m_document.canUpdate())
        return;
    const QSet<QString> ids = unlockedIDs(m_map, selectedIDs());
    if (ids.isEmpty())
        return;
    update(deleteActionName(), [&](PlmWork& work) { deleteEntities(work, ids); });
    if (m_document.select) {
        m_document.select({}, std::nullopt);
        followDocumentSelection();
    }
}

PlmEntity FondWindowController::duplicateEntity(const PlmEntity& entity)
{
    return FondEntityCommands::duplicateEntity(entity);
}

// --- Commands of the router ------------------------------------------------------------------

namespace {

using Action = void (FondWindowController::*)();

const QHash<QString, Action>& actions()
{
    static const QHash<QString, Action> table = {
        {QStringLiteral("changeTool:"), &FondWindowController::changeTool},
        {QStringLiteral("changeGrid:"), &FondWindowController::changeGrid},
        {QStringLiteral("fit:"), &FondWindowController::fit},
        {QStringLiteral("zoomIn:"), &FondWindowController::zoomIn},
        {QStringLiteral("zoomOut:"), &FondWindowController::zoomOut},
        {QStringLiteral("selectAll:"), &FondWindowController::selectAllEntities},
        {QStringLiteral("groupEntities:"), &FondWindowController::groupSelectedEntities},
        {QStringLiteral("ungroupEntities:"), &FondWindowController::ungroupSelectedEntities},
        {QStringLiteral("duplicate:"), &FondWindowController::duplicateSelectedEntities},
        {QStringLiteral("delete:"), &FondWindowController::deleteSelectedEntities},
    };
    return table;
}

} // namespace

bool FondWindowController::handles(const QString& command) const
{
    // Undo and redo stay with the studio window, which ends a pending edit first and names
    // the step in the menu.
    if (command == QStringLiteral("renameEntity:") || command == QStringLiteral("changeStyle:"))
        return true;
    if (command == QStringLiteral("addToLibrary:"))
        return bool(onAddToLibrary);
    return actions().contains(command);
}

void FondWindowController::perform(const QString& command, QObject* sender)
{
    if (command == QStringLiteral("renameEntity:")) {
        commitName(qobject_cast<QLineEdit*>(sender) ? qobject_cast<QLineEdit*>(sender) : m_nameField);
        return;
    }
    if (command == QStringLiteral("changeStyle:")) {
        if (auto* control = qobject_cast<QWidget*>(sender))
            commitStyle(control);
        return;
    }
    if (command == QStringLiteral("addToLibrary:")) {
        if (onAddToLibrary)
            onAddToLibrary(m_map);
        return;
    }
    if (const Action action = actions().value(command))
        (this->*action)();
}

CommandValidation FondWindowController::validate(const QString& command, QAction*) const
{
    CommandValidation validation;
    const bool canChange = m_document.canUpdate();
    if (command == QStringLiteral("selectAll:")) {
        validation.enabled = bool(m_document.select) && !m_map.entities.isEmpty();
    } else if (command == QStringLiteral("groupEntities:")) {
        validation.enabled = canChange && selectedIDs().size() >= 2;
    } else if (command == QStringLiteral("ungroupEntities:") || command == QStringLiteral("duplicate:")) {
        validation.enabled = canChange && !selectedIDs().isEmpty();
    } else if (command == QStringLiteral("delete:")) {
        validation.enabled = canChange && !unlockedIDs(m_map, selectedIDs()).isEmpty();
    }
    return validation;
}
