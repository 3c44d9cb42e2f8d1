#include "platform/UserDefaults.h"

#include <QSettings>
#include <QTemporaryDir>
#include <charconv>
#include <cmath>

namespace {

QSettings*& scoped()
{
    static QSettings* settings = nullptr;
    return settings;
}

} // namespace

QSettings& UserDefaults::settings()
{
    if (QSettings* s = scoped())
        return *s;
    static QSettings application;
    return application;
}

QVariant UserDefaults::value(const QString& key, const QVariant& fallback)
{
    return settings().value(key, fallback);
}

bool UserDefaults::contains(const QString& key)
{
    return settings().contains(key);
}

void UserDefaults::setValue(const QString& key, const QVariant& value)
{
    settings().setValue(key, value);
}

void UserDefaults::remove(const QString& key)
{
    settings().remove(key);
}

bool UserDefaults::boolValue(const QString& key, bool fallback)
{
    const QVariant v = value(key);
    if (!v.isValid())
        return fallback;
    // INI files give text back: accept the words QSettings itself writes.
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        if (s == QLatin1String("true") || s == QLatin1String("1"))
            return true;
        if (s == QLatin1String("false") || s == QLatin1String("0"))
            return false;
        return fallback;
    }
    return v.toBool();
}

qint64 UserDefaults::integerValue(const QString& key, qint64 fallback)
{
    const QVariant v = value(key);
    if (!v.isValid())
        return fallback;
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray) {
        const QByteArray text = v.toString().trimmed().toUtf8();
        qint64 n = 0;
        const auto [end, ec] = std::from_chars(text.constData(), text.constData() + text.size(), n);
        if (ec != std::errc() || end != text.constData() + text.size())
            return fallback;
        return n;
    }
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    return ok ? n : fallback;
}

double UserDefaults::doubleValue(const QString& key, double fallback)
{
    const QVariant v = value(key);
    if (!v.isValid())
        return fallback;
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray) {
        const QByteArray text = v.toString().trimmed().toUtf8();
        double d = 0;
        const auto [end, ec] = std::from_chars(text.constData(), text.constData() + text.size(), d);
        if (ec != std::errc() || end != text.constData() + text.size() || !std::isfinite(d))
            return fallback;
        return d;
    }
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok && std::isfinite(d) ? d : fallback;
}

QString UserDefaults::stringValue(const QString& key, const QString& fallback)
{
    const QVariant v = value(key);
    return v.isValid() ? v.toString() : fallback;
}

QByteArray UserDefaults::dataValue(const QString& key)
{
    return value(key).toByteArray();
}

UserDefaults::TemporaryScope::TemporaryScope()
    : dir_(std::make_unique<QTemporaryDir>())
    , settings_(std::make_unique<QSettings>(dir_->filePath(QStringLiteral("defaults.ini")), QSettings::IniFormat))
    , previous_(scoped())
{
    scoped() = settings_.get();
}

UserDefaults::TemporaryScope::~TemporaryScope()
{
    scoped() = previous_;
}

QString UserDefaults::TemporaryScope::filePath() const
{
    return settings_->fileName();
}
