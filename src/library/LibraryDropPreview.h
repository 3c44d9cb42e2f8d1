#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>

// The right-hand preview of the library window, which also takes vector files dropped from
// the file manager: it lights up while the files can be imported and hands them over.
class LibraryDropPreview : public QWidget {
    Q_OBJECT
public:
    explicit LibraryDropPreview(QWidget* parent = nullptr);

    std::function<bool(const QStringList& paths)> canReceive;
    std::function<void(const QStringList& paths)> receive;
    bool highlighted() const { return highlighted_; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setHighlighted(bool on);
    bool accepts(const QStringList& paths) const { return canReceive && !paths.isEmpty() && canReceive(paths); }
    bool highlighted_ = false;
    QWidget* frame_;
};
