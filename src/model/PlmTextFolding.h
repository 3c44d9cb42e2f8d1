#pragma once

#include <QString>
#include <QStringView>

// The one folding of names used by every comparison that ignores case and accents
// (variable names, field names, matching of table rows to entities…). Keeping it in one
// place makes "Région", "region" and " RÉGION " equal everywhere in the same way.
namespace PlmTextFolding {

// True for the code points of the Unicode White_Space property (line breaks included).
bool isWhiteSpace(char32_t codePoint);

// The text without Unicode white space and line breaks at either end.
QString trimmed(const QString& text);

// Trimmed, decomposed (NFD), combining marks removed, case folded: the key under which two
// names compare equal in the French sense.
QString folded(const QString& text);

// folded(a) == folded(b), with a fast path for plain ASCII texts.
bool equalFolded(const QString& a, const QString& b);

} // namespace PlmTextFolding
