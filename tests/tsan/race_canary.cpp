// A deliberate race between a Qt event-loop callback and a plain thread. The
// ThreadSanitizer run must report it as ours: it proves that the filter for
// Qt's own reports does not also hide races in code that Qt calls.
#include <QCoreApplication>
#include <QTimer>
#include <thread>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int shared = 0;
    // Nothing orders the two writes: the tool sees the race however they fall in time.
    std::thread writer([&] { shared = 1; });
    QTimer::singleShot(0, &app, [&] {
        shared = 2;
        writer.join();
        QCoreApplication::exit(shared > 0 ? 0 : 1);
    });
    return QCoreApplication::exec();
}
