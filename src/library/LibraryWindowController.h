#pragma once

#include "tables/PlmInputSheet.h"
#include "librarystore/PlmLibraryStore.h"
#include "platform/CommandResponder.h"
#include "desktop/DocumentController.h"

#include <QMainWindow>
#include <QModelIndexList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class LibraryDropPreview;
class LibraryOutlineModel;
class LibraryOutlineView;
class LibraryQuickLook;
class LibraryThumbnails;
class LibraryUndoGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QModelIndex;
class QSplitter;
class QToolBar;
class QUndoCommand;
class QUndoStack;
class VectorCanvas;
struct LibraryImportRead;

// The browser of one library package: a toolbar, an outline of the package's folders and
// maps with their pictures, and on the right the details of the selection above a live
// preview of the selected map (also a drop target for files from the file manager). It has
// its own undo stack, apart from the documents', and answers the library's commands along
// the command chain, Édition › Annuler and Rétablir included.
//
// Split by concern: LibraryWindowController.cpp (window, reload, details),
// LibraryWindowControllerCommands.cpp (the commands and their undo),
// LibraryWindowControllerImport.cpp (import of outside files, opening a map),
// LibraryWindowControllerMenus.cpp (toolbar, menus, command chain),
// LibraryWindowControllerPreviews.cpp (thumbnails, « Coup d’œil », drag and drop).
class LibraryWindowController : public QObject, public CommandResponder {
    Q_OBJECT
public:
    static QString libraryItemPasteboardType(); // "ondrel.pelmorastudio.library-item"
    static QString emptyTitle();                // "Vos fonds, prêts à cartographier"
    static QString listAutosaveName();          // "Bibliothèque-liste"
    static QString splitAutosaveName();         // "Bibliothèque-division"

    explicit LibraryWindowController(const PlmLibraryStore& store, QObject* parent = nullptr);
    ~LibraryWindowController() override;

    PlmLibraryStore store() const { return store_; }
    QMainWindow* window() const { return window_; }
    void showWindow();
    void close();

    // --- The tree -----------------------------------------------------------------------
    // Re-reads the store with the search text, keeping the expanded folders, and selects the
    // items at those paths (none given: the present selection), expanding their folders.
    // An error of the store is presented and the outline keeps what it showed.
    void reload(const std::optional<QStringList>& selecting = std::nullopt);
    void reload(const QString& selecting) { reload(QStringList{selecting}); }
    // Reads the tree again when the window comes to the front; reloads only when it changed.
    void refreshIfChanged();
    // The folder new items go into: the selected folder, the folder of the selected map, or
    // the package's root when nothing is selected.
    std::optional<QString> selectedFolderURL() const;
    std::optional<QString> selectedItemURL() const;
    QList<PlmLibraryItem> selectedItems() const;
    // Less the items inside another selected folder.
    QList<PlmLibraryItem> selectedTopLevelItems() const;
    void select(const QStringList& urls);
    // Status line, details text and preview for the selection.
    void updateDetails();
    void presentError(const QString& message);
    void presentError(const std::exception_ptr& error);

    // --- Commands -----------------------------------------------------------------------
    // A double click (`clicked` valid) toggles a folder or opens a map; otherwise each selected
    // folder is expanded and each selected map opened.
    void openSelection(const QModelIndex& clicked);
    // Opens a map of the library as a new, unsaved work document: its content is checked,
    // the choice alert asks when the map brings data, and the library file stays untouched.
    void openMap(const QString& path);
    void newFolder();
    void newMap();
    // The open panel, then importFiles() into the folder chosen when the command started.
    void importMaps();
    // Reads the files in the background, then asks for each map, stores it, and reports.
    // All the files of one import are undone together. `finished` runs last.
    void importFiles(const QStringList& files, const QString& folder, std::function<void()> finished = {});
    void renameSelected();
    void duplicateSelected();
    void deleteItems(const QStringList& urls);
    void moveItems(const QStringList& urls, const QString& destination);
    bool canMove(const QStringList& urls, const QString& destination) const;
    void revealInFileManager();
    void showOnline();
    // Whether dropped files may be imported: some, and every one passes the quick test.
    bool canDrop(const QStringList& files) const;

    // --- « Coup d’œil » -----------------------------------------------------------------
    void toggleQuickLook();
    // Writes one PDF per selected map into a new "PlmQuickLook-" folder (numbered subfolders)
    // and removes the previous folder.
    void preparePreviews();
    QStringList previewURLs() const { return previewURLs_; }
    QString previewDirectory() const { return previewDirectory_; }
    LibraryQuickLook* quickLook() const { return quickLook_; }

    // --- Menus --------------------------------------------------------------------------
    // Fills the context menu (clicked row made the selection when it was not selected) or
    // the « Actions » pull-down.
    void fillMenu(QMenu* menu, bool isContextMenu);
    QMenu* contextMenu() const { return contextMenu_; }
    QMenu* actionsMenu() const { return actionsMenu_; }
    QToolBar* toolbar() const { return toolbar_; }

    // --- Drag and drop ------------------------------------------------------------------
    // The folder a drop over that row lands in: the folder itself, a map's folder, or the
    // root for no row.
    QString dropDestination(const QModelIndex& proposed) const;
    Qt::DropAction validateDrop(const QMimeData* data, const QModelIndex& proposed) const;
    bool acceptDrop(const QMimeData* data, const QModelIndex& proposed);
    QStringList draggingURLs() const { return draggingURLs_; }

    // --- Undo ---------------------------------------------------------------------------
    // Records the addition of a file: undo moves it to the trash, redo puts it back.
    void registerAddition(const QString& path, const QString& actionName);
    QUndoStack* undoStack() const { return undo_; }

    // --- The command chain --------------------------------------------------------------
    bool handles(const QString& command) const override;
    void perform(const QString& command, QObject* sender) override;
    CommandValidation validate(const QString& command, QAction* action) const override;

    // --- Hooks --------------------------------------------------------------------------
    // Asks for a name ("Valider"/"Annuler"); none when cancelled. Tests replace it.
    using NamePrompt = std::function<std::optional<QString>(const QString& title, const QString& defaultText, QWidget* window)>;
    static void setNamePrompt(NamePrompt prompt);
    // Replaces the making of the work document for an opened map (tests of this folder, which
    // has no studio); an empty function restores it.
    using MapOpener = std::function<void(const PlmMap& map, const QString& path, const QList<PlmInputSheet>& sheets)>;
    static void setMapOpener(MapOpener opener);
    // Where new work documents go (the shared controller by default).
    void setDocumentController(DocumentController* documents) { documents_ = documents; }

    // --- Parts, for tests ---------------------------------------------------------------
    LibraryOutlineView* outline() const { return outline_; }
    LibraryOutlineModel* model() const { return model_; }
    QLineEdit* searchField() const { return search_; }
    QLabel* detailLabel() const { return detail_; }
    QLabel* statusLabel() const { return status_; }
    LibraryDropPreview* preview() const { return preview_; }
    VectorCanvas* previewCanvas() const { return previewCanvas_; }
    LibraryThumbnails* thumbnails() const { return thumbnails_; }
    QSplitter* splitter() const { return split_; }

signals:
    void importFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void buildToolbar();
    void buildContent();
    void showEmptyState();
    void clearPreview();
    void showMap(const PlmLibraryItem& item, const PlmMap& map);
    void previewLoaded(const QString& path, const std::optional<PlmMap>& map, const QString& error);
    void saveLayout() const;
    void restoreLayout();
    QList<QModelIndex> selectedRows() const;
    QWidget* sheetWindow() const;

    // Undo steps; each is made after its change and pushed alone or inside a group.
    QUndoCommand* additionStep(const QString& path, const QString& actionName);
    QUndoCommand* deletionStep(const PlmLibraryDeletion& deletion);
    QUndoCommand* moveStep(const QString& from, const QString& to, const QString& actionName);
    // What the steps do: trash the item and show the tree without it (none when refused), or
    // bring a trashed item back and show it (false when refused). Refusals are presented.
    std::optional<PlmLibraryDeletion> trashAndReload(const QString& path);
    bool restoreAndReload(const PlmLibraryDeletion& deletion);
    // Pushes the group when it holds at least one step, else throws it away: no empty step.
    void pushGroup(LibraryUndoGroup* group);
    std::optional<QString> askName(const QString& title, const QString& defaultText);
    void openDecodedMap(const PlmMap& map, const QString& path, const QList<PlmInputSheet>& sheets);
    void applyImport(const QString& folder, QList<LibraryImportRead> reads);
    void fillMoveMenu(QMenu* menu, const QList<PlmLibraryItem>& folders);
    void startDragging(const QModelIndexList& rows);

    PlmLibraryStore store_;
    QPointer<QMainWindow> window_;
    LibraryOutlineView* outline_ = nullptr;
    LibraryOutlineModel* model_ = nullptr;
    QLineEdit* search_ = nullptr;
    LibraryDropPreview* preview_ = nullptr;
    VectorCanvas* previewCanvas_ = nullptr;
    bool previewIsLarge_ = false; // the live view shows a map read off the main thread
    QLabel* detail_ = nullptr;
    QLabel* status_ = nullptr;
    QSplitter* split_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    QMenu* actionsMenu_ = nullptr;
    QUndoStack* undo_ = nullptr;
    LibraryThumbnails* thumbnails_ = nullptr;
    LibraryQuickLook* quickLook_ = nullptr; // a child of the window, made on first use
    QStringList draggingURLs_;
    QStringList previewURLs_;
    QString previewDirectory_;
    QPointer<DocumentController> documents_;
    QString loadingPreview_; // the large map being read for the preview
};
