#include "page/CartePrintPageGuide.h"

#include "page/ThematicCanvas.h"

#include <QFont>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <charconv>
#include <cmath>

CartePrintPageGuide::CartePrintPageGuide(ThematicCanvas* canvas) : canvas(canvas) { setClipsToBounds(false); }

namespace {

// A number as printf's %.Nf writes it in the C locale: a full stop, no grouping, the
// binary value rounded (an exact tie to even).
QString fixed(double value, int decimals)
{
    char buffer[400];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return error == std::errc() ? QString::fromLatin1(buffer, int(end - buffer)) : QStringLiteral("—");
}

} // namespace

QString CartePrintPageGuide::caption(const PlmPrintPage& page)
{
    return fixed(page.width, 0) + QStringLiteral(" × ") + fixed(page.height, 0) + QStringLiteral(" mm · marges ")
         + fixed(page.margin, 1) + QStringLiteral(" mm");
}

std::optional<PlmPrintPage> CartePrintPageGuide::shownPage() const
{
    if (!canvas || canvas->isExporting || !canvas->printPage || !canvas->printPage->visible)
        return std::nullopt;
    return canvas->printPage;
}

bool CartePrintPageGuide::borderContains(const QPointF& p) const
{
    const std::optional<PlmPrintPage> page = shownPage();
    if (!page)
        return false;
    const QRectF r = ThematicCanvas::printPageRect(*page);
    const double s = std::max(frame().width() / std::max(bounds().width(), 1.0), 0.1);
    const double t = 6 / s;
    return r.adjusted(-t, -t, t, t).contains(p) && !r.adjusted(t, t, -t, -t).contains(p);
}

void CartePrintPageGuide::draw(QPainter& painter, const QRectF&)
{
    const std::optional<PlmPrintPage> page = shownPage();
    if (!page)
        return;
    const QRectF r = ThematicCanvas::printPageRect(*page);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    QPen pen(accentColor, 1);
    painter.setPen(pen);
    painter.drawRect(r);
    QPen dashed(accentColor, 1);
    dashed.setDashPattern({4, 4});  // pen widths: the width is 1
    dashed.setDashOffset(0);
    painter.setPen(dashed);
    painter.drawRect(ThematicCanvas::printableRect(*page));
    // The caption, upright on a y-up page.
    QFont font;
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(labelColor);
    painter.translate(r.left() + 4, r.bottom() + 5);
    painter.scale(1, -1);
    painter.drawText(QPointF(0, 0), caption(*page));
    painter.restore();
}

void CartePrintPageGuide::mouseDown(const ViewMouseEvent& e)
{
    initial = canvas ? canvas->printPage : std::nullopt;
    start = e.location;
}

void CartePrintPageGuide::mouseDragged(const ViewMouseEvent& e)
{
    if (!initial || !canvas)
        return;
    PlmPrintPage page = *initial;
    page.origin = PlmPoint{initial->origin.x + (e.location.x() - start.x()),
                           initial->origin.y + (e.location.y() - start.y())};
    canvas->printPage = page;
    setNeedsDisplay();
    canvas->setNeedsLayout();
    canvas->setNeedsDisplay();
}

void CartePrintPageGuide::mouseUp(const ViewMouseEvent&)
{
    if (!initial || !canvas || !canvas->printPage)
        return;
    const PlmPrintPage recorded = *initial;
    initial.reset();
    if (*canvas->printPage != recorded && canvas->onPrintPageChange)
        canvas->onPrintPageChange(*canvas->printPage);
}
