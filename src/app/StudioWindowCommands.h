#pragma once

#include "app/StudioWindowController.h"
#include "model/PlmDecorationKind.h"
#include "model/PlmPrintPage.h"

#include <QPointer>

#include <QMenu>
class StudioBackgroundInspector;
class StudioObjectsOutline;

// The studio window with its commands, its objects outline and its background image: the
// window controller's construction and refresh, plus what the user does in it. Every change
// of the work is one undoable update under its French action name.
//
// Commands answered (and validated) here: "changePrintFormat:", "controlTextDidEndEditing:"
// (the print size fields), "togglePrintPage:", "exportCarte:", "toggleEntityNames:", "undo:",
// "redo:", "addObject:", "showAddMenu:", "showDrawingMenu:", "chooseDrawingTool:",
// "showBackgroundMenu:", "importBackgroundPanel:", "showBackgroundInspector:",
// "changeBackgroundField:", "changeBackgroundLock:", "removeBackground:", "studioFond:",
// "studioCarte:", "studioData:", "importForMode:", "openLibrary:", "addDrawingSymbol:".
class StudioWindowCommands : public StudioWindowController {
    Q_OBJECT
public:
    explicit StudioWindowCommands(PlmWorkDocument* document);
    ~StudioWindowCommands() override;

    // Makes this window the studio window of every work document.
    static void install();

    StudioObjectsOutline* outline() const { return m_outline; }
    StudioBackgroundInspector* background() const { return m_background; }

    // Ends every edit in progress, the outline's rename included, and stores what it typed.
    bool commitEditing() override;
    // The refresh after a change and the selection pushed by the document.
    void reloadObjects() override;
    void selectObjects(const QSet<QString>& entityIDs, const std::optional<QString>& primary) override;

    // Print page.
    void applyPrintFormat(int item);
    void applyTypedPageSize();
    bool setPrintPage(const PlmPrintPage& page);
    // Says why a page typed or chosen is refused; the fields show the work's page again.
    void refusePrintPage(const QString& message);
    void togglePrintPageVisibility();

    // The work's display of entity names; undo and redo after committing pending edits.
    void toggleEntityNames();
    void undo();
    void redo();

    // Adds a layout element of a kind, or in Fond mode chooses the drawing tool of the four
    // kinds that are drawings. False for a name that is no kind.
    bool addObject(const QString& kindName);
    void addObject(PlmDecorationKind kind);
    // Whether adding a kind does something now: a drawing tool in Fond mode, otherwise the
    // layout's own element editing, which may not be there.
    bool canAddObject(PlmDecorationKind kind) const;

    // "addObject:" is validated for the kind its item carries.
    CommandValidation validate(const QString& command, QAction* action) const override;

    // Menus (the last one shown is kept for tests until the next).
    QMenu* makeAddDecorationMenu();
    QMenu* showAddMenu(QWidget* sender);
    QMenu* showDrawingMenu(QWidget* sender);
    QMenu* lastMenu() const { return m_menu; }
    // Chooses the Fond map view's drawing tool by raw value (0 to 8); others do nothing.
    void chooseDrawingTool(int tag);

    static const QStringList& drawingToolTitles();

    // Opens the symbol catalogue to place point symbols on the base map; the chosen symbol
    // starts placing in the Fond pane. The window is kept until it closes.
    void showPointSymbolCatalogue();
    QWidget* pointSymbolPicker() const { return m_pointSymbolPicker; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void carteDidLoad() override;

private:
    void registerStudioCommands();
    void wireOutlineSelection();
    void wireCarteSelection();
    QMenu* popUp(QMenu* menu, QWidget* sender);

    StudioObjectsOutline* m_outline = nullptr;
    StudioBackgroundInspector* m_background = nullptr;
    QPointer<QMenu> m_menu;
    QPointer<QWidget> m_pointSymbolPicker;
};
