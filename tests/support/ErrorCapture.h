#pragma once

#include "model/PlmErrors.h"

#include <QString>
#include <utility>

// The French sentence of the Error that the call throws, or an empty text when it throws none
// (an error of another kind goes on and fails the test).
template <typename Error = PlmError, typename F>
QString thrownMessage(F&& call)
{
    try {
        std::forward<F>(call)();
    } catch (const Error& error) {
        return error.message();
    }
    return {};
}
