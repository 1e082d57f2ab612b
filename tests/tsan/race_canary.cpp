// A deliberate race between a Qt event-loop callback and a plain thread. The
// ThreadSanitizer run must report it as ours: it proves that the filter for
// Qt's own reports does not also hide races in code that Qt calls.
#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <thread>

namespace {
int shared = 0;
// Relaxed: it lines the two writers up without ordering their writes.
std::atomic<bool> go{false};

void writeForAWhile() {
    while (!go.load(std::memory_order_relaxed)) {
    }
    for (int i = 0; i < 100000; ++i) {
        shared = shared + 1;
    }
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::thread writer(writeForAWhile);
    QTimer::singleShot(0, &app, [&] {
        go.store(true, std::memory_order_relaxed);
        writeForAWhile();
        writer.join();
        QCoreApplication::exit(shared > 0 ? 0 : 1);
    });
    return QCoreApplication::exec();
}
