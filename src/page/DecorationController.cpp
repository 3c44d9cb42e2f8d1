#include "page/DecorationController.h"

#include "page/DecorationObjectView.h"
#include "page/DecorationSymbolChooser.h"
#include "desktop/ViewHost.h"
#include "desktop/WindowTeardown.h"
#include "page/DecorationTextEditor.h"
#include "inspector/InspectorSection.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "model/PlmErrors.h"

#include <QApplication>
#include <QVBoxLayout>
#include <QWidget>

#include "canvas/SymbolPickerLauncher.h"

#include <algorithm>

DecorationController::DecorationController(Document document, ThematicCanvas* canvas, bool studioPresentation,
                                           QObject* parent)
    : QObject(parent)
    , m_document(std::move(document))
    , m_canvas(canvas)
    , m_studioPresentation(studioPresentation)
{
    beep = [] { QApplication::beep(); };
    // The symbols the program draws, offered in a small window of their own.
    // The symbol catalogue when the application has one (named symbols only: changing a
    // symbol decoration), else a small window of the symbols the program draws.
    chooseSFSymbol = [this](std::function<void(const QString&)> chosen) {
        if (SymbolPickerLauncher::isInstalled()) {
            if (m_symbolPicker)
                m_symbolPicker->close();
            SymbolPickerLauncher::Request request;
            request.completion = std::move(chosen);
            m_symbolPicker = SymbolPickerLauncher::open(request);
            return;
        }
        ViewHost* host = m_canvas->host();
        auto* chooser = new DecorationSymbolChooser(host ? host->window() : nullptr);
        chooser->chosen = std::move(chosen);
        chooser->show();
    };
    // Adding a symbol decoration also offers the library's SVG symbols.
    chooseSymbolToAdd = [this](std::function<void(const QString&)> chosen,
                               std::function<void(const PlmMap&, const QString&)> chosenSVG) {
        if (!SymbolPickerLauncher::isInstalled()) {
            if (chooseSFSymbol)
                chooseSFSymbol(std::move(chosen));
            return;
        }
        if (m_symbolPicker)
            m_symbolPicker->close();
        SymbolPickerLauncher::Request request;
        request.completion = std::move(chosen);
        request.svgCompletion = std::move(chosenSVG);
        m_symbolPicker = SymbolPickerLauncher::open(request);
    };
    m_bar = new QWidget;
    m_bar->setObjectName(QStringLiteral("Carte.Decorations"));
    m_barLayout = new QVBoxLayout(m_bar);
    m_barLayout->setContentsMargins(0, 0, 0, 0);
    m_barLayout->setSpacing(0);
    m_barLayout->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    buildInspector();
    installLegendCallbacks(m_canvas->legend(), QStringLiteral("legend"));
    installLegendCallbacks(m_canvas->secondLegend(), QStringLiteral("secondLegend"));
    syncObjectViews();
}

DecorationController::~DecorationController()
{
    // A draft nobody can end any more is no change of the document's.
    if (m_draftDirty && m_document.noteDraft)
        m_document.noteDraft(false);
    if (m_editor) {
        m_editor->onFinish = nullptr;
        m_editor->onCancel = nullptr;
        WindowTeardown::destroy(m_editor.data());
    }
    // The symbol catalogue opened from the page is a window of its own, and its choice would
    // reach a page that no longer exists: it goes with the page, unanswered.
    WindowTeardown::destroy(m_symbolPicker.data());
    // The bar is handed to the pane's column; when it was never placed it is ours.
    if (m_bar && !m_bar->parent())
        WindowTeardown::destroy(m_bar.data());
}

std::optional<PlmWork> DecorationController::work() const
{
    return m_document.work ? m_document.work() : std::nullopt;
}

PlmDecoration DecorationController::decorationOf(const PlmWork& work)
{
    return work.decoration.value_or(PlmDecoration());
}

void DecorationController::presentError(const QString& message)
{
    if (m_refusalCapture) {
        *m_refusalCapture = message;
        return;
    }
    if (m_document.presentError)
        m_document.presentError(message);
}

void DecorationController::alert(const QString& message)
{
    if (m_document.showAlert)
        m_document.showAlert(message);
}

std::optional<PlmPresentation> DecorationController::selectedPresentation() const
{
    if (!selected)
        return std::nullopt;
    const std::optional<PlmWork> current = work();
    if (!current || !current->decoration)
        return std::nullopt;
    if (*selected == QLatin1String("legend"))
        return current->decoration->legend;
    if (*selected == QLatin1String("secondLegend"))
        return current->decoration->secondLegend;
    // A view's copy wins: a gesture in progress is seen.
    if (DecorationObjectView* view = objectView(*selected))
        return view->object.presentation;
    for (const PlmDecorationObject& object : current->decoration->objects)
        if (object.id == *selected)
            return object.presentation;
    return std::nullopt;
}

std::optional<PlmDecorationObject> DecorationController::selectedObject() const
{
    if (!selected)
        return std::nullopt;
    const std::optional<PlmWork> current = work();
    if (!current || !current->decoration)
        return std::nullopt;
    for (const PlmDecorationObject& object : current->decoration->objects)
        if (object.id == *selected)
            return object;
    return std::nullopt;
}

namespace {

std::optional<QString> greatest(const QSet<QString>& ids)
{
    if (ids.isEmpty())
        return std::nullopt;
    return *std::max_element(ids.cbegin(), ids.cend());
}

} // namespace

void DecorationController::select(const std::optional<QString>& id, bool extending)
{
    commitTextEdit();
    if (extending && id) {
        if (selectedIDs.contains(*id))
            selectedIDs.remove(*id);
        else
            selectedIDs.insert(*id);
        selected = greatest(selectedIDs);
    } else {
        selected = id;
        selectedIDs.clear();
        if (id)
            selectedIDs.insert(*id);
    }
    updateSelection();
}

void DecorationController::deselectAll()
{
    commitTextEdit();
    clearSelection();
    updateSelection();
}

void DecorationController::clearSelection()
{
    selected.reset();
    selectedIDs.clear();
}

void DecorationController::selectAll()
{
    commitTextEdit();
    selectedIDs.clear();
    std::optional<QString> topmost;
    for (DecorationObjectView* view : objectViews()) {
        if (view->isHidden())
            continue;
        selectedIDs.insert(view->object.id);
        topmost = view->object.id;  // bottom to top: the last visible one is the topmost
    }
    if (!m_canvas->legend()->isHidden())
        selectedIDs.insert(QStringLiteral("legend"));
    if (!m_canvas->secondLegend()->isHidden())
        selectedIDs.insert(QStringLiteral("secondLegend"));
    if (topmost) {
        selected = topmost;
    } else if (!selectedIDs.isEmpty()) {
        selected = *std::min_element(selectedIDs.cbegin(), selectedIDs.cend());
    } else {
        selected.reset();
    }
    updateSelection();
}

void DecorationController::updateSelection()
{
    if (selected != m_previousSelection) {
        m_previousSelection = selected;
        if (onSelectionChange)
            onSelectionChange(selected.has_value());
        if (onObjectSelectionChange)
            onObjectSelectionChange(selected);
    }
    m_canvas->legend()->setSelected(selectedIDs.contains(QStringLiteral("legend")));
    m_canvas->secondLegend()->setSelected(selectedIDs.contains(QStringLiteral("secondLegend")));
    for (DecorationObjectView* view : objectViews()) {
        view->selected = selectedIDs.contains(view->object.id);
        view->setNeedsDisplay();
    }
    const std::optional<PlmPresentation> presentation = selectedPresentation();
    const std::optional<PlmDecorationObject> object = selectedObject();
    const bool legendLike = (selected && (*selected == QLatin1String("legend")
                                          || *selected == QLatin1String("secondLegend")))
        || (object && object->kind == PlmDecorationKind::legend);
    const std::optional<PlmDecorationKind> kind = object ? std::optional(object->kind) : std::nullopt;
    const bool carriesText = legendLike
        || (kind && (isText(*kind) || *kind == PlmDecorationKind::scale || *kind == PlmDecorationKind::north));
    for (const auto& [section, key] : m_sections) {
        bool visible = true;
        if (!presentation)
            visible = false;
        else if (key == QLatin1String("text"))
            visible = carriesText;
        else if (key == QLatin1String("legend"))
            visible = legendLike;
        else if (key == QLatin1String("object"))
            visible = !legendLike;
        else if (key == QLatin1String("sf"))
            visible = kind == PlmDecorationKind::sfSymbol;
        else if (key == QLatin1String("fill"))
            visible = kind && (isText(*kind) || *kind == PlmDecorationKind::rectangle
                               || *kind == PlmDecorationKind::ellipse);
        else if (key == QLatin1String("scale"))
            visible = kind == PlmDecorationKind::scale;
        else if (key == QLatin1String("north"))
            visible = kind == PlmDecorationKind::north;
        if (section->isHidden() == visible)
            section->setHidden(!visible);
    }
    runBindings();
    m_canvas->setNeedsDisplay();
}

void DecorationController::runBindings()
{
    // The bar lives in the pane's column, which may be gone before the controller.
    if (!m_bar)
        return;
    for (const std::function<void()>& refresh : m_bindings)
        refresh();
}

bool DecorationController::applyChange(const QString& actionName, const DecorationChange& change)
{
    if (!work() || !m_document.updateWork)
        return false;
    try {
        m_document.updateWork(actionName, [&change](PlmWork& w) { editDecoration(w, change); });
    } catch (const PlmError& error) {
        presentError(error.message());
        updateSelection();
        return false;
    }
    return true;
}

bool DecorationController::applyPresentationChange(const QString& actionName, const PresentationChange& change)
{
    const QSet<QString> ids = selectedIDs;
    return applyChange(actionName, [&](PlmDecoration& d) { updatePresentations(d, ids, change); });
}

void DecorationController::editDecoration(PlmWork& work, const DecorationChange& change)
{
    PlmDecoration decoration = decorationOf(work);
    change(decoration);
    work.decoration = decoration;
}

void DecorationController::updatePresentations(PlmDecoration& decoration, const QSet<QString>& ids,
                                               const PresentationChange& change)
{
    if (ids.contains(QStringLiteral("legend")))
        change(decoration.legend);
    if (ids.contains(QStringLiteral("secondLegend")))
        change(decoration.secondLegend);
    for (PlmDecorationObject& object : decoration.objects)
        if (ids.contains(object.id))
            change(object.presentation);
}
