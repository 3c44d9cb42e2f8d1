#pragma once

#include "librarystore/PlmLibraryError.h"

#include <QString>
#include <optional>

// The kind of the library refusal of type Error that the call raises, and its sentence when
// asked for; nothing when it raises none.
template <typename Error, typename F>
std::optional<typename Error::Kind> refusalOf(F&& call, QString* message = nullptr)
{
    try {
        call();
    } catch (const Error& error) {
        if (message)
            *message = QString::fromUtf8(error.what());
        return error.kind();
    }
    return std::nullopt;
}

template <typename F>
std::optional<PlmLibraryError::Kind> storeRefusal(F&& call, QString* message = nullptr)
{
    return refusalOf<PlmLibraryError>(std::forward<F>(call), message);
}

template <typename F>
std::optional<PlmLibraryPackageError::Kind> packageRefusal(F&& call, QString* message = nullptr)
{
    return refusalOf<PlmLibraryPackageError>(std::forward<F>(call), message);
}
