#pragma once

#include <QString>

// A count written before its noun, as French has it: the singular for 0 and 1
// ("0 élément non converti", "1 entité importée", "2 entités importées").
namespace PlmFrenchCount {

bool takesPlural(qint64 count);
// The count in plain digits, a space, and the singular or plural form of what follows.
QString counted(qint64 count, const QString& singular, const QString& plural);

} // namespace PlmFrenchCount
