#include "app/PlmWorkDocument.h"
#include "app/StudioSplit.h"
#include "app/StudioWindowController.h"

#include "export/CarteExportPanel.h"
#include "app/StudioWindowText.h"
#include "fond/FondWindowController.h"
#include "canvas/VectorCanvas.h"
#include "data/CalculationWindowController.h"
#include "data/DataWindowController.h"
#include "page/DecorationController.h"
#include "inspector/InspectorIcon.h"
#include "inspector/InspectorScroll.h"
#include "inspector/TypedField.h"
#include "desktop/DialogHooks.h"
#include "carte/CarteWindowController.h"
#include "platform/UserDefaults.h"
#include "desktop/ViewHost.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>

namespace {

constexpr int bottomTabCount = 3;
constexpr int outlineRowHeight = 28;

QString selectionKeyOfEntity(const QString& id)
{
    return QStringLiteral("entity:") + id;
}

} // namespace

// --- Committing pending edits ------------------------------------------------------------

bool StudioWindowController::commitEditing()
{
    // Once nobody can see the window (the program ends), every edit is taken or named, not
    // only the first one refused.
    const bool unattended = DialogHooks::isUnattended();
    bool kept = true;
    const auto went = [&kept, unattended](bool taken) {
        kept = kept && taken;
        return taken || unattended;
    };
    // The data pane ends its own cell edit and says whether the text was refused; while it is
    // already committing (this call came from it) there is nothing more to end.
    if (!data->committing && !went(data->commitPendingEdit()))
        return false;
    if (m_carte && !went(m_carte->commitPendingEdits()))
        return false;
    // Every other typed field of the window: the Fond and layout inspectors, the page size.
    if (isWindowLoaded() && !went(TypedField::commitAll(window())))
        return false;
    // The export panel and the formula window are windows of their own: the studio's focus does
    // not end their typing. Only one on screen holds any: closed, hidden, confirmed or cancelled,
    // what its fields still show was taken or given up by the person.
    const auto shown = [](const QWidget* own) { return own && own->isVisible(); };
    if (m_carte)
        if (CarteExportPanel* panel = m_carte->exportPanel();
            panel && shown(panel->window()) && !went(panel->commitTypedFields()))
            return false;
    if (data->calculationController && shown(data->calculationController->window())
        && !went(TypedField::commitAll(data->calculationController->window())))
        return false;
    // Leaving no focused widget ends any other text edit of the window.
    if (isWindowLoaded()) {
        if (QWidget* focused = window()->focusWidget())
            focused->clearFocus();
    }
    return kept;
}

// --- Modes ---------------------------------------------------------------------------------

bool StudioWindowController::switchMode(Mode newMode, bool createCarte)
{
    checkMainThread(__FILE__);
    if (!workingDocument())
        return false;
    if (!commitEditing()) {
        updateModeButtons();
        return false;
    }
    PlmWorkDocument* doc = workingDocument();
    if (newMode == Mode::carte && createCarte && !doc->createCarteIfNeeded())
        return false;
    if (newMode == Mode::fond && m_carte) {
        DecorationController* decorations = m_carte->decorationController();
        decorations->commitTextEdit();
        decorations->clearSelection();
        decorations->updateSelection();
    }
    inspectingBackground = false;
    mode = newMode;
    UserDefaults::setValue(modeKey, int(newMode));
    if (newMode == Mode::carte) {
        CarteWindowController* pane = carte(); // made on the first visit
        embed(carteContent, canvasHost, 0);
        embed(pane->inspectorScroll(), inspectorBody, 0);
    } else {
        embed(fondContent, canvasHost, 0);
        embed(fondInspector, inspectorBody, 0);
    }
    updateModeButtons();
    reloadObjects();
    if (isWindowLoaded() && window()->layout())
        window()->layout()->activate();
    QWidget* focus = newMode == Mode::carte ? carteContent : fondContent;
    if (focus)
        focus->setFocus();
    return true;
}

void StudioWindowController::updateModeButtons()
{
    const QColor accent = QApplication::palette().color(QPalette::Highlight);
    const QColor label = QApplication::palette().color(QPalette::ButtonText);
    for (auto it = modeItems.constBegin(); it != modeItems.constEnd(); ++it) {
        QToolButton* button = it.value();
        const bool current = it.key() == mode;
        button->setChecked(current);
        const QColor tint = current ? accent : label;
        button->setIcon(InspectorIcon::symbol(button->property("symbolName").toString(), tint));
        QColor background = accent;
        background.setAlphaF(current ? 0.15f : 0.0f);
        button->setStyleSheet(QStringLiteral("QToolButton { border: none; border-radius: 6px; padding: 0 8px; color: %1; "
                                             "background-color: rgba(%2, %3, %4, %5); }")
                                  .arg(tint.name())
                                  .arg(background.red())
                                  .arg(background.green())
                                  .arg(background.blue())
                                  .arg(background.alphaF()));
    }
}

// --- Bottom tabs ---------------------------------------------------------------------------

bool StudioWindowController::selectTab(int tab)
{
    const auto showCurrentTab = [this] {
        if (QAbstractButton* button = tabs->button(bottomTab))
            button->setChecked(true);
    };
    checkMainThread(__FILE__);
    if (!workingDocument() || tab < 0 || tab >= bottomTabCount) {
        showCurrentTab();
        return false;
    }
    if (!data->committing && !data->commitPendingEdit()) {
        showCurrentTab();
        return false;
    }
    bottomTab = tab;
    showCurrentTab();
    UserDefaults::setValue(tabKey, tab);
    if (tab == 0) {
        embed(dataContent, bottomBody, 0);
    } else if (tab == 1) {
        if (const std::optional<PlmWork> work = currentWork())
            refreshPreview(*work);
        embed(previewView, bottomBody, 0);
        if (isWindowLoaded() && window()->layout())
            window()->layout()->activate();
        preview->fit(true);
    } else {
        embed(statisticsScroll, bottomBody, 16);
    }
    refreshStatistics();
    return true;
}

bool StudioWindowController::revealData()
{
    checkMainThread(__FILE__);
    if (!workingDocument() || !commitEditing() || !selectTab(0))
        return false;
    if (vertical->isPanelHidden(1))
        vertical->togglePanel(1);
    embed(dataInspector, inspectorBody, 0);
    if (isWindowLoaded() && window()->layout())
        window()->layout()->activate();
    if (QTableView* table = data->table())
        table->setFocus();
    data->scrollToActiveColumn();
    return true;
}

// --- The refresh after a change ---------------------------------------------------------

void StudioWindowController::reloadObjects()
{
    checkMainThread(__FILE__);
    PlmWorkDocument* doc = workingDocument();
    if (!doc)
        return;
    const PlmWork work = doc->work();

    fond->reloadFromDocument();
    data->reloadTable();
    // A hidden Carte pane is brought up to date when its mode is shown (switchMode reloads).
    if (m_carte && mode == Mode::carte && !m_carteJustLoaded)
        m_carte->refreshControls();
    m_carteJustLoaded = false;
    if (bottomTab == 1)
        refreshPreview(work);
    // A page size being typed is not overwritten by a change made elsewhere (the window coming
    // back to the front, a cell of the table); ending the edit stores it and refreshes.
    const auto beingTyped = [](const QLineEdit* field) { return field && field->hasFocus() && field->isModified(); };
    if (!beingTyped(printWidth) && !beingTyped(printHeight))
        refreshPrintFormat();

    // The outline shows the map's entities and the layout's objects: a change elsewhere (a
    // cell, a formula, the thematic settings) leaves it as it is, however large the map.
    // Entities edited in place (renamed, moved, restyled) only retitle their rows: a large map
    // is not rebuilt row by row for one changed entity.
    const auto retitleInPlace = [this, &work]() {
        const PlmEntityList& before = objectsSignature->map.entities;
        const PlmEntityList& after = work.map.entities;
        if (!objectsModel || before.size() != after.size() || m_entityNodes.size() != after.size())
            return false;
        for (qsizetype i = 0; i < after.size(); ++i) {
            if (before.at(i).id != after.at(i).id)
                return false;
        }
        for (qsizetype i = 0; i < after.size(); ++i) {
            const PlmEntity& entity = after.at(i);
            if (before.at(i) == entity)
                continue;
            QStandardItem* node = m_entityNodes.value(entity.id);
            if (!node)
                return false;
            const QString title = entity.name.isEmpty() ? entity.id : entity.name;
            if (node->text() != title) {
                node->setText(title);
                node->setToolTip(title);
            }
        }
        return true;
    };
    if (!objectsSignature || !(objectsSignature->decoration == work.decoration)
        || (!(objectsSignature->map.entities == work.map.entities) && !retitleInPlace()))
        rebuildObjects(work);
    objectsSignature = work;
    refreshStatistics();
    restoreOutlineSelection();
    if (inspectingBackground && backgroundInspector)
        embed(backgroundInspector, inspectorBody, 0);
    updateStatus();
    validateToolbarItems();
}

void StudioWindowController::refreshPreview(const PlmWork& work)
{
    if (!(preview->map() == work.map))
        preview->setMap(work.map);
    std::optional<PlmBackgroundImage> background;
    if (work.decoration)
        background = work.decoration->backgroundImage;
    if (!(preview->backgroundImage() == background))
        preview->setBackgroundImage(background);
}

void StudioWindowController::updateStatus()
{
    PlmWorkDocument* doc = workingDocument();
    if (!doc || !status)
        return;
    const PlmWork work = doc->work();
    status->setText(StudioWindowText::statusLine(work.map.entities.size(), work.variables.size(),
                                                 data->selectedEntityIDs().size()));
}

void StudioWindowController::refreshStatistics()
{
    const std::optional<PlmWork> work = currentWork();
    if (!work || !statistics)
        return;
    // The text is only seen in the statistics tab, and choosing that tab refreshes it: a cell
    // typed in the data tab of a large work does not summarise its whole column each time.
    if (bottomTab != 2)
        return;
    // The text depends on the variables alone.
    if (m_statisticsVariables && *m_statisticsVariables == work->variables)
        return;
    m_statisticsVariables = work->variables;
    QHash<QString, QPair<PlmVariable, QString>> summaries;
    QStringList blocks;
    for (const PlmVariable& variable : work->variables) {
        if (variable.type == PlmVariableType::text)
            continue;
        auto known = m_summaries.constFind(variable.id);
        const QString text = known != m_summaries.constEnd() && known->first == variable
            ? known->second
            : StudioWindowText::statisticsText(variable);
        summaries.insert(variable.id, {variable, text});
        blocks.append(text);
    }
    m_summaries = summaries;
    statistics->setText(blocks.isEmpty() ? StudioWindowText::noNumericVariable : blocks.join(QStringLiteral("\n\n")));
}

QString StudioWindowController::shownPrintDimension(bool width) const
{
    const std::optional<PlmWork> work = currentWork();
    const std::optional<PlmPrintPage> page = work && work->decoration ? work->decoration->printPage : std::nullopt;
    return StudioWindowText::printDimension(width ? (page ? page->width : 297) : (page ? page->height : 210));
}

void StudioWindowController::refreshPrintFormat()
{
    if (!printFormat || !printWidth || !printHeight)
        return;
    double width = 297;
    double height = 210;
    if (const std::optional<PlmWork> work = currentWork(); work && work->decoration && work->decoration->printPage) {
        width = work->decoration->printPage->width;
        height = work->decoration->printPage->height;
    }
    // A size being typed keeps its text.
    TypedField::of(printWidth)->show(StudioWindowText::printDimension(width));
    TypedField::of(printHeight)->show(StudioWindowText::printDimension(height));
    printFormat->setCurrentIndex(StudioWindowText::printFormatIndex(width, height));
}

// --- Outline ---------------------------------------------------------------------------------

void StudioWindowController::rebuildObjects(const PlmWork& work)
{
    if (!objectsModel)
        return;
    const bool wasSuppressing = suppressSelection;
    suppressSelection = true;
    objectsModel->removeRows(0, objectsModel->rowCount());
    m_entityNodes.clear();
    m_entityNodes.reserve(work.map.entities.size());

    auto* fondSection = new QStandardItem(QStringLiteral("Fond"));
    fondSection->setData(QStringLiteral("section:Fond"), Qt::UserRole);
    fondSection->setSelectable(false);
    fondSection->setSizeHint(QSize(-1, outlineRowHeight));
    // The last drawn entity is on top: it comes first.
    for (qsizetype i = work.map.entities.size() - 1; i >= 0; --i) {
        const PlmEntity& entity = work.map.entities.at(i);
        auto* node = new QStandardItem(entity.name.isEmpty() ? entity.id : entity.name);
        node->setData(selectionKeyOfEntity(entity.id), Qt::UserRole);
        node->setToolTip(node->text());
        // Rows are of uniform height: the view takes it from the first row, the section's.
        fondSection->appendRow(node);
        m_entityNodes.insert(entity.id, node);
    }
    auto* layoutSection = new QStandardItem(QStringLiteral("Habillage"));
    layoutSection->setData(QStringLiteral("section:Habillage"), Qt::UserRole);
    layoutSection->setSelectable(false);
    layoutSection->setSizeHint(QSize(-1, outlineRowHeight));
    if (work.decoration) {
        for (qsizetype i = work.decoration->objects.size() - 1; i >= 0; --i) {
            const PlmDecorationObject& object = work.decoration->objects.at(i);
            QString title = object.presentation.title.value_or(QString());
            if (title.isEmpty())
                title = object.text.section(QLatin1Char('\n'), 0, 0);
            if (title.isEmpty())
                title = defaultTitle(object.kind);
            auto* node = new QStandardItem(title);
            node->setData(QStringLiteral("decoration:") + object.id, Qt::UserRole);
            node->setSizeHint(QSize(-1, outlineRowHeight));
            layoutSection->appendRow(node);
        }
    }
    objectsModel->appendRow(fondSection);
    objectsModel->appendRow(layoutSection);
    objects->expandAll();
    suppressSelection = wasSuppressing;
}

void StudioWindowController::restoreOutlineSelection()
{
    PlmWorkDocument* doc = workingDocument();
    if (!doc || !objectsModel)
        return;
    const QSet<QString> selected = doc->selectedEntityIDs();
    const bool wasSuppressing = suppressSelection;
    suppressSelection = true;
    // Neighbouring rows go in as one range: the selection model compares ranges pairwise, and a
    // whole large map selected would otherwise take seconds.
    QList<int> rows;
    QModelIndex section;
    for (const QString& id : selected) {
        if (QStandardItem* node = m_entityNodes.value(id)) {
            rows.append(node->row());
            section = node->index().parent();
        }
    }
    std::sort(rows.begin(), rows.end());
    QItemSelection selection;
    for (qsizetype i = 0; i < rows.size();) {
        qsizetype j = i;
        while (j + 1 < rows.size() && rows.at(j + 1) <= rows.at(j) + 1)
            ++j;
        selection.select(objectsModel->index(rows.at(i), 0, section), objectsModel->index(rows.at(j), 0, section));
        i = j + 1;
    }
    objects->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    suppressSelection = wasSuppressing;
}

// --- Selection -------------------------------------------------------------------------------

void StudioWindowController::selectObjects(const QSet<QString>& entityIDs, const std::optional<QString>& primary)
{
    checkMainThread(__FILE__);
    fond->canvas()->creationSelection = entityIDs;
    fond->canvas()->setNeedsDisplay();
    if (VectorCanvas* layoutMap = loadedCarteMapView()) {
        layoutMap->creationSelection = entityIDs;
        layoutMap->setNeedsDisplay();
    }
    restoreOutlineSelection();
    data->selectRows(entityIDs);
    if (entityIDs.size() <= 1)
        data->selectRow(primary);
    updateStatus();
}

void StudioWindowController::canvasSelectionDidChange(const QStringList& entityIDPath)
{
    const bool wasSuppressing = suppressSelection;
    suppressSelection = true;
    if (PlmWorkDocument* doc = workingDocument())
        doc->select(entityIDPath.isEmpty() ? std::nullopt : std::optional<QString>(entityIDPath.first()));
    suppressSelection = wasSuppressing;
}

void StudioWindowController::decorationSelectionDidChange(const std::optional<QString>& id)
{
    if (!objectsModel || suppressSelection)
        return;
    suppressSelection = true;
    QItemSelection selection;
    if (id) {
        if (QStandardItem* layoutSection = objectsModel->item(1)) {
            for (int row = 0; row < layoutSection->rowCount(); ++row) {
                QStandardItem* node = layoutSection->child(row);
                if (node->data(Qt::UserRole).toString() == QStringLiteral("decoration:") + *id)
                    selection.select(node->index(), node->index());
            }
        }
    }
    objects->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    suppressSelection = false;
}

void StudioWindowController::wireSelection()
{
    QPointer<StudioWindowController> self(this);
    fond->canvas()->onStudioObjectSelection = [self](const QStringList& path) {
        if (self)
            self->canvasSelectionDidChange(path);
    };
    data->onSelectionChange = [self](const QList<QString>& ids) {
        if (!self)
            return;
        if (PlmWorkDocument* doc = self->workingDocument())
            doc->select(QSet<QString>(ids.begin(), ids.end()), ids.isEmpty() ? std::nullopt : std::optional<QString>(ids.first()));
        self->updateStatus();
    };
}

void StudioWindowController::storeComposition(PlmWork& work) const
{
    // A pane never made has changed nothing of the composition.
    if (m_carte)
        m_carte->storeComposition(work);
}
