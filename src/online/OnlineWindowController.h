#pragma once

#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

class QLabel;

// The window "Fonds en ligne". The catalogue of downloadable base maps is not in this
// version: the window says so and shows where a download would go, so the menu command and
// the library's command already have their window.
class OnlineWindowController : public QObject {
    Q_OBJECT
public:
    explicit OnlineWindowController(QObject* parent = nullptr);
    ~OnlineWindowController() override;

    static QString unavailableText();

    // Stores the destination folder and whether a hand-over opens a studio document, shows
    // "Destination : " and the folder's last component (full path as tool tip), then shows the
    // window in front.
    void present(const std::optional<QString>& destination, bool opensInStudio);

    QMainWindow* window() const { return window_; }
    std::optional<QString> destination() const { return destination_; }
    bool opensInStudio() const { return opensInStudio_; }
    QLabel* destinationLabel = nullptr;

private:
    void buildWindow();

    QPointer<QMainWindow> window_;
    std::optional<QString> destination_;
    bool opensInStudio_ = false;
};
