#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace pendra::fuzz {

// A private HOME and XDG folders, stdout muted (every bad input prints a
// line), and a QApplication on the offscreen platform. Once per process.
void setUpProcess(int* argc, char*** argv, bool widgets);

// The scratch folder of this process, ending in "/".
QString scratch();

inline QString text(const uint8_t* data, size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A broken promise of the code under test: a crash the fuzzer keeps.
#define PENDRA_FUZZ_CHECK(cond) \
    do {                        \
        if (!(cond)) {          \
            std::abort();       \
        }                       \
    } while (0)

}  // namespace pendra::fuzz
