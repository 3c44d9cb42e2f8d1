#pragma once

#include "library/PlmLibraryStore.h"

#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QUndoStack;

// The library window of one package: the package's folders and maps in one outline, a
// double-click on a map opens it in a new studio document, and the three ways into the
// studio ("Nouveau document", "Nouveau fond", "Ouvrir…") are sent as commands to the
// application. It has its own undo stack, apart from the documents'.
class LibraryWindowController : public QObject {
    Q_OBJECT
public:
    explicit LibraryWindowController(const PlmLibraryStore& store, QObject* parent = nullptr);
    ~LibraryWindowController() override;

    PlmLibraryStore store() const { return store_; }

    // The window, made on first use.
    QMainWindow* window();
    void showWindow();
    void close();

    // Re-reads the store and rebuilds the outline, selecting the item at that path when
    // given. A store that cannot be read leaves the outline empty and says why.
    void reload(const std::optional<QString>& selecting = std::nullopt);
    // The folder new items go into: the selected folder, the folder of the selected map, or
    // the library's root.
    std::optional<QString> selectedFolderURL() const;
    // The path of the selected item, if any.
    std::optional<QString> selectedItemURL() const;

    // Opens a map of the library the way a ".plmmap" file is opened (a new studio document).
    void openMap(const QString& path);
    // The step that opens a map file; by default the shared document controller. Tests
    // replace it. An empty function restores the default.
    using MapOpener = std::function<void(const QString& path)>;
    static void setMapOpener(MapOpener opener);

    // Records the addition of a file so that undo moves it to the library's trash and redo
    // puts it back, under the action name given.
    void registerAddition(const QString& path, const QString& actionName);
    QUndoStack* undoStack() const { return undo_; }

    QTreeWidget* outline() const { return outline_; }
    QLabel* messageLabel() const { return message_; }
    // The buttons, by command: "newStudioDocument:", "newFondDocument:", "openAnyDocument:".
    QPushButton* button(const QString& command) const;

private:
    void buildWindow();
    void send(const QString& command);
    void fill(QTreeWidgetItem* parent, const QList<PlmLibraryItem>& items, const std::optional<QString>& selecting);
    void itemActivated(QTreeWidgetItem* item);

    PlmLibraryStore store_;
    QUndoStack* undo_ = nullptr;
    QPointer<QMainWindow> window_;
    QTreeWidget* outline_ = nullptr;
    QLabel* message_ = nullptr;
};
