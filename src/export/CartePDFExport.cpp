#include "export/CartePDFExport.h"

#include "canvas/VectorCanvas.h"
#include "export/CarteBitmapExport.h"
#include "export/CarteExportComposition.h"
#include "export/CarteExportDrawing.h"
#include "export/CarteExportScope.h"
#include "export/CarteExportSymbolNames.h"
#include "export/PDFExportImageAudit.h"
#include "export/PdfPageBox.h"
#include "export/SFExportPDFRenderer.h"
#include "model/PlmErrors.h"
#include "desktop/ViewNode.h"
#include "canvas/ProportionalShape.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QThread>

#include <array>

namespace {

[[noreturn]] void fail(const QString& message) { throw PlmWorkError::invalid(message); }

// Sets the map view's symbol fallback for the time of one drawing.
class FallbackFlag {
public:
    FallbackFlag(VectorCanvas* vector, bool value)
        : m_vector(vector)
    {
        if (m_vector) {
            m_saved = m_vector->usesSFExportFallback;
            m_vector->usesSFExportFallback = value;
        }
    }
    ~FallbackFlag()
    {
        if (m_vector)
            m_vector->usesSFExportFallback = m_saved;
    }

private:
    VectorCanvas* m_vector;
    bool m_saved = false;
};

struct PdfPage {
    QByteArray data;
    QBuffer buffer{&data};
    std::unique_ptr<QPdfWriter> writer;
    QPainter painter;
    double qtHeight = 0;  // the whole-point page height Qt draws against
};

// A painter on a one-page PDF of the given size in points, mapping y-up page points. Qt's
// writer works in whole points; the exact box is written back afterwards.
bool beginPage(PdfPage& page, double widthPt, double heightPt)
{
    if (!page.buffer.open(QIODevice::WriteOnly))
        return false;
    page.writer = std::make_unique<QPdfWriter>(&page.buffer);
    page.writer->setCreator(QStringLiteral("Pelmora Studio"));
    page.writer->setResolution(72);
    const QPageSize paper(QSizeF(widthPt, heightPt), QPageSize::Point, QString(), QPageSize::ExactMatch);
    if (!page.writer->setPageLayout(QPageLayout(paper, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0))))
        return false;
    if (!page.painter.begin(page.writer.get()))
        return false;
    page.qtHeight = page.writer->height();
    page.painter.setRenderHint(QPainter::Antialiasing);
    // Qt's writer otherwise re-encodes opaque pictures as JPEG: logos, backgrounds and
    // rasterized symbols keep their exact pixels.
    page.painter.setRenderHint(QPainter::LosslessImageRendering);
    ViewNode::flipPainter(page.painter, page.qtHeight);
    return true;
}

QByteArray finishPage(PdfPage& page, double widthPt, double heightPt)
{
    page.painter.end();
    page.writer.reset();
    page.buffer.close();
    setExactMediaBox(page.data, widthPt, heightPt);
    return page.data;
}

QString truncated(const QString& text, int count)
{
    // Never splits a surrogate pair.
    if (text.size() <= count)
        return text;
    int n = count;
    if (n > 0 && text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

} // namespace

QString CartePDFExport::kindLabel(int kind)
{
    static const std::array<const char*, 15> labels = {
        "Titre", "Sous-titre", "Texte libre", "Source", "Auteur", "Échelle locale", "Flèche du Nord", "Rectangle",
        "Ellipse", "Ligne", "Flèche", "Image / logo…", "Symbole SVG…", "Pictogramme…", "Légende"};
    return kind >= 0 && kind < int(labels.size()) ? QString::fromUtf8(labels[size_t(kind)]) : QString();
}

void CartePDFExport::drawView(QPainter& painter, ViewNode& view, ViewNode& root, CarteExportComposition& composition,
                              bool symbolFallback, SFExportPDFRenderer& renderer)
{
    CarteExportViewDrawing drawing;
    if (symbolFallback) {
        drawing = [&](ViewNode& v, QPainter& p) { return composition.drawSymbolFallback(v, p, renderer); };
    }
    drawExportViewTree(painter, view, root, composition, false, drawing);
}

QByteArray CartePDFExport::renderPDF(CarteExportComposition& composition, const PlmExportSize& size,
                                     bool symbolFallback)
{
    const double pageW = size.pageWidthPoints();
    const double pageH = size.pageHeightPoints();
    PdfPage page;
    if (!beginPage(page, pageW, pageH))
        fail(QStringLiteral("Impossible de créer le PDF."));
    QPainter& painter = page.painter;
    const double margin = PlmExportSize::points(size.margin);
    painter.fillRect(QRectF(0, 0, pageW, pageH), Qt::white);
    painter.setClipRect(QRectF(margin, margin, pageW - 2 * margin, pageH - 2 * margin));
    ViewNode& canvas = composition.canvas();
    const QRectF bounds = canvas.bounds();
    const PlmExportSize::Placement place = size.placement(bounds.width(), bounds.height());
    painter.translate(place.offsetX, place.offsetY);
    painter.scale(place.scale, place.scale);
    {
        FallbackFlag flag(composition.mapView(), symbolFallback);
        SFExportPDFRenderer renderer;
        drawView(painter, canvas, canvas, composition, symbolFallback, renderer);
    }
    return finishPage(page, pageW, pageH);
}

namespace {

// A PDF of one view's own drawing (not its subviews), for telling which views carry images.
// The view is drawn as in the file being diagnosed: with the symbol fallback when the file was
// drawn with it (here glyphs are vector outlines, so only the fallback's bitmaps are images).
std::optional<QByteArray> renderViewAlone(ViewNode& view, CarteExportComposition& composition, bool symbolFallback)
{
    const QRectF bounds = view.bounds();
    if (!(bounds.width() > 0) || !(bounds.height() > 0))
        return std::nullopt;
    PdfPage page;
    if (!beginPage(page, bounds.width(), bounds.height()))
        return std::nullopt;
    page.painter.translate(-bounds.topLeft());
    FallbackFlag flag(composition.mapView(), symbolFallback);
    SFExportPDFRenderer renderer;
    if (!symbolFallback || !composition.drawSymbolFallback(view, page.painter, renderer))
        view.draw(page.painter, bounds);
    return finishPage(page, bounds.width(), bounds.height());
}

QString diagnosedName(CarteExportComposition& composition, ViewNode& view)
{
    using Role = CarteExportComposition::ViewRole;
    switch (composition.role(view)) {
    case Role::map: {
        VectorCanvas* vector = composition.mapView();
        if (vector && vector->backgroundImage())
            return QStringLiteral("Image de fond intégrée et éventuels pictogrammes ponctuels");
        if (vector) {
            for (const PlmEntity& leaf : PlmEntity::visibleLeafEntities(vector->map().entities))
                if (leaf.pointSymbol && leaf.pointSymbol->sfSymbolName)
                    return QStringLiteral("Pictogrammes ponctuels");
        }
        fail(QStringLiteral("Le rendu PDF du fond contient une image inattendue. Export interrompu."));
    }
    case Role::decoration: {
        const std::optional<PlmDecorationObject> object = composition.decorationObject(view);
        if (!object)
            break;
        return CartePDFExport::kindLabel(int(object->kind)) + QStringLiteral(" : ") + truncated(object->text, 60);
    }
    case Role::legend:
        return QStringLiteral("Légende : ") + composition.legendTitle(view);
    default:
        break;
    }
    return QStringLiteral("Pictogrammes : ") + exportSFSymbolNames(composition).join(QStringLiteral(", "));
}

bool showsDrawableSystemSymbol(CarteExportComposition& composition)
{
    for (const std::shared_ptr<const ProportionalShape>& shape : composition.shownSymbolShapes())
        if (shape && shape->nativeSymbol)
            return true;
    for (const PlmDecorationObject& object : composition.decorationObjects())
        if (object.symbol && ProportionalShape(*object.symbol, false).nativeSymbol)
            return true;
    if (VectorCanvas* vector = composition.mapView()) {
        for (const PlmEntity& leaf : PlmEntity::visibleLeafEntities(vector->map().entities))
            if (std::shared_ptr<const ProportionalShape> shape = vector->pointShape(leaf); shape && shape->nativeSymbol)
                return true;
    }
    return false;
}

} // namespace

PlmExportResult CartePDFExport::exportPDF(CarteExportComposition& composition, const PlmExportSize& size)
{
    Q_ASSERT(!QCoreApplication::instance() || QThread::currentThread() == QCoreApplication::instance()->thread());
    CarteExportScope scope(composition);
    size.validate();
    ViewNode& canvas = composition.canvas();
    const QRectF bounds = canvas.bounds();
    if (!(bounds.width() > 0) || !(bounds.height() > 0))
        fail(QStringLiteral("La carte n’a pas encore de cadrage visible."));
    scope.hideSelections();

    PlmExportResult result;
    result.data = renderPDF(composition, size, false);
    bool rasterized = false;
    if (PDFExportImageAudit::imageCount(result.data) >= 1) {
        // Only a symbol that really drew a glyph is worth a second, rasterized render; an
        // unavailable one is absent either way.
        const QStringList names = exportSFSymbolNames(composition);
        if (!names.isEmpty() && showsDrawableSystemSymbol(composition)) {
            result.data = renderPDF(composition, size, true);
            rasterized = true;
            result.notes << QStringLiteral("Pictogrammes : dessinés en images transparentes de 512 px "
                                           "pour préserver leur apparence dans le PDF. Symboles concernés : ")
                    + names.join(QStringLiteral(", ")) + QLatin1Char('.');
        }
    }
    const int remaining = PDFExportImageAudit::imageCount(result.data);
    if (remaining >= 1) {
        QStringList names;
        for (ViewNode* view : canvas.subviews()) {
            if (view->isHidden())
                continue;
            const std::optional<QByteArray> alone = renderViewAlone(*view, composition, rasterized);
            if (alone && PDFExportImageAudit::imageCount(*alone) > 0)
                names << diagnosedName(composition, *view);
        }
        result.notes << QStringLiteral("Le rendu PDF contient ") + QString::number(remaining)
                + QStringLiteral(" image(s)/masque(s). Éléments concernés : ") + names.join(QStringLiteral(" ; "))
                + QStringLiteral(". Les géométries du fond restent vectorielles.");
    }
    if (composition.showsUnavailableSymbol())
        result.notes << CarteBitmapExport::unavailableSymbolNote();
    return result;
}
