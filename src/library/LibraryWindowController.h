#pragma once

#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

class QPushButton;

// The library window. Browsing and keeping base maps is not in this version: the window
// says so and offers the three ways into the studio ("Nouveau document", "Nouveau fond",
// "Ouvrir…"), which it sends as commands to the application, so that the application never
// stands without a window at start-up.
class LibraryWindowController : public QObject {
    Q_OBJECT
public:
    explicit LibraryWindowController(QObject* parent = nullptr);
    ~LibraryWindowController() override;

    static QString unavailableText();

    // The window, made on first use.
    QMainWindow* window();
    void showWindow();
    void close();

    // Rebuilds the library outline, selecting the given item (none here).
    void reload(const std::optional<QString>& selecting = std::nullopt);
    // The folder new items go into; none while there is no library store.
    std::optional<QString> selectedFolderURL() const { return std::nullopt; }

    // The buttons, by command: "newStudioDocument:", "newFondDocument:", "openAnyDocument:".
    QPushButton* button(const QString& command) const;

private:
    void buildWindow();
    void send(const QString& command);

    QPointer<QMainWindow> window_;
};
