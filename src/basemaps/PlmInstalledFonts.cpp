#include "basemaps/PlmInstalledFonts.h"

#include "platform/UsableFonts.h"

#include <QFontDatabase>
#include <QMutex>
#include <QRawFont>
#include <QSet>
#include <QStringList>
#include <QtEndian>

namespace PlmInstalledFonts {

namespace {

quint16 word(const QByteArray& bytes, qsizetype at)
{
    return qFromBigEndian<quint16>(bytes.constData() + at);
}

struct KnownNames {
    QSet<QString> families;
    QSet<QString> postScript;
};

// Built once: listing the faces and reading their name tables costs a few milliseconds per
// hundred fonts.
const KnownNames& knownNames()
{
    static QMutex mutex;
    static KnownNames* names = nullptr;
    QMutexLocker lock(&mutex);
    if (!names) {
        names = new KnownNames;
        const QStringList families = QFontDatabase::families();
        for (const QString& family : families) {
            names->families.insert(family);
            QList<QRawFont> faces;
            for (const QString& style : QFontDatabase::styles(family))
                faces << QRawFont::fromFont(QFontDatabase::font(family, style, 12));
            for (const QRawFont& raw : readableFaces(faces)) {
                const QString name = postScriptName(raw.fontTable("name"));
                if (!name.isEmpty())
                    names->postScript.insert(name);
            }
        }
    }
    return *names;
}

} // namespace

QString postScriptName(const QByteArray& table)
{
    if (table.size() < 6)
        return {};
    const qsizetype count = word(table, 2);
    const qsizetype storage = word(table, 4);
    if (6 + 12 * count > table.size())
        return {};
    QString fallback;
    for (qsizetype k = 0; k < count; ++k) {
        const qsizetype record = 6 + 12 * k;
        const quint16 platform = word(table, record);
        const quint16 nameID = word(table, record + 6);
        const qsizetype length = word(table, record + 8);
        const qsizetype offset = storage + word(table, record + 10);
        if (nameID != 6 || offset + length > table.size())
            continue;
        const char* bytes = table.constData() + offset;
        if (platform == 3 || platform == 0) { // UTF-16, big-endian
            QString text(length / 2, Qt::Uninitialized);
            for (qsizetype i = 0; i < length / 2; ++i)
                text[i] = QChar(qFromBigEndian<quint16>(bytes + 2 * i));
            if (!text.isEmpty())
                return text;
        } else if (platform == 1 && fallback.isEmpty()) {
            fallback = QString::fromLatin1(bytes, length);
        }
    }
    return fallback;
}

QList<QRawFont> readableFaces(const QList<QRawFont>& faces)
{
    QList<QRawFont> readable = faces;
    readable.removeIf([](const QRawFont& face) { return !UsableFonts::isUsable(face); });
    return readable;
}

bool isInstalled(const QString& name)
{
    const KnownNames& known = knownNames();
    return known.families.contains(name) || known.postScript.contains(name);
}

} // namespace PlmInstalledFonts
