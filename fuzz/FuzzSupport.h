#pragma once

// Shared by every fuzz target: the input as bytes and the application object the readers
// need (fonts are looked up through Qt Gui, on the offscreen platform).

#include "model/PlmErrors.h"

#include <QByteArray>
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace Fuzz {

inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

inline void ensureApplication()
{
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "pelmora-fuzz";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

// Runs a reader. Its refusal, the program's own error with the sentence shown to the user, is
// an answer; any other exception (out_of_range, bad_alloc…) or an empty sentence is a finding,
// and ends the run as a crash would.
template <typename F>
void refusalIsFine(F&& read)
{
    try {
        read();
    } catch (const PlmError& error) {
        if (!error.message().trimmed().isEmpty())
            return;
        std::fprintf(stderr, "refusal without a message\n");
        std::abort();
    }
}

} // namespace Fuzz
