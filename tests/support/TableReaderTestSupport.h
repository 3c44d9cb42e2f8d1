#pragma once

// Helpers of the table-reader tests: readable QString output and the message of a failure.

#include "model/PlmErrors.h"
#include "support/ErrorCapture.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '[';
    for (const QString& s : list)
        *os << '"' << s.toStdString() << "\" ";
    *os << ']';
}

// Counts by kind (an import's unconverted notes) with their kinds.
inline void PrintTo(const QMap<QString, int>& counts, std::ostream* os)
{
    *os << '{';
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        *os << " \"" << it.key().toStdString() << "\": " << it.value();
    *os << " }";
}

// The French sentence of the PlmError that `f` throws, or an empty text when it throws none.
template <typename F>
QString errorOf(F&& f)
{
    return thrownMessage(std::forward<F>(f));
}
