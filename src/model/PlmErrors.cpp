#include "model/PlmErrors.h"

#include <utility>

PlmError::PlmError(QString message)
    : m_message(std::move(message))
    , m_utf8(m_message.toUtf8())
{
}

PlmJsonDecodingError::PlmJsonDecodingError(Kind kind, const QString& message,
                                           const QString& codingPath)
    : PlmError(message)
    , m_kind(kind)
    , m_codingPath(codingPath)
{
}

PlmJsonTooLargeError::PlmJsonTooLargeError(size_t maximumBytes)
    : PlmJsonEncodingError(QStringLiteral("Le document est trop volumineux pour être enregistré (%1 Mo au plus).")
                               .arg(qulonglong(maximumBytes >> 20)))
{
}
