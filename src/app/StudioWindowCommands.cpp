#include "app/StudioWindowCommands.h"

#include "app/PlmWorkDocument.h"
#include "app/StudioBackgroundInspector.h"
#include "app/StudioObjectsOutline.h"
#include "app/StudioOutlineDelegate.h"
#include "app/StudioPrintFormat.h"
#include "app/StudioWindowText.h"
#include "fond/FondWindowController.h"
#include "canvas/VectorCanvas.h"
#include "data/DataWindowController.h"
#include "page/DecorationController.h"
#include "symbolcatalogue/ProportionalShapeSvgFile.h"
#include "mapimport/VectorImportUI.h"
#include "carte/CarteWindowController.h"
#include "library/LibraryCoordinator.h"
#include "symbolcatalogue/SymbolPickerWindowController.h"
#include "model/PlmErrors.h"
#include "desktop/DialogHooks.h"
#include "desktop/ViewHost.h"
#include "canvas/SymbolPickerLauncher.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QUndoStack>

StudioWindowCommands::StudioWindowCommands(PlmWorkDocument* document)
    : StudioWindowController(document, Outline::own)
{
    // The outline's own model and delegate take the place of the plain rows.
    objectsSignature.reset();
    m_outline = new StudioObjectsOutline(*this);
    m_background = new StudioBackgroundInspector(*this, *m_outline);
    m_background->build();
    wireOutlineSelection();
    registerStudioCommands();
    reloadObjects();
}

StudioWindowCommands::~StudioWindowCommands()
{
    delete m_menu;
}

void StudioWindowCommands::install()
{
    PlmWorkDocument::setStudioWindowFactory(
        [](PlmWorkDocument* document) -> DocumentWindowController* { return new StudioWindowCommands(document); });
    // The panes open the symbol catalogue through this; it also makes glyphs read their icons.
    SymbolPickerWindowController::installLauncher();
    // The layout page reads SVG drawings through the importer, which lives above it.
    DecorationController::svgImporter = [](const QString& path) { return ProportionalShapeSvgFile::importSVGSymbol(path); };
}

void StudioWindowCommands::wireOutlineSelection()
{
    QPointer<StudioObjectsOutline> outline(m_outline);
    const auto reportPath = [outline](const QStringList& path) {
        if (outline)
            outline->canvasSelectionDidChange(path);
    };
    fond->canvas()->onStudioObjectSelection = reportPath;
    if (loadedCarte())
        wireCarteSelection();
}

void StudioWindowCommands::wireCarteSelection()
{
    QPointer<StudioObjectsOutline> outline(m_outline);
    if (VectorCanvas* layoutMap = loadedCarteMapView()) {
        layoutMap->onStudioObjectSelection = [outline](const QStringList& path) {
            if (outline)
                outline->canvasSelectionDidChange(path);
        };
    }
    QPointer<CarteWindowController> pane(loadedCarte());
    pane->decorationController()->onObjectSelectionChange = [outline, pane](const std::optional<QString>& id) {
        if (pane)
            pane->decorationSelectionChanged();
        if (outline)
            outline->selectDecoration(id);
    };
}

void StudioWindowCommands::carteDidLoad()
{
    StudioWindowController::carteDidLoad();
    // Made while the base window was still being built: the outline wires it once it exists.
    if (m_outline)
        wireCarteSelection();
}

// --- Refresh ---------------------------------------------------------------------------------

bool StudioWindowCommands::commitEditing()
{
    if (!StudioWindowController::commitEditing())
        return false;
    // The view ends the rename as the focus leaves it, and its name is stored here, not once
    // the event loop comes back: the save or the close that asked must find it.
    if (m_outline)
        m_outline->delegate()->commitRename();
    return true;
}

void StudioWindowCommands::reloadObjects()
{
    StudioWindowController::reloadObjects();
    if (!m_outline || !workingDocument())
        return;
    m_outline->refresh();
    m_background->refresh();
    updateStatus();
}

void StudioWindowCommands::selectObjects(const QSet<QString>& entityIDs, const std::optional<QString>& primary)
{
    if (m_outline)
        m_outline->selectObjects(entityIDs, primary);
    else
        StudioWindowController::selectObjects(entityIDs, primary);
}

bool StudioWindowCommands::eventFilter(QObject* watched, QEvent* event)
{
    if (isWindowLoaded() && watched == window()) {
        // A refused pending edit keeps the window open.
        if (event->type() == QEvent::Close && !commitEditing()) {
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::WindowActivate)
            reloadObjects();
    }
    return StudioWindowController::eventFilter(watched, event);
}

// --- Print page ------------------------------------------------------------------------------

void StudioWindowCommands::applyPrintFormat(int item)
{
    PlmWorkDocument* doc = workingDocument();
    if (!doc)
        return;
    const PlmWork work = doc->work();
    if (item > StudioPrintFormat::a3) {
        if (!StudioPrintFormat::hasPrintPage(work))
            setPrintPage(PlmPrintPage());
        if (printFormat)
            printFormat->setCurrentIndex(StudioPrintFormat::custom);
        if (printWidth)
            printWidth->setFocus();
        return;
    }
    setPrintPage(StudioPrintFormat::formatPage(item, StudioPrintFormat::currentPage(work)));
}

void StudioWindowCommands::applyTypedPageSize()
{
    PlmWorkDocument* doc = workingDocument();
    if (!doc)
        return;
    const PlmWork work = doc->work();
    // Leaving a size field without typing changes nothing (no mode switch either).
    const PlmPrintPage current = StudioPrintFormat::currentPage(work);
    if (printWidth->text() == StudioWindowText::printDimension(current.width)
        && printHeight->text() == StudioWindowText::printDimension(current.height))
        return;
    PlmPrintPage page;
    try {
        page = StudioPrintFormat::typedPage(printWidth->text(), printHeight->text(), work);
    } catch (const PlmError& error) {
        refusePrintPage(error.message());
        return;
    }
    setPrintPage(page);
}

void StudioWindowCommands::refusePrintPage(const QString& message)
{
    // A size field being typed presents its refusal itself and keeps its text.
    if (takingTypedText) {
        typedRefusal = message;
        return;
    }
    DialogHooks::presentError(message, isWindowLoaded() ? window() : nullptr);
    refreshPrintFormat();
}

bool StudioWindowCommands::setPrintPage(const PlmPrintPage& page)
{
    PlmWorkDocument* doc = workingDocument();
    if (!doc)
        return false;
    try {
        page.validate();
    } catch (const PlmError& error) {
        refusePrintPage(error.message());
        return false;
    }
    bool stored = false;
    try {
        if (switchMode(Mode::carte, false)) {
            if (StudioPrintFormat::currentPage(doc->work()) == page && StudioPrintFormat::hasPrintPage(doc->work())) {
                stored = true;
            } else {
                doc->updateWork(QStringLiteral("Format de la page d’impression"),
                                [&](PlmWork& work) { StudioPrintFormat::storePage(work, page); });
                stored = true;
            }
        }
    } catch (const PlmError& error) {
        refusePrintPage(error.message());
        return false;
    }
    refreshPrintFormat();
    return stored;
}

void StudioWindowCommands::togglePrintPageVisibility()
{
    if (!workingDocument() || !switchMode(Mode::carte, false))
        return;
    updateWork(QStringLiteral("Afficher / masquer la page"), [](PlmWork& work) { StudioPrintFormat::togglePageVisibility(work); });
}

// --- Entity names, undo and redo ---------------------------------------------------------------

void StudioWindowCommands::toggleEntityNames()
{
    if (!workingDocument() || !commitEditing())
        return;
    updateWork(QStringLiteral("Afficher les noms des entités"), [](PlmWork& work) { StudioPrintFormat::toggleEntityNames(work); });
}

void StudioWindowCommands::undo()
{
    PlmWorkDocument* doc = workingDocument();
    if (doc && commitEditing() && doc->undoStack()->canUndo())
        doc->undoStack()->undo();
}

void StudioWindowCommands::redo()
{
    PlmWorkDocument* doc = workingDocument();
    if (doc && commitEditing() && doc->undoStack()->canRedo())
        doc->undoStack()->redo();
}

// --- Adding objects and drawing --------------------------------------------------------------

bool StudioWindowCommands::addObject(const QString& kindName)
{
    const std::optional<PlmDecorationKind> kind = plmDecorationKindFromRawValue(kindName);
    if (!kind)
        return false;
    addObject(*kind);
    return true;
}

namespace {

// The Fond drawing tool of the kinds that are drawings there.
std::optional<VectorCanvas::DrawingTool> drawingTool(PlmDecorationKind kind)
{
    switch (kind) {
    case PlmDecorationKind::rectangle: return VectorCanvas::DrawingTool::rectangle;
    case PlmDecorationKind::ellipse: return VectorCanvas::DrawingTool::ellipse;
    case PlmDecorationKind::line: return VectorCanvas::DrawingTool::line;
    case PlmDecorationKind::text: return VectorCanvas::DrawingTool::text;
    default: return std::nullopt;
    }
}

} // namespace

bool StudioWindowCommands::canAddObject(PlmDecorationKind kind) const
{
    if (mode == Mode::fond && drawingTool(kind))
        return true;
    if (mode == Mode::fond && (kind == PlmDecorationKind::svg || kind == PlmDecorationKind::sfSymbol))
        return SymbolPickerLauncher::isInstalled(); // placed on the base map through the catalogue
    // Validating a menu does not make the pane: without it, an element can be added whenever
    // the work can be read.
    if (CarteWindowController* pane = loadedCarte())
        return pane->decorationController()->canEditObjects();
    return workingDocument() != nullptr;
}

CommandValidation StudioWindowCommands::validate(const QString& command, QAction* action) const
{
    if (action && command == QLatin1String("addObject:")) {
        const std::optional<PlmDecorationKind> kind =
            plmDecorationKindFromRawValue(action->property("representedObject").toString());
        CommandValidation validation;
        validation.enabled = kind && canAddObject(*kind);
        return validation;
    }
    return StudioWindowController::validate(command, action);
}

void StudioWindowCommands::addObject(PlmDecorationKind kind)
{
    if (mode == Mode::fond) {
        if (const std::optional<VectorCanvas::DrawingTool> tool = drawingTool(kind)) {
            chooseDrawingTool(int(*tool));
            return;
        }
        // In Fond, an SVG or SF symbol is a point symbol of the base map, chosen in the catalogue.
        if (kind == PlmDecorationKind::svg || kind == PlmDecorationKind::sfSymbol) {
            showPointSymbolCatalogue();
            return;
        }
    }
    if (switchMode(Mode::carte, true))
        carte()->decorationController()->addObject(kind);
}

QMenu* StudioWindowCommands::popUp(QMenu* menu, QWidget* sender)
{
    delete m_menu;
    m_menu = menu;
    if (sender && sender->isVisible())
        menu->popup(sender->mapToGlobal(sender->rect().bottomLeft()));
    return menu;
}

QMenu* StudioWindowCommands::makeAddDecorationMenu()
{
    auto* menu = new QMenu(QStringLiteral("Ajouter de l’habillage"), isWindowLoaded() ? window() : nullptr);
    menu->setObjectName(QStringLiteral("Studio.AddDecorationMenu"));
    for (const PlmDecorationKind kind : allPlmDecorationKinds()) {
        QAction* action = menu->addAction(defaultTitle(kind));
        action->setData(rawValue(kind));
        action->setProperty("representedObject", rawValue(kind));
        action->setEnabled(canAddObject(kind));
        connect(action, &QAction::triggered, this, [this, action] { performCommand(QStringLiteral("addObject:"), action); });
    }
    return menu;
}

QMenu* StudioWindowCommands::showAddMenu(QWidget* sender)
{
    if (mode == Mode::fond)
        return showDrawingMenu(sender);
    return popUp(makeAddDecorationMenu(), sender);
}

const QStringList& StudioWindowCommands::drawingToolTitles()
{
    return FondWindowController::drawingToolTitles();
}

QMenu* StudioWindowCommands::showDrawingMenu(QWidget* sender)
{
    if (mode == Mode::carte)
        return popUp(makeAddDecorationMenu(), sender);
    if (!switchMode(Mode::fond, true))
        return nullptr;
    auto* menu = new QMenu(QStringLiteral("Dessiner des entités statistiques"), isWindowLoaded() ? window() : nullptr);
    menu->setObjectName(QStringLiteral("Studio.DrawingMenu"));
    const int current = int(fond->canvas()->drawingTool());
    for (int tag = 0; tag < drawingToolTitles().size(); ++tag) {
        QAction* action = menu->addAction(drawingToolTitles().at(tag));
        action->setCheckable(true);
        action->setChecked(tag == current);
        action->setProperty("tag", tag);
        connect(action, &QAction::triggered, this,
                [this, action] { performCommand(QStringLiteral("chooseDrawingTool:"), action); });
    }
    menu->addSeparator();
    QAction* catalogue = menu->addAction(QStringLiteral("Catalogue de symboles ponctuels…"));
    catalogue->setEnabled(handles(QStringLiteral("addDrawingSymbol:")));
    connect(catalogue, &QAction::triggered, this,
            [this, catalogue] { performCommand(QStringLiteral("addDrawingSymbol:"), catalogue); });
    return popUp(menu, sender);
}

void StudioWindowCommands::showPointSymbolCatalogue()
{
    if (!switchMode(Mode::fond, true))
        return;
    if (m_pointSymbolPicker)
        m_pointSymbolPicker->close();
    QPointer<StudioWindowCommands> self(this);
    SymbolPickerLauncher::Request request;
    request.completion = [self](const QString& name) {
        if (self && self->fond)
            self->fond->beginPlacing(PlmPointSymbol(name, std::nullopt));
    };
    request.svgCompletion = [self](const PlmMap& map, const QString&) {
        if (self && self->fond)
            self->fond->beginPlacing(PlmPointSymbol(std::nullopt, map));
    };
    request.onClose = [self] {
        if (self)
            self->m_pointSymbolPicker = nullptr;
    };
    m_pointSymbolPicker = SymbolPickerLauncher::open(request);
}

void StudioWindowCommands::chooseDrawingTool(int tag)
{
    const std::optional<VectorCanvas::DrawingTool> tool = VectorCanvas::drawingToolFromRaw(tag);
    if (!tool)
        return;
    VectorCanvas* view = fond->canvas();
    // Plain points again after a symbol was chosen in the catalogue.
    if (*tool == VectorCanvas::DrawingTool::point)
        view->pendingPointSymbol.reset();
    view->setDrawingTool(*tool); // tells the view its tool changed
    // The map view takes the keys (Escape, Delete) of the tool it now draws with.
    if (ViewHost* host = view->host()) {
        host->setFirstResponder(view);
        host->setFocus();
    }
}

// --- Commands --------------------------------------------------------------------------------

void StudioWindowCommands::registerStudioCommands()
{
    const auto plain = [this](const QString& name, std::function<void(QObject*)> perform) {
        registerCommand(name, {std::move(perform), {}});
    };
    const auto checked = [](bool on) {
        CommandValidation validation;
        validation.checked = on;
        return validation;
    };

    plain(QStringLiteral("studioFond:"), [this](QObject*) { switchMode(Mode::fond, true); });
    plain(QStringLiteral("studioCarte:"), [this](QObject*) { switchMode(Mode::carte, true); });
    plain(QStringLiteral("studioData:"), [this](QObject*) { revealData(); });
    plain(QStringLiteral("importForMode:"), [this](QObject*) {
        // The same base-map import in both modes: data come in from the data pane's own command.
        if (commitEditing())
            VectorImportUI::importBaseMap();
    });
    plain(QStringLiteral("openLibrary:"), [](QObject*) { LibraryCoordinator::shared().showLibrary(); });
    registerCommand(QStringLiteral("addDrawingSymbol:"),
                    {[this](QObject*) { showPointSymbolCatalogue(); },
                     [] {
                         CommandValidation validation;
                         validation.enabled = SymbolPickerLauncher::isInstalled();
                         return validation;
                     }});

    plain(QStringLiteral("changePrintFormat:"), [this](QObject*) {
        if (printFormat)
            applyPrintFormat(printFormat->currentIndex());
    });
    plain(QStringLiteral("controlTextDidEndEditing:"), [this](QObject* sender) {
        if (sender && (sender == printWidth || sender == printHeight))
            applyTypedPageSize();
        else if (auto* field = qobject_cast<QLineEdit*>(sender); field && backgroundFields.contains(field))
            m_background->fieldDidEndEditing(int(backgroundFields.indexOf(field)));
        else if (sender && sender == svgTextValue)
            m_outline->textValueDidEndEditing();
    });
    registerCommand(QStringLiteral("togglePrintPage:"),
                    {[this](QObject*) { togglePrintPageVisibility(); }, [this, checked] {
                         const std::optional<PlmWork> work = workingDocument() ? std::optional(workingDocument()->work()) : std::nullopt;
                         return checked(work && StudioPrintFormat::isPageVisible(*work));
                     }});
    registerCommand(QStringLiteral("exportCarte:"), {[this](QObject*) {
                                                         if (switchMode(Mode::carte, true))
                                                             carte()->presentExportPanel();
                                                     },
                                                     [this] {
                                                         CommandValidation validation;
                                                         validation.enabled = loadedCarte() ? loadedCarte()->canPresentExportPanel()
                                                                                        : workingDocument() != nullptr;
                                                         return validation;
                                                     }});
    registerCommand(QStringLiteral("toggleEntityNames:"), {[this](QObject*) { toggleEntityNames(); }, [this] {
                                                               PlmWorkDocument* doc = workingDocument();
                                                               CommandValidation validation;
                                                               validation.enabled = doc != nullptr;
                                                               validation.checked = doc && StudioPrintFormat::showsEntityNames(doc->work());
                                                               return validation;
                                                           }});
    registerCommand(QStringLiteral("undo:"), {[this](QObject*) { undo(); }, [this] {
                                                  // The document names the step: "Annuler Créer la carte".
                                                  PlmWorkDocument* doc = workingDocument();
                                                  CommandValidation validation = doc ? doc->validate(QStringLiteral("undo:"), nullptr) : CommandValidation{};
                                                  validation.enabled = doc && doc->undoStack()->canUndo();
                                                  return validation;
                                              }});
    registerCommand(QStringLiteral("redo:"), {[this](QObject*) { redo(); }, [this] {
                                                  // The document names the step: "Annuler Créer la carte".
                                                  PlmWorkDocument* doc = workingDocument();
                                                  CommandValidation validation = doc ? doc->validate(QStringLiteral("redo:"), nullptr) : CommandValidation{};
                                                  validation.enabled = doc && doc->undoStack()->canRedo();
                                                  return validation;
                                              }});
    plain(QStringLiteral("addObject:"), [this](QObject* sender) {
        if (sender)
            addObject(sender->property("representedObject").toString());
    });
    plain(QStringLiteral("showAddMenu:"), [this](QObject* sender) { showAddMenu(qobject_cast<QWidget*>(sender)); });
    plain(QStringLiteral("showDrawingMenu:"), [this](QObject* sender) { showDrawingMenu(qobject_cast<QWidget*>(sender)); });
    plain(QStringLiteral("chooseDrawingTool:"), [this](QObject* sender) {
        if (sender)
            chooseDrawingTool(sender->property("tag").toInt());
    });

    plain(QStringLiteral("showBackgroundMenu:"), [this](QObject* sender) {
        m_background->showMenu(qobject_cast<QWidget*>(sender));
    });
    plain(QStringLiteral("importBackgroundPanel:"), [this](QObject*) { m_background->importFromPanel(); });
    plain(QStringLiteral("showBackgroundInspector:"), [this](QObject*) { m_background->showInspector(); });
    plain(QStringLiteral("changeBackgroundField:"), [this](QObject* sender) {
        if (sender)
            m_background->fieldDidEndEditing(sender->property("tag").toInt());
    });
    plain(QStringLiteral("changeBackgroundLock:"), [this](QObject*) {
        m_background->changeLock(backgroundLock && backgroundLock->isChecked());
    });
    plain(QStringLiteral("removeBackground:"), [this](QObject*) { m_background->removeBackground(); });
}
