#include "model/PlmFrenchCount.h"

namespace PlmFrenchCount {

bool takesPlural(qint64 count)
{
    return count >= 2 || count <= -2;
}

QString counted(qint64 count, const QString& singular, const QString& plural)
{
    return QString::number(count) + QLatin1Char(' ') + (takesPlural(count) ? plural : singular);
}

} // namespace PlmFrenchCount
