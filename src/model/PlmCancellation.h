#pragma once

#include <atomic>
#include <exception>
#include <memory>

// Thrown when a long computation notices that its caller cancelled it. Not a
// PlmWorkError: callers that cancel expect it and drop the result silently.
class PlmCancellationError : public std::exception {
public:
    const char* what() const noexcept override;
};

// A copyable handle on one shared flag: the caller keeps a copy and cancels it
// from any thread; the computation polls it. A default-constructed token has no
// flag and is never cancelled, so passing none costs nothing.
class PlmCancellationToken {
public:
    PlmCancellationToken() = default;

    // A token that can be cancelled.
    static PlmCancellationToken make();

    void cancel() const;
    bool isCancelled() const;
    // Throws PlmCancellationError when cancelled.
    void throwIfCancelled() const;

private:
    std::shared_ptr<std::atomic<bool>> m_flag;
};
