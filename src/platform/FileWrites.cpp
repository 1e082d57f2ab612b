#include "platform/FileWrites.h"

#include <QString>

#include "platform/SerialQueue.h"

namespace pendra {

namespace {
SerialQueue& queue() {
    // Destroyed after main() returns: it runs what is queued before joining.
    static SerialQueue q(QStringLiteral("com.pendra.files"));
    return q;
}
}  // namespace

void writeFileAsync(std::function<void()> write) {
    queue().async(std::move(write));
}

void waitForFileWrites() {
    if (!queue().isCurrent()) {
        queue().sync([] {});
    }
}

}  // namespace pendra
