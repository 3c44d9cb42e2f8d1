#include "app/StudioPrintFormat.h"

#include "model/PlmErrors.h"
#include "model/PlmWork.h"

#include <charconv>
#include <cmath>

namespace StudioPrintFormat {

const QString wrongDimensionsMessage = QStringLiteral("Dimensions de page incorrectes.");

namespace {

struct Sides {
    double shortSide;
    double longSide;
};

Sides formatSides(int item)
{
    return item == a3 ? Sides{297, 420} : Sides{210, 297};
}

PlmDecoration& layoutOf(PlmWork& work)
{
    if (!work.decoration)
        work.decoration = PlmDecoration();
    return *work.decoration;
}

} // namespace

bool hasPrintPage(const PlmWork& work)
{
    return work.decoration && work.decoration->printPage;
}

PlmPrintPage currentPage(const PlmWork& work)
{
    return hasPrintPage(work) ? *work.decoration->printPage : PlmPrintPage();
}

PlmPrintPage formatPage(int item, const PlmPrintPage& current)
{
    const Sides sides = formatSides(item);
    PlmPrintPage page = current;
    page.width = current.landscape ? sides.longSide : sides.shortSide;
    page.height = current.landscape ? sides.shortSide : sides.longSide;
    return page;
}

std::optional<double> parseDimension(const QString& text)
{
    QByteArray latin = text.trimmed().toLatin1();
    if (latin.isEmpty() || latin.size() > 64)
        return std::nullopt;
    latin.replace(',', '.');
    const char* begin = latin.constData();
    const char* end = begin + latin.size();
    // from_chars takes no leading '+'; a typed "+297" is still a number.
    if (*begin == '+')
        ++begin;
    double value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value, std::chars_format::general);
    if (error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

PlmPrintPage typedPage(const QString& widthText, const QString& heightText, const PlmWork& work)
{
    const std::optional<double> width = parseDimension(widthText);
    const std::optional<double> height = parseDimension(heightText);
    if (!width || !height)
        throw PlmWorkError::invalid(wrongDimensionsMessage);
    PlmPrintPage page = currentPage(work); // the default has origin (0, 0), margin 10, visible
    if (!hasPrintPage(work)) {
        page.visible = true;
    }
    page.width = *width;
    page.height = *height;
    page.landscape = *height <= *width;
    return page;
}

void storePage(PlmWork& work, const PlmPrintPage& page)
{
    layoutOf(work).printPage = page;
}

void togglePageVisibility(PlmWork& work)
{
    PlmDecoration& layout = layoutOf(work);
    if (!layout.printPage) {
        layout.printPage = PlmPrintPage();
        layout.printPage->visible = true;
    } else {
        layout.printPage->visible = !layout.printPage->visible;
    }
}

bool isPageVisible(const PlmWork& work)
{
    return hasPrintPage(work) && work.decoration->printPage->visible;
}

void toggleEntityNames(PlmWork& work)
{
    PlmDecoration& layout = layoutOf(work);
    layout.showEntityNames = !layout.showEntityNames.value_or(false);
}

bool showsEntityNames(const PlmWork& work)
{
    return work.decoration && work.decoration->showEntityNames.value_or(false);
}

} // namespace StudioPrintFormat
