#pragma once

// Shared by every fuzz target: the input as bytes and the application object the readers
// need (fonts are looked up through Qt Gui, on the offscreen platform).

#include <QByteArray>
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>

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

// Runs a reader; a refusal (an exception with its French sentence) is an answer, not a fault.
template <typename F>
void refusalIsFine(F&& read)
{
    try {
        read();
    } catch (const std::exception&) {
    }
}

} // namespace Fuzz
