#include "tables/PlmInputReader.h"
#include "tables/PlmXlsxCell.h"
#include "tables/PlmXlsxSheet.h"
#include "tables/XMLNode.h"
#include "tables/ZIP.h"

#include "model/PlmErrors.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <climits>
#include <optional>

namespace {

[[noreturn]] void fail(const QString& message)
{
    throw PlmWorkError::invalid(message);
}

const QString hiddenWarning = QStringLiteral("Feuille masquée dans le classeur d’origine.");

// A dictionary from key–value pairs that refuses a repeated key.
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

class WorkbookReader {
public:
    explicit WorkbookReader(const QByteArray& data)
        : m_zip(data)
    {
    }

    QList<PlmInputSheet> read();

private:
    QByteArray extract(const QString& path);
    void readStyles(const XMLNode& root);
    QHash<QString, QString> readRelationships(const XMLNode& root) const;
    QList<PlmInputSheet> readAfterSharedStrings(const XMLNode& workbook, const QHash<QString, QString>& relationships);
    static QString sheetPath(const XMLNode& sheet, const QHash<QString, QString>& relationships);

    ZIP m_zip;
    std::optional<PlmXlsxSheet::SharedStringsReader> m_sharedStrings;
    qint64 m_extracted = 0;
    qint64 m_cells = 0;
    PlmXlsxSheet::Context m_context;
};

// The bytes extracted are counted over the whole reading, so a workbook naming the same
// large part from many sheets cannot inflate it again and again.
QByteArray WorkbookReader::extract(const QString& path)
{
    QByteArray bytes = m_zip.data(path);
    m_extracted += bytes.size();
    if (m_extracted > ZIP::maximumTotalSize)
        fail(QStringLiteral("Classeur décompressé trop volumineux."));
    return bytes;
}

void WorkbookReader::readStyles(const XMLNode& root)
{
    QList<QPair<qint64, QString>> pairs;
    for (const XMLNode* format : root.descendants(QStringLiteral("numFmt"))) {
        const auto id = PlmXlsxSheet::readInteger(format->attribute(QStringLiteral("numFmtId")));
        if (id && format->hasAttribute(QStringLiteral("formatCode")))
            pairs.append({*id, format->attribute(QStringLiteral("formatCode"))});
    }
    m_context.formats = uniqueMap(pairs);
    if (const XMLNode* xfs = root.child(QStringLiteral("cellXfs"))) {
        for (const auto& xf : xfs->children) {
            const auto id = PlmXlsxSheet::readInteger(xf->attribute(QStringLiteral("numFmtId")));
            m_context.styleFormats.append(id && *id >= INT_MIN && *id <= INT_MAX ? int(*id) : 0);
        }
    }
}

QHash<QString, QString> WorkbookReader::readRelationships(const XMLNode& root) const
{
    QList<QPair<QString, QString>> pairs;
    for (const auto& relationship : root.children) {
        if (relationship->name != QLatin1String("Relationship")
            || relationship->attribute(QStringLiteral("TargetMode")) == QLatin1String("External"))
            continue;
        if (relationship->hasAttribute(QStringLiteral("Id")) && relationship->hasAttribute(QStringLiteral("Target")))
            pairs.append({relationship->attribute(QStringLiteral("Id")),
                          relationship->attribute(QStringLiteral("Target"))});
    }
    return uniqueMap(pairs);
}

QString WorkbookReader::sheetPath(const XMLNode& sheet, const QHash<QString, QString>& relationships)
{
    QString id = sheet.hasAttribute(QStringLiteral("r:id")) ? sheet.attribute(QStringLiteral("r:id"))
                                                            : sheet.attribute(QStringLiteral("id"));
    if (id.isEmpty()) {
        // Some writers bind the relationships namespace to another prefix.
        for (const auto& [key, value] : sheet.attributes)
            if (key.endsWith(QLatin1String(":id")))
                id = value;
    }
    const auto target = relationships.constFind(id);
    if (id.isEmpty() || target == relationships.cend())
        fail(QStringLiteral("Feuille XLSX sans fichier associé."));
    const QString path = target->startsWith(u'/') ? target->mid(1) : QStringLiteral("xl/") + *target;
    if (path.split(u'/').contains(QStringLiteral("..")))
        fail(QStringLiteral("Chemin XLSX non pris en charge."));
    return path;
}

QList<PlmInputSheet> WorkbookReader::read()
{
    const auto workbook = XMLNode::parse(extract(QStringLiteral("xl/workbook.xml")));
    const auto relationships = readRelationships(*XMLNode::parse(extract(QStringLiteral("xl/_rels/workbook.xml.rels"))));
    const QString sharedStringsPath = QStringLiteral("xl/sharedStrings.xml");
    if (m_zip.contains(sharedStringsPath)) {
        // Read while the rest goes on. Its errors come first, as if it had been read here: every
        // later error waits for it. The part counts its declared size once it is read.
        m_sharedStrings.emplace(m_zip, sharedStringsPath, m_extracted);
        m_context.sharedStrings = &*m_sharedStrings;
        m_extracted += m_zip.entries().value(sharedStringsPath).size;
    }
    try {
        return readAfterSharedStrings(*workbook, relationships);
    } catch (...) {
        if (m_sharedStrings)
            m_sharedStrings->strings();
        throw;
    }
}

QList<PlmInputSheet> WorkbookReader::readAfterSharedStrings(const XMLNode& workbookRoot,
                                                            const QHash<QString, QString>& relationships)
{
    const XMLNode* workbook = &workbookRoot;
    if (m_zip.contains(QStringLiteral("xl/styles.xml")))
        readStyles(*XMLNode::parse(extract(QStringLiteral("xl/styles.xml"))));

    m_context.dayZero = PlmXlsxCell::dayZero1900;
    const QList<const XMLNode*> properties = workbook->descendants(QStringLiteral("workbookPr"));
    if (!properties.isEmpty()) {
        const QString date1904 = properties.first()->attribute(QStringLiteral("date1904"));
        if (date1904 == QLatin1String("1") || date1904 == QLatin1String("true"))
            m_context.dayZero = PlmXlsxCell::dayZero1904;
    }

    QList<PlmInputSheet> sheets;
    for (const XMLNode* sheetNode : workbook->descendants(QStringLiteral("sheet"))) {
        PlmXlsxSheet::Content content = PlmXlsxSheet::read(m_zip, sheetPath(*sheetNode, relationships), m_context, m_cells, m_extracted);
        const QString state = sheetNode->attribute(QStringLiteral("state"));
        if (state == QLatin1String("hidden") || state == QLatin1String("veryHidden"))
            content.warnings.insert(hiddenWarning);
        bool hasValue = false;
        for (qsizetype r = 0; r < content.grid.size() && !hasValue; ++r)
            hasValue = content.grid.rowHasText(r);
        if (!hasValue)
            continue;
        PlmInputSheet sheet;
        sheet.name = sheetNode->hasAttribute(QStringLiteral("name")) ? sheetNode->attribute(QStringLiteral("name"))
                                                                     : QStringLiteral("Feuille");
        sheet.grid = std::move(content.grid);
        sheet.warnings = QStringList(content.warnings.cbegin(), content.warnings.cend());
        std::sort(sheet.warnings.begin(), sheet.warnings.end());
        sheets.append(std::move(sheet));
    }
    if (m_sharedStrings)
        m_sharedStrings->strings();
    if (sheets.isEmpty())
        fail(QStringLiteral("Classeur vide."));
    return sheets;
}

} // namespace

QList<PlmInputSheet> PlmInputReader::readWorkbook(const QByteArray& data)
{
    return WorkbookReader(data).read();
}
