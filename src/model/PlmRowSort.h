#pragma once

#include <QCollator>
#include <QCollatorSortKey>
#include <QString>

// The order of texts in the data table and wherever the user expects the file browser's
// order: French collation, case ignored, digits compared as numbers ("E2" before "E10").
// A collator is not shared between threads; each sorter makes its own.
class PlmRowSort {
public:
    PlmRowSort();

    // Negative, zero or positive, as a before, like or after b.
    int compare(const QString& a, const QString& b) const { return m_collator.compare(a, b); }
    // A key to build once per row when sorting many rows.
    QCollatorSortKey sortKey(const QString& text) const { return m_collator.sortKey(text); }

    // One-off comparison with a fresh collator.
    static int localizedStandardCompare(const QString& a, const QString& b);

private:
    QCollator m_collator;
};
