#pragma once

#include "export/PlmExportResult.h"
#include "export/PlmExportSize.h"
#include "model/PlmPrintPage.h"
#include "model/PlmWork.h"

#include <QBuffer>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class CarteExportComposition;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPdfDocument;
class QPdfView;
class QPushButton;
class QTimer;
class QUndoStack;

// The export preparation window of one work: format, paper, orientation, page, margin,
// position and resolution, with a live preview of what will be written; "Exporter" saves
// the file. The page set here is the work's print page, stored as undoable steps.
//
// Split by concern: CarteExportPanel.cpp (window, form, page, preview) and
// CarteExportPanelSave.cpp (the save flow).
class CarteExportPanel : public QObject {
    Q_OBJECT
public:
    // How the panel reaches the work: read it, change it as one undoable step (throws
    // PlmError with a French sentence), and its undo stack.
    struct WorkAccess {
        std::function<std::optional<PlmWork>()> read;
        std::function<void(const QString& actionName, const std::function<void(PlmWork&)>& change)> update;
        QUndoStack* undoStack = nullptr;
        // Takes what is typed in the work's other windows, as every command that reads the work
        // does: false when a text there is refused (said in front of the person).
        std::function<bool()> commitEdits;
    };

    enum Format { pdf, svg, png, jpeg };

    CarteExportPanel(CarteExportComposition& composition, WorkAccess work, QObject* parent = nullptr);
    // The same, keeping the composition (for instance a ThematicCanvasExport of the pane's canvas).
    CarteExportPanel(std::unique_ptr<CarteExportComposition> composition, WorkAccess work, QObject* parent = nullptr);
    ~CarteExportPanel() override;

    std::function<void()> onClose;

    // Builds and shows the preparation window; a work without print page gets the A4
    // landscape page first, as one undoable step.
    void present(QWidget* sourceWindow = nullptr);
    // After every change of the work while the window shows (the panel's own page update
    // excepted).
    void refreshFromDocument();
    // "Exporter": the form becomes the print page, the file is rendered, a save dialog asks
    // for the destination and the bytes are written at once.
    void exportFile();
    // Closes the window (onClose is called).
    void close();
    // Takes what was typed in a page field and not yet ended (Return, Tab, a click elsewhere in
    // the window), as ending it would: a save, a close or the end of the program finds it in the
    // work. False when a text is refused now (shown in the panel) or, once nobody can see the
    // panel, named as lost.
    bool commitTypedFields();
    // Writes an export's bytes as "Exporter" does once the destination is chosen: whole or not
    // at all (a temporary file renamed over the destination). False when it could not.
    static bool writeFile(const QString& path, const QByteArray& data);

    // The export page of the form: the page cut out of the composition at its origin.
    PlmExportSize exportSize(const PlmPrintPage& page) const;
    // The page the form describes; throws PlmError.
    PlmPrintPage pageFromForm() const;

    // Renders the pending preview now instead of after the typing pause.
    void renderPreviewNow();

    // The window and its controls, for the studio and for tests.
    QWidget* window() const { return m_window; }
    QComboBox* formatPopup() const { return m_format; }
    QComboBox* paperPopup() const { return m_paper; }
    QComboBox* orientationPopup() const { return m_orientation; }
    QLineEdit* widthField() const { return m_width; }
    QLineEdit* heightField() const { return m_height; }
    QLineEdit* marginField() const { return m_margin; }
    QLineEdit* xField() const { return m_x; }
    QLineEdit* yField() const { return m_y; }
    QLineEdit* dpiField() const { return m_dpi; }
    QCheckBox* transparencyBox() const { return m_transparency; }
    QLabel* statusLabel() const { return m_status; }
    QLabel* imagePreview() const { return m_imagePreview; }
    QPdfView* pdfPreview() const { return m_preview; }
    QPushButton* exportButton() const { return m_continue; }
    QPushButton* closeButton() const { return m_closeButton; }

    static QString pageStatus()
    {
        return QStringLiteral("1 point de composition = 1 point imprimé. Les éléments hors page ou marges sont coupés.");
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    // `keepTyped` leaves a field the person is typing in as it is: a refresh of the studio
    // (its window coming to the front among them) must not wipe what is being typed.
    void loadPageIntoForm(bool keepTyped = false);
    void formChanged(QObject* sender);
    void applyPage();
    // A page field's text stored with the others as the work's print page: empty when stored,
    // else why the page is refused.
    QString takePage();
    // What a page field shows of the work's print page.
    QString shownText(const QLineEdit* field) const;
    // Whether a page field holds a text typed and not taken (a refused one included).
    bool pageBeingTyped() const;
    void updatePreview();
    void showError(const QString& message);
    void windowClosed();
    void finishExport(const QString& path, const QByteArray& data, const QStringList& notes);

    std::unique_ptr<CarteExportComposition> m_ownedComposition;
    CarteExportComposition& m_composition;
    WorkAccess m_work;
    QPointer<QWidget> m_sourceWindow;
    QPointer<QWidget> m_window;
    bool m_updatingPage = false;
    bool m_loading = false;

    QComboBox* m_format = nullptr;
    QComboBox* m_paper = nullptr;
    QComboBox* m_orientation = nullptr;
    QLineEdit* m_width = nullptr;
    QLineEdit* m_height = nullptr;
    QLineEdit* m_margin = nullptr;
    QLineEdit* m_x = nullptr;
    QLineEdit* m_y = nullptr;
    QLineEdit* m_dpi = nullptr;
    QCheckBox* m_transparency = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_imagePreview = nullptr;
    QPdfView* m_preview = nullptr;
    QPushButton* m_continue = nullptr;
    QPushButton* m_closeButton = nullptr;

    // The preview is rendered after a short pause in the typing, at screen resolution.
    QTimer* m_previewTimer = nullptr;
    std::optional<PlmExportSize> m_pendingSize;
    QByteArray m_pdfBytes;
    QBuffer m_pdfBuffer;
    QPdfDocument* m_pdfDocument = nullptr;
};
