#include "export/CarteExportForm.h"

#include "model/PlmNumberText.h"

#include <cmath>

namespace CarteExportForm {

std::optional<double> parseNumber(const QString& text)
{
    QString t = text;
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    if (t.startsWith(QLatin1Char('+')))
        t.remove(0, 1);
    const std::optional<double> value = PlmNumberText::parseDouble(QStringView(t));
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

QString formatNumber(double value)
{
    QString text = PlmNumberText::shortest(value);
    if (std::isfinite(value) && !text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
        text += QStringLiteral(".0");
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

QString proposedFileName(const QString& mapName, const QString& extension)
{
    QString name;
    for (const QChar c : mapName) {
        const bool unsafe = c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':')
            || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format
            || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
        name += unsafe ? QChar(QLatin1Char('-')) : c;
    }
    name = name.trimmed();
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    name = name.trimmed();
    // A file system name is at most 255 bytes: keep room for the extension.
    while (name.toUtf8().size() > 200)
        name.chop(name.size() > 1 && name.back().isLowSurrogate() ? 2 : 1);
    if (name.isEmpty())
        name = QStringLiteral("Carte");
    return name + QLatin1Char('.') + extension;
}

} // namespace CarteExportForm
