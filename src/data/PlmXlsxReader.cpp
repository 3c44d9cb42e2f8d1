#include "data/PlmInputReader.h"
#include "data/PlmXlsxCell.h"
#include "data/PlmXmlTree.h"
#include "data/PlmZipArchive.h"

#include "model/PlmErrors.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <charconv>

namespace {

[[noreturn]] void fail(const QString& message)
{
    throw PlmWorkError::invalid(message);
}

constexpr int maximumColumns = 4'096;
constexpr qsizetype maximumSheetRows = 200'000;
constexpr qint64 maximumCells = 5'000'000;

const QString tooLarge = QStringLiteral("Table XLSX trop volumineuse.");
const QString formulaWarning =
    QStringLiteral("Formules : seules les valeurs déjà enregistrées sont lues ; aucune formule n’est calculée.");
const QString mergedWarning =
    QStringLiteral("Cellules fusionnées : seule la cellule supérieure gauche contient une valeur.");
const QString hiddenWarning = QStringLiteral("Feuille masquée dans le classeur d’origine.");

std::optional<qint64> readInteger(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    if (bytes.isEmpty() || bytes.size() != text.size())
        return std::nullopt;
    const char* begin = bytes.constData();
    const char* end = begin + bytes.size();
    if (*begin == '+' && end - begin > 1 && begin[1] != '-')
        ++begin;
    qint64 value = 0;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

template <typename Key>
QHash<Key, QString> uniqueMap(const QList<QPair<Key, QString>>& pairs)
{
    QHash<Key, QString> map;
    for (const auto& [key, value] : pairs) {
        if (map.contains(key))
            fail(QStringLiteral("Entrée XLSX répétée."));
        map.insert(key, value);
    }
    return map;
}

QString concatenatedText(const QList<const XMLNode*>& nodes)
{
    QString text;
    for (const XMLNode* t : XMLNode::descendants(nodes, QStringLiteral("t")))
        text += t->text;
    return text;
}

// The 1-based column of a reference such as "AB12".
int columnOf(const QString& reference)
{
    int column = 0;
    for (QChar c : reference) {
        if (c < u'A' || c > u'Z')
            break;
        column = column * 26 + (c.unicode() - u'A' + 1);
        if (column > maximumColumns)
            fail(QStringLiteral("Trop de colonnes XLSX."));
    }
    if (column == 0)
        fail(QStringLiteral("Adresse de cellule XLSX absente."));
    return column;
}

// Everything of the workbook that the cells of every sheet need.
class WorkbookReader {
public:
    explicit WorkbookReader(const QByteArray& data)
        : m_zip(data)
    {
    }

    QList<PlmInputSheet> read();

private:
    std::unique_ptr<XMLNode> part(const QString& path);
    void readStyles(const XMLNode& root);
    QStringList readRow(const XMLNode& row, QSet<QString>& warnings) const;
    QString cellText(const XMLNode& cell, const QString& reference, QSet<QString>& warnings) const;

    ZIP m_zip;
    qint64 m_extracted = 0;
    qint64 m_cells = 0;
    QStringList m_sharedStrings;
    QHash<qint64, QString> m_formats;
    QList<int> m_styleFormats;
    qint64 m_dayZero = PlmXlsxCell::dayZero1900;
};

// Extracts and parses one part. The bytes extracted are counted over the whole reading, so a
// workbook naming the same large part from many sheets cannot inflate it again and again.
std::unique_ptr<XMLNode> WorkbookReader::part(const QString& path)
{
    const QByteArray bytes = m_zip.data(path);
    m_extracted += bytes.size();
    if (m_extracted > ZIP::maximumTotalSize)
        fail(QStringLiteral("Classeur décompressé trop volumineux."));
    return XMLNode::parse(bytes);
}

void WorkbookReader::readStyles(const XMLNode& root)
{
    QList<QPair<qint64, QString>> pairs;
    for (const XMLNode* format : root.descendants(QStringLiteral("numFmt"))) {
        const auto id = readInteger(format->attribute(QStringLiteral("numFmtId")));
        if (id && format->hasAttribute(QStringLiteral("formatCode")))
            pairs.append({*id, format->attribute(QStringLiteral("formatCode"))});
    }
    m_formats = uniqueMap(pairs);
    if (const XMLNode* xfs = root.child(QStringLiteral("cellXfs"))) {
        for (const auto& xf : xfs->children) {
            const auto id = readInteger(xf->attribute(QStringLiteral("numFmtId")));
            m_styleFormats.append(id && *id >= INT_MIN && *id <= INT_MAX ? int(*id) : 0);
        }
    }
}

QString WorkbookReader::cellText(const XMLNode& cell, const QString& reference, QSet<QString>& warnings) const
{
    const XMLNode* v = cell.child(QStringLiteral("v"));
    const QString stored = v ? v->text : QString();
    const QString type = cell.hasAttribute(QStringLiteral("t")) ? cell.attribute(QStringLiteral("t"))
                                                                : QStringLiteral("n");
    if (cell.child(QStringLiteral("f"))) {
        // A formula whose text result is empty keeps an empty value element: that is a stored
        // value, not a missing one.
        const bool emptyText = v && type == QLatin1String("str");
        if (stored.isEmpty() && !emptyText)
            fail(QStringLiteral("La cellule %1 contient une formule sans valeur enregistrée. "
                                "Recalculez le classeur dans Excel/Numbers puis enregistrez-le.")
                     .arg(reference));
        warnings.insert(formulaWarning);
    }

    if (type == QLatin1String("s")) {
        const auto index = readInteger(stored);
        if (!index || *index < 0 || *index >= m_sharedStrings.size())
            fail(QStringLiteral("Texte XLSX invalide en %1.").arg(reference));
        return m_sharedStrings.at(*index);
    }
    if (type == QLatin1String("inlineStr"))
        return concatenatedText(cell.childNodes());
    if (type == QLatin1String("b"))
        return stored == QLatin1String("1") ? QStringLiteral("Vrai") : QStringLiteral("Faux");
    if (type == QLatin1String("e"))
        fail(QStringLiteral("Erreur Excel %1 en %2. Corrigez le classeur avant l’import.").arg(stored, reference));
    if (type == QLatin1String("str") || type == QLatin1String("d"))
        return stored;
    if (type == QLatin1String("n") || type.isEmpty()) {
        const auto styleIndex = cell.hasAttribute(QStringLiteral("s"))
            ? readInteger(cell.attribute(QStringLiteral("s"))).value_or(0)
            : 0;
        PlmXlsxCell::NumberStyle style;
        style.dayZero = m_dayZero;
        style.formatId = styleIndex >= 0 && styleIndex < m_styleFormats.size() ? m_styleFormats.at(styleIndex) : 0;
        style.formatCode = m_formats.value(style.formatId);
        return PlmXlsxCell::numberText(stored, reference, style);
    }
    fail(QStringLiteral("Type de cellule XLSX non pris en charge : %1.").arg(type));
}

QStringList WorkbookReader::readRow(const XMLNode& row, QSet<QString>& warnings) const
{
    QStringList cells;
    for (const auto& cell : row.children) {
        if (cell->name != QLatin1String("c"))
            continue;
        const QString reference = cell->attribute(QStringLiteral("r"));
        const int column = columnOf(reference);
        while (cells.size() < column)
            cells.append(QString());
        cells[column - 1] = cellText(*cell, reference, warnings);
    }
    return cells;
}

QList<PlmInputSheet> WorkbookReader::read()
{
    const auto workbook = part(QStringLiteral("xl/workbook.xml"));
    const auto relationshipsRoot = part(QStringLiteral("xl/_rels/workbook.xml.rels"));

    QList<QPair<QString, QString>> pairs;
    for (const auto& relationship : relationshipsRoot->children) {
        if (relationship->name != QLatin1String("Relationship")
            || relationship->attribute(QStringLiteral("TargetMode")) == QLatin1String("External"))
            continue;
        if (relationship->hasAttribute(QStringLiteral("Id")) && relationship->hasAttribute(QStringLiteral("Target")))
            pairs.append({relationship->attribute(QStringLiteral("Id")),
                          relationship->attribute(QStringLiteral("Target"))});
    }
    const QHash<QString, QString> relationships = uniqueMap(pairs);

    if (m_zip.contains(QStringLiteral("xl/sharedStrings.xml"))) {
        const auto strings = part(QStringLiteral("xl/sharedStrings.xml"));
        for (const auto& si : strings->children)
            if (si->name == QLatin1String("si"))
                m_sharedStrings.append(concatenatedText(si->childNodes()));
    }
    if (m_zip.contains(QStringLiteral("xl/styles.xml")))
        readStyles(*part(QStringLiteral("xl/styles.xml")));

    const QList<const XMLNode*> properties = workbook->descendants(QStringLiteral("workbookPr"));
    if (!properties.isEmpty()) {
        const QString date1904 = properties.first()->attribute(QStringLiteral("date1904"));
        if (date1904 == QLatin1String("1") || date1904 == QLatin1String("true"))
            m_dayZero = PlmXlsxCell::dayZero1904;
    }

    QList<PlmInputSheet> sheets;
    for (const XMLNode* sheetNode : workbook->descendants(QStringLiteral("sheet"))) {
        QString id = sheetNode->hasAttribute(QStringLiteral("r:id")) ? sheetNode->attribute(QStringLiteral("r:id"))
                                                                     : sheetNode->attribute(QStringLiteral("id"));
        if (id.isEmpty()) {
            // Some writers bind the relationships namespace to another prefix.
            for (const auto& [key, value] : sheetNode->attributes)
                if (key.endsWith(QLatin1String(":id")))
                    id = value;
        }
        const auto target = relationships.constFind(id);
        if (id.isEmpty() || target == relationships.cend())
            fail(QStringLiteral("Feuille XLSX sans fichier associé."));
        const QString path = target->startsWith(u'/') ? target->mid(1) : QStringLiteral("xl/") + *target;
        if (path.split(u'/').contains(QStringLiteral("..")))
            fail(QStringLiteral("Chemin XLSX non pris en charge."));

        const auto root = part(path);
        PlmInputSheet sheet;
        sheet.name = sheetNode->hasAttribute(QStringLiteral("name")) ? sheetNode->attribute(QStringLiteral("name"))
                                                                     : QStringLiteral("Feuille");
        QSet<QString> warnings;
        qsizetype widest = 0;
        for (const XMLNode* row : root->descendants(QStringLiteral("row"))) {
            QStringList cells = readRow(*row, warnings);
            widest = std::max(widest, cells.size());
            m_cells += cells.size();
            sheet.grid.append(std::move(cells));
            // The cells of all sheets together are bounded too: one small part may be named
            // by any number of sheets.
            if (sheet.grid.size() > maximumSheetRows || qint64(sheet.grid.size()) * widest > maximumCells
                || m_cells > maximumCells)
                fail(tooLarge);
        }
        if (!root->descendants(QStringLiteral("mergeCell")).isEmpty())
            warnings.insert(mergedWarning);
        const QString state = sheetNode->attribute(QStringLiteral("state"));
        if (state == QLatin1String("hidden") || state == QLatin1String("veryHidden"))
            warnings.insert(hiddenWarning);
        const bool hasValue = std::any_of(sheet.grid.cbegin(), sheet.grid.cend(), [](const QStringList& row) {
            return std::any_of(row.cbegin(), row.cend(), [](const QString& cell) { return !cell.isEmpty(); });
        });
        if (!hasValue)
            continue;
        sheet.warnings = QStringList(warnings.cbegin(), warnings.cend());
        std::sort(sheet.warnings.begin(), sheet.warnings.end());
        sheets.append(std::move(sheet));
    }
    if (sheets.isEmpty())
        fail(QStringLiteral("Classeur vide."));
    return sheets;
}

} // namespace

QList<PlmInputSheet> PlmInputReader::readWorkbook(const QByteArray& data)
{
    return WorkbookReader(data).read();
}
