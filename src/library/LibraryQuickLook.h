#pragma once

#include "model/PlmMap.h"

#include <QStringList>
#include <QWidget>
#include <functional>

class QLabel;
class QPdfDocument;
class QPdfView;
class QToolButton;

// « Coup d’œil »: a floating window of our own that shows the PDF pages written for the
// selected maps, one at a time, in the manner of the desktop's quick previews. Space and
// Escape close it; the up and down arrows go back to the library outline, whose selection
// the previews follow; left and right step through the pages.
class LibraryQuickLook : public QWidget {
    Q_OBJECT
public:
    explicit LibraryQuickLook(QWidget* parent = nullptr);
    ~LibraryQuickLook() override;

    // The page size of a preview, in points.
    static QSizeF pageSize() { return {900, 700}; }
    // Writes the map, fitted with its margin on a page of that size, as a PDF file
    // (atomically). Throws PlmError with a French sentence when the file cannot be written.
    static void writePreviewPDF(const PlmMap& map, const QString& path);

    void setFiles(const QStringList& files);
    QStringList files() const { return files_; }
    int currentIndex() const { return index_; }
    void showIndex(int index);
    QString captionText() const;

    // The up and down arrows, handed to the library outline.
    std::function<void(QKeyEvent*)> onOutlineKey;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QStringList files_;
    int index_ = 0;
    QPdfDocument* document_;
    QPdfView* view_;
    QLabel* caption_;
    QToolButton* previous_;
    QToolButton* next_;
};
