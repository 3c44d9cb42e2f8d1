#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>

class QSettings;
class QTemporaryDir;

// The user's defaults, stored through QSettings under the documents' own dotted keys
// ("Studio.Mode", "Carte.Inspecteur.section.Titre"). Main thread only.
class UserDefaults {
public:
    // The settings in force: the application's, or those of the innermost TemporaryScope.
    static QSettings& settings();

    static QVariant value(const QString& key, const QVariant& fallback = {});
    static bool contains(const QString& key);
    static void setValue(const QString& key, const QVariant& value);
    static void remove(const QString& key);

    static bool boolValue(const QString& key, bool fallback = false);
    // A whole number, or the fallback when the stored value is absent or not a whole number.
    static qint64 integerValue(const QString& key, qint64 fallback = 0);
    static double doubleValue(const QString& key, double fallback = 0);
    static QString stringValue(const QString& key, const QString& fallback = {});
    static QByteArray dataValue(const QString& key);

    // Settings kept in a fresh temporary file for the lifetime of the scope, so tests
    // neither read nor write the user's defaults. Scopes nest.
    class TemporaryScope {
    public:
        TemporaryScope();
        ~TemporaryScope();
        TemporaryScope(const TemporaryScope&) = delete;
        TemporaryScope& operator=(const TemporaryScope&) = delete;
        QString filePath() const;

    private:
        std::unique_ptr<QTemporaryDir> dir_;
        std::unique_ptr<QSettings> settings_;
        QSettings* previous_ = nullptr;
    };
};
