#pragma once

#include "model/PlmErrors.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

// One HTTP answer held in memory.
struct OnlineResponse {
    QByteArray data; // empty for an answer outside 200…299
    int status = 0;
    QUrl finalURL;   // after redirects; the request's address when the answer names none

    bool operator==(const OnlineResponse&) const = default;
};

// The failures of a download and of its conversion; message() is the whole sentence shown.
class OnlineError : public PlmError {
public:
    enum class Kind { http, invalid, network, empty, tooLarge };

    static constexpr qint64 maximumSize = qint64(64) * 1024 * 1024;

    static OnlineError http(int status);
    static OnlineError invalid(const QString& text);
    static OnlineError network(const QString& text);
    static OnlineError empty();
    static OnlineError tooLarge();

    Kind kind() const { return m_kind; }
    int status() const { return m_status; }
    // The payload text of invalid and network; empty otherwise.
    QString text() const { return m_text; }

private:
    OnlineError(Kind kind, const QString& message, int status, const QString& text);
    Kind m_kind;
    int m_status;
    QString m_text;
};

// The user stopped a download: a cancellation, not a failure to report.
class OnlineCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};
