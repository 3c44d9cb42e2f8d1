#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// Every failure shown to the user is one sentence, thrown as an exception derived from PlmError
// and presented unchanged: message() is that sentence.
class PlmError : public std::exception {
public:
    explicit PlmError(QString message);

    QString message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// The failures of the map model (validation, the .plmmap format).
class PlmMapError : public PlmError {
public:
    using PlmError::PlmError;
    static PlmMapError invalid(const QString& message) { return PlmMapError(message); }
};

// The failures of the work model (edits, validation, the .plm format).
class PlmWorkError : public PlmError {
public:
    using PlmError::PlmError;
    static PlmWorkError invalid(const QString& message) { return PlmWorkError(message); }
};

// The failures of reading foreign files (vector files, tables, older Pelmora files).
class PlmImportError : public PlmError {
public:
    using PlmError::PlmError;
    static PlmImportError invalid(const QString& message) { return PlmImportError(message); }
};

// A JSON text that does not have the expected shape. The message is the decoder's English
// description (for instance "Invalid number of keys found, expected one."); codingPath()
// names where it happened, such as "map.entities[3].geometry".
class PlmJsonDecodingError : public PlmError {
public:
    enum class Kind { dataCorrupted, keyNotFound, typeMismatch, valueNotFound };

    PlmJsonDecodingError(Kind kind, const QString& message, const QString& codingPath);

    Kind kind() const { return m_kind; }
    QString codingPath() const { return m_codingPath; }

private:
    Kind m_kind;
    QString m_codingPath;
};

// A value that JSON cannot hold (a non-finite number) or keys written out of order.
class PlmJsonEncodingError : public PlmError {
public:
    using PlmError::PlmError;
};

// A document whose text would pass the size that reading accepts: it is not written, since it
// could not be opened again. "Le document est trop volumineux pour être enregistré (256 Mo au plus)."
class PlmJsonTooLargeError : public PlmJsonEncodingError {
public:
    explicit PlmJsonTooLargeError(size_t maximumBytes);
};
