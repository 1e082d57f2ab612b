#include "platform/FileWrites.h"

#include <QString>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/SerialQueue.h"

namespace pendra {

namespace {
SerialQueue& queue() {
    // Destroyed after main() returns: it runs what is queued before joining.
    static SerialQueue& q = []() -> SerialQueue& {
        static SerialQueue files(QStringLiteral("com.pendra.files"));
        // Saving yields the cores to drawing: on two cores, serialising a
        // long list beside the repaint it follows made the repaint late.
        files.async([] { setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 10); });
        return files;
    }();
    return q;
}
}  // namespace

void writeFileAsync(std::function<void()> write) {
    queue().async([write = std::move(write)] {
        write();
#if defined(__GLIBC__)
        // The text of a long file is built on this thread, whose heap glibc
        // keeps mapped once freed: megabytes for a list of 10,000 entries.
        malloc_trim(0);
#endif
    });
}

void waitForFileWrites() {
    if (!queue().isCurrent()) {
        queue().sync([] {});
    }
}

}  // namespace pendra
