#include "platform/Log.h"

#include <cstdio>
#include <mutex>

namespace pendra {

void printLine(const QString& line) {
    static std::mutex mutex;
    const QByteArray bytes = line.toUtf8();
    std::lock_guard lock(mutex);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace pendra
