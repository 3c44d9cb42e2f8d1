#include "model/PlmOutlineTitle.h"

#include "model/PlmDecorationObject.h"
#include "model/PlmPresentation.h"

namespace PlmOutlineTitle {

QString object(const PlmDecorationObject& object)
{
    if (object.presentation.title)
        return *object.presentation.title;
    if (!object.text.isEmpty())
        return object.text.section(QLatin1Char('\n'), 0, 0);
    return defaultTitle(object.kind);
}

QString legend(const PlmPresentation& presentation, bool second)
{
    return presentation.title.value_or(second ? QStringLiteral("Légende secondaire") : QStringLiteral("Légende"));
}

} // namespace PlmOutlineTitle
