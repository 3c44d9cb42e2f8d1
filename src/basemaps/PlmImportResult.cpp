#include "basemaps/PlmImportResult.h"
#include "model/PlmFrenchCount.h"

#include <QStringList>

QString PlmImportResult::unconvertedText(const QMap<QString, int>& counts)
{
    // QMap iterates in ascending order of its keys.
    QStringList parts;
    parts.reserve(counts.size());
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        parts << it.key() + QStringLiteral(": ") + QString::number(it.value());
    return parts.join(QStringLiteral("; "));
}

QString PlmImportResult::summary() const
{
    qint64 total = 0;
    QStringList listed;
    for (auto it = unconverted.cbegin(); it != unconverted.cend(); ++it) {
        total += it.value();
        if (listed.size() < 8)
            listed << QString::number(it.value()) + QStringLiteral(" × ") + it.key();
    }
    QString text = PlmFrenchCount::counted(map.entities.size(), QStringLiteral("entité importée"), QStringLiteral("entités importées"))
                 + QStringLiteral(" · ")
                 + PlmFrenchCount::counted(total, QStringLiteral("élément non converti"), QStringLiteral("éléments non convertis"));
    if (unconverted.isEmpty())
        return text;
    QString list = listed.join(QStringLiteral(", "));
    if (unconverted.size() > 8)
        list += QStringLiteral(", … (bilan complet conservé dans le document)");
    return text + QLatin1Char('\n') + list + QLatin1Char('\n')
         + QStringLiteral("Sources originales conservées dans le document.");
}
