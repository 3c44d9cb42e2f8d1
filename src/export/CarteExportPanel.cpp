#include "export/CarteExportPanel.h"

#include "inspector/InspectorSection.h"
#include "export/CarteBitmapExport.h"
#include "export/CarteExportComposition.h"
#include "export/CarteExportForm.h"
#include "export/CarteExportOverflow.h"
#include "export/CartePDFExport.h"
#include "model/PlmErrors.h"
#include "desktop/DialogHooks.h"
#include "inspector/TypedField.h"
#include "desktop/WindowTeardown.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPdfDocument>
#include <QPdfView>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

[[noreturn]] void fail(const QString& message) { throw PlmWorkError::invalid(message); }

const QString badNumber = QStringLiteral("Valeur numérique incorrecte.");

double number(const QLineEdit* field)
{
    const std::optional<double> value = CarteExportForm::parseNumber(field->text());
    if (!value)
        fail(badNumber);
    return *value;
}

PlmPrintPage defaultPage()
{
    PlmPrintPage page;
    page.origin = PlmPoint{0, 0};
    page.width = 297;
    page.height = 210;
    page.margin = 10;
    page.landscape = true;
    page.visible = true;
    return page;
}

void assertMainThread()
{
    Q_ASSERT(!QCoreApplication::instance() || QThread::currentThread() == QCoreApplication::instance()->thread());
}

} // namespace

CarteExportPanel::CarteExportPanel(CarteExportComposition& composition, WorkAccess work, QObject* parent)
    : QObject(parent)
    , m_composition(composition)
    , m_work(std::move(work))
    , m_pdfBuffer(&m_pdfBytes)
{
    m_previewTimer = new QTimer(this);
    m_previewTimer->setSingleShot(true);
    m_previewTimer->setInterval(250);
    connect(m_previewTimer, &QTimer::timeout, this, &CarteExportPanel::renderPreviewNow);
    m_pdfDocument = new QPdfDocument(this);
}

CarteExportPanel::CarteExportPanel(std::unique_ptr<CarteExportComposition> composition, WorkAccess work,
                                   QObject* parent)
    : CarteExportPanel(*composition, std::move(work), parent)
{
    m_ownedComposition = std::move(composition);
}

CarteExportPanel::~CarteExportPanel()
{
    // The composition the fields apply their page to may be gone already: a field losing its
    // focus as the window dies must reach nothing.
    if (m_window) {
        m_window->removeEventFilter(this);
        WindowTeardown::destroy(m_window.data());
    }
    // The document reads from a buffer that is a member: it goes first.
    m_pdfDocument->close();
    delete m_pdfDocument;
}

PlmExportSize CarteExportPanel::exportSize(const PlmPrintPage& page) const
{
    PlmExportSize size;
    size.width = page.width;
    size.height = page.height;
    size.margin = page.margin;
    size.actualSize = true;
    size.compositionOrigin = QPointF(page.origin.x, page.origin.y);
    return size;
}

void CarteExportPanel::present(QWidget* sourceWindow)
{
    assertMainThread();
    m_sourceWindow = sourceWindow;
    const std::optional<PlmWork> work = m_work.read ? m_work.read() : std::nullopt;
    if (work && (!work->decoration || !work->decoration->printPage)) {
        try {
            m_work.update(QStringLiteral("Définir la page d’impression"), [](PlmWork& w) {
                PlmDecoration decoration = w.decoration.value_or(PlmDecoration());
                decoration.printPage = defaultPage();
                w.decoration = decoration;
            });
        } catch (const PlmError& error) {
            DialogHooks::presentError(error.message(), sourceWindow);
        }
    }
    if (m_window) {
        // The window shown before goes answering none of its fields.
        m_window->removeEventFilter(this);
        WindowTeardown::destroy(m_window.data());
    }
    buildWindow();
    const std::optional<PlmWork> current = m_work.read ? m_work.read() : std::nullopt;
    m_window->setWindowTitle(QStringLiteral("Préparer l’export — ") + (current ? current->map.name : QString()));
    loadPageIntoForm();
    updatePreview();
    if (QScreen* screen = m_window->screen()) {
        const QRect available = screen->availableGeometry();
        m_window->move(available.center() - QPoint(m_window->width() / 2, m_window->height() / 2));
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void CarteExportPanel::buildWindow()
{
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    // The work's panel never keeps the program running once the work's own windows are closed.
    window->setAttribute(Qt::WA_QuitOnClose, false);
    window->resize(1100, 760);
    window->setMinimumSize(900, 620);
    window->installEventFilter(this);
    m_window = window;

    m_format = new QComboBox;
    m_format->addItems({QStringLiteral("PDF"), QStringLiteral("SVG"), QStringLiteral("PNG"), QStringLiteral("JPEG")});
    m_paper = new QComboBox;
    m_paper->addItems({QStringLiteral("A4"), QStringLiteral("A3"), QStringLiteral("Personnalisé")});
    m_orientation = new QComboBox;
    m_orientation->addItems({QStringLiteral("Portrait"), QStringLiteral("Paysage")});
    m_width = new QLineEdit;
    m_height = new QLineEdit;
    m_margin = new QLineEdit;
    m_x = new QLineEdit;
    m_y = new QLineEdit;
    m_dpi = new QLineEdit(QStringLiteral("300"));
    m_transparency = new QCheckBox(QStringLiteral("PNG transparent"));
    m_status = new QLabel;
    m_status->setWordWrap(true);
    m_status->setFont(InspectorSection::systemFont(11));
    m_status->setForegroundRole(QPalette::PlaceholderText);

    auto* form = new QWidget;
    form->setFixedWidth(300);
    auto* column = new QVBoxLayout(form);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    const std::pair<const char*, QWidget*> rows[] = {
        {"Format", m_format},          {"Page", m_paper},           {"Orientation", m_orientation},
        {"Largeur (mm)", m_width},     {"Hauteur (mm)", m_height},  {"Marges (mm)", m_margin},
        {"Position X (pt)", m_x},      {"Position Y (pt)", m_y},    {"Résolution (dpi)", m_dpi},
    };
    for (const auto& [title, control] : rows)
        column->addWidget(InspectorSection::labeledRow(QString::fromUtf8(title), control));
    column->addWidget(m_transparency);
    column->addWidget(m_status);
    column->addStretch(1);

    for (QComboBox* popup : {m_format, m_paper, m_orientation})
        connect(popup, &QComboBox::activated, this, [this, popup] { formChanged(popup); });
    connect(m_transparency, &QCheckBox::clicked, this, [this] { formChanged(m_transparency); });
    // The page's fields store what is typed as their edit ends; the resolution is no part of the
    // work and is read as it stands.
    const std::pair<QLineEdit*, const char*> typed[] = {{m_width, "Largeur (mm)"},      {m_height, "Hauteur (mm)"},
                                                        {m_margin, "Marges (mm)"},      {m_x, "Position X (pt)"},
                                                        {m_y, "Position Y (pt)"}};
    for (const auto& [field, name] : typed) {
        QLineEdit* pageField = field;
        TypedField::attach(pageField, {QString::fromUtf8(name), [this, pageField] { return shownText(pageField); },
                                       [this](const QString&) { return takePage(); },
                                       [this](const QString& message) { showError(message); }});
        // A refused text given up for the stored value takes its refusal along: the status line
        // and « Exporter » follow the fields again.
        connect(pageField, &QLineEdit::textChanged, this, [this] {
            if (!m_loading && m_window && !m_continue->isEnabled() && !pageBeingTyped())
                updatePreview();
        });
    }
    connect(m_dpi, &QLineEdit::editingFinished, this, [this] { formChanged(m_dpi); });

    m_preview = new QPdfView;
    m_preview->setDocument(m_pdfDocument);
    m_preview->setPageMode(QPdfView::PageMode::SinglePage);
    m_preview->setZoomMode(QPdfView::ZoomMode::FitInView);
    m_preview->setBackgroundRole(QPalette::Window);
    m_imagePreview = new QLabel;
    m_imagePreview->setAlignment(Qt::AlignCenter);
    m_imagePreview->setMinimumSize(1, 1);
    m_imagePreview->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    auto* previews = new QWidget;
    auto* stack = new QHBoxLayout(previews);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->addWidget(m_preview);
    stack->addWidget(m_imagePreview);

    m_closeButton = new QPushButton(QStringLiteral("Fermer"));
    m_continue = new QPushButton(QStringLiteral("Exporter"));
    m_continue->setDefault(true);
    m_continue->setAutoDefault(true);
    connect(m_closeButton, &QPushButton::clicked, this, &CarteExportPanel::close);
    connect(m_continue, &QPushButton::clicked, this, &CarteExportPanel::exportFile);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addWidget(m_closeButton);
    buttons->addStretch(1);
    buttons->addWidget(m_continue);

    auto* top = new QHBoxLayout;
    top->setSpacing(20);
    top->addWidget(form);
    top->addWidget(previews, 1);
    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(20, 20, 20, 16);
    outer->setSpacing(16);
    outer->addLayout(top, 1);
    outer->addLayout(buttons);

    // Undo and redo act on the work, as anywhere else in the studio.
    auto* undo = new QAction(window);
    undo->setShortcut(QKeySequence::Undo);
    auto* redo = new QAction(window);
    redo->setShortcut(QKeySequence::Redo);
    window->addAction(undo);
    window->addAction(redo);
    if (QUndoStack* stack = m_work.undoStack) {
        undo->setEnabled(stack->canUndo());
        redo->setEnabled(stack->canRedo());
        connect(stack, &QUndoStack::canUndoChanged, undo, &QAction::setEnabled);
        connect(stack, &QUndoStack::canRedoChanged, redo, &QAction::setEnabled);
        connect(undo, &QAction::triggered, stack, &QUndoStack::undo);
        connect(redo, &QAction::triggered, stack, &QUndoStack::redo);
    } else {
        undo->setEnabled(false);
        redo->setEnabled(false);
    }
}

bool CarteExportPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Close) {
        // Closing takes what a field holds; a text refused now keeps the window open.
        if (!commitTypedFields()) {
            event->ignore();
            return true;
        }
        QTimer::singleShot(0, this, [this] { windowClosed(); });
    }
    // The window is no dialog, so no default button takes Return: a field ends its editing on
    // Return (applying the page) and leaves the key, which reaches the window here.
    if (watched == m_window && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_continue) {
            if (m_continue->isEnabled())
                m_continue->click();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void CarteExportPanel::windowClosed()
{
    m_previewTimer->stop();
    if (onClose)
        onClose();
}

void CarteExportPanel::close()
{
    if (m_window)
        m_window->close();
}

bool CarteExportPanel::pageBeingTyped() const
{
    for (const QLineEdit* field : {m_width, m_height, m_margin, m_x, m_y})
        if (const TypedField* typed = TypedField::of(field); typed && typed->isBeingTyped())
            return true;
    return false;
}

bool CarteExportPanel::commitTypedFields()
{
    return !m_window || TypedField::commitAll(m_window);
}

QString CarteExportPanel::shownText(const QLineEdit* field) const
{
    const std::optional<PlmWork> work = m_work.read ? m_work.read() : std::nullopt;
    if (!work || !work->decoration || !work->decoration->printPage)
        return field->text();
    const PlmPrintPage& p = *work->decoration->printPage;
    const double value = field == m_width ? p.width
                       : field == m_height ? p.height
                       : field == m_margin ? p.margin
                       : field == m_x ? p.origin.x
                                      : p.origin.y;
    return CarteExportForm::formatNumber(value);
}

QString CarteExportPanel::takePage()
{
    if (m_loading || !m_window)
        return {};
    try {
        applyPage();
    } catch (const PlmError& error) {
        return error.message();
    }
    loadPageIntoForm(true);
    updatePreview();
    return {};
}

void CarteExportPanel::loadPageIntoForm(bool keepTyped)
{
    const std::optional<PlmWork> work = m_work.read ? m_work.read() : std::nullopt;
    if (!m_window || !work || !work->decoration || !work->decoration->printPage)
        return;
    const PlmPrintPage& p = *work->decoration->printPage;
    const bool loading = m_loading;
    m_loading = true;
    const auto show = [keepTyped](QLineEdit* field, double value) {
        if (keepTyped)
            TypedField::of(field)->show(CarteExportForm::formatNumber(value));
        else
            field->setText(CarteExportForm::formatNumber(value));
    };
    show(m_width, p.width);
    show(m_height, p.height);
    show(m_margin, p.margin);
    show(m_x, p.origin.x);
    show(m_y, p.origin.y);
    m_orientation->setCurrentIndex(p.landscape ? 1 : 0);
    const double small = std::min(p.width, p.height);
    const double large = std::max(p.width, p.height);
    m_paper->setCurrentIndex(small == 210 && large == 297 ? 0 : small == 297 && large == 420 ? 1 : 2);
    m_loading = loading;
}

PlmPrintPage CarteExportPanel::pageFromForm() const
{
    const double width = number(m_width);
    const double height = number(m_height);
    const double margin = number(m_margin);
    const double x = number(m_x);
    const double y = number(m_y);
    PlmPrintPage page;
    page.origin = PlmPoint{x, y};
    page.width = width;
    page.height = height;
    page.margin = margin;
    // A square page keeps the orientation the person chose.
    page.landscape = width == height ? m_orientation->currentIndex() == 1 : height <= width;
    const std::optional<PlmWork> work = m_work.read ? m_work.read() : std::nullopt;
    page.visible = work && work->decoration && work->decoration->printPage ? work->decoration->printPage->visible : true;
    page.validate();
    return page;
}

void CarteExportPanel::applyPage()
{
    const PlmPrintPage page = pageFromForm();
    m_updatingPage = true;
    try {
        const std::optional<PlmWork> work = m_work.read ? m_work.read() : std::nullopt;
        if (!(work && work->decoration && work->decoration->printPage == page)) {
            m_work.update(QStringLiteral("Page d’impression"), [&page](PlmWork& w) {
                PlmDecoration decoration = w.decoration.value_or(PlmDecoration());
                decoration.printPage = page;
                w.decoration = decoration;
            });
        }
    } catch (...) {
        m_updatingPage = false;
        throw;
    }
    m_composition.showPrintPage(page);
    m_updatingPage = false;
}

void CarteExportPanel::formChanged(QObject* sender)
{
    assertMainThread();
    if (m_loading || !m_window)
        return;
    if (sender == m_paper && m_paper->currentIndex() <= 1) {
        const double shortSide = m_paper->currentIndex() == 0 ? 210 : 297;
        const double longSide = m_paper->currentIndex() == 0 ? 297 : 420;
        const bool landscape = m_orientation->currentIndex() == 1;
        m_width->setText(CarteExportForm::formatNumber(landscape ? longSide : shortSide));
        m_height->setText(CarteExportForm::formatNumber(landscape ? shortSide : longSide));
    } else if (sender == m_orientation) {
        const std::optional<double> w = CarteExportForm::parseNumber(m_width->text());
        const std::optional<double> h = CarteExportForm::parseNumber(m_height->text());
        if (!w || !h) {
            showError(badNumber);
            return;
        }
        const bool landscape = m_orientation->currentIndex() == 1;
        m_width->setText(CarteExportForm::formatNumber(landscape ? std::max(*w, *h) : std::min(*w, *h)));
        m_height->setText(CarteExportForm::formatNumber(landscape ? std::min(*w, *h) : std::max(*w, *h)));
    }
    try {
        applyPage();
    } catch (const PlmError& error) {
        showError(error.message());
        return;
    }
    loadPageIntoForm();
    updatePreview();
}

void CarteExportPanel::showError(const QString& message)
{
    m_status->setText(message);
    m_continue->setEnabled(false);
}

void CarteExportPanel::updatePreview()
{
    if (!m_window)
        return;
    try {
        const PlmExportSize size = exportSize(pageFromForm());
        const int format = m_format->currentIndex();
        m_dpi->setEnabled(format >= png);
        m_transparency->setVisible(format == png);
        m_preview->setVisible(format <= svg);
        m_imagePreview->setVisible(format >= png);
        QString status = pageStatus();
        if (format >= png) {
            const std::optional<double> dpi = CarteExportForm::parseNumber(m_dpi->text());
            if (!dpi)
                fail(badNumber);
            const PlmExportSize::PixelSize pixels = size.pixelSize(*dpi);
            status += QLatin1Char('\n') + QString::number(pixels.width) + QStringLiteral(" × ")
                + QString::number(pixels.height) + QStringLiteral(" pixels");
        }
        if (const QString overflow = CarteExportOverflow::statusLine(CarteExportOverflow::outside(m_composition, size));
            !overflow.isEmpty())
            status += QLatin1Char('\n') + overflow;
        m_status->setText(status);
        m_continue->setEnabled(true);
        m_pendingSize = size;
        m_previewTimer->start();
    } catch (const PlmError& error) {
        showError(error.message());
    }
}

void CarteExportPanel::renderPreviewNow()
{
    m_previewTimer->stop();
    if (!m_window || !m_pendingSize)
        return;
    const PlmExportSize size = *m_pendingSize;
    m_pendingSize.reset();
    const int format = m_format->currentIndex();
    try {
        if (format <= svg) {
            // SVG previews as the vector PDF of the same page.
            const PlmExportResult result = CartePDFExport::exportPDF(m_composition, size);
            m_preview->setDocument(nullptr);
            m_pdfDocument->close();
            m_pdfBuffer.close();
            m_pdfBytes = result.data;
            m_pdfBuffer.open(QIODevice::ReadOnly);
            m_pdfDocument->load(&m_pdfBuffer);
            m_preview->setDocument(m_pdfDocument);
            m_continue->setEnabled(m_pdfDocument->status() == QPdfDocument::Status::Ready);
        } else {
            const double dpi = CarteExportForm::parseNumber(m_dpi->text()).value_or(0);
            // The preview is drawn at the resolution the screen shows, never above the file's:
            // the status line gives the file's own pixel size.
            const double ratio = m_imagePreview->devicePixelRatioF();
            const QSizeF area = QSizeF(std::max(m_imagePreview->width(), 200), std::max(m_imagePreview->height(), 200))
                * ratio;
            const double fit = 72 * std::min(area.width() / size.pageWidthPoints(), area.height() / size.pageHeightPoints());
            const double previewDpi = std::clamp(fit, 12.0, std::max(dpi, 12.0));
            const QImage image = CarteBitmapExport::renderImage(
                m_composition, size, previewDpi, format == jpeg ? CarteBitmapExport::Format::jpeg : CarteBitmapExport::Format::png,
                m_transparency->isChecked());
            QPixmap pixmap = QPixmap::fromImage(image);
            pixmap.setDevicePixelRatio(ratio);
            m_imagePreview->setPixmap(pixmap);
            m_continue->setEnabled(!pixmap.isNull());
        }
    } catch (const PlmError& error) {
        showError(error.message());
    }
}

void CarteExportPanel::refreshFromDocument()
{
    if (!m_window || !m_window->isVisible() || m_updatingPage)
        return;
    const std::optional<PlmWork> work = m_work.read ? m_work.read() : std::nullopt;
    if (work && work->decoration && work->decoration->printPage) {
        loadPageIntoForm(true);
        updatePreview();
        return;
    }
    m_previewTimer->stop();
    m_pendingSize.reset();
    m_preview->setDocument(nullptr);
    m_imagePreview->clear();
    m_status->setText(QStringLiteral("Aucune page définie."));
    m_continue->setEnabled(false);
}
