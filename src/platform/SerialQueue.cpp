#include "platform/SerialQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace pendra {

struct SerialQueue::Impl {
    QString label;
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::function<void()>> blocks;
    bool stopping = false;
    std::thread thread;

    void run() {
        for (;;) {
            std::function<void()> block;
            {
                std::unique_lock lock(mutex);
                cv.wait(lock, [this] { return stopping || !blocks.empty(); });
                if (blocks.empty()) {
                    return;
                }
                block = std::move(blocks.front());
                blocks.pop_front();
            }
            block();
        }
    }
};

SerialQueue::SerialQueue(const QString& label) : d(std::make_unique<Impl>()) {
    d->label = label;
    d->thread = std::thread([impl = d.get()] {
        const QByteArray name = impl->label.right(15).toUtf8();
        pthread_setname_np(pthread_self(), name.constData());
        impl->run();
    });
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(d->mutex);
        d->stopping = true;
    }
    d->cv.notify_one();
    if (d->thread.get_id() == std::this_thread::get_id()) {
        d->thread.detach();
        return;
    }
    d->thread.join();
}

QString SerialQueue::label() const {
    return d->label;
}

void SerialQueue::async(std::function<void()> block) {
    {
        std::lock_guard lock(d->mutex);
        d->blocks.push_back(std::move(block));
    }
    d->cv.notify_one();
}

void SerialQueue::sync(const std::function<void()>& block) {
    if (isCurrent()) {
        block();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneCv;
    bool done = false;
    async([&] {
        block();
        std::lock_guard lock(doneMutex);
        done = true;
        doneCv.notify_one();
    });
    std::unique_lock lock(doneMutex);
    doneCv.wait(lock, [&] { return done; });
}

bool SerialQueue::isCurrent() const {
    return d->thread.get_id() == std::this_thread::get_id();
}

namespace {

// Blocks for the main thread pass through our own locked queue, and the
// queued call only wakes the main thread: it carries nothing of ours. A
// block handed over inside Qt's queue would cross threads under Qt's
// locking, which a race detector cannot see in a Qt not built for it.
class MainQueue : public QObject {
    Q_OBJECT
public:
    void post(std::function<void()> block) {
        {
            std::lock_guard lock(mutex_);
            blocks_.push_back(std::move(block));
        }
        QMetaObject::invokeMethod(this, "runOne", Qt::QueuedConnection);
    }

    // One block per call keeps the order of everything queued meanwhile.
    Q_INVOKABLE void runOne() {
        std::function<void()> block;
        {
            std::lock_guard lock(mutex_);
            if (blocks_.empty()) {
                return;
            }
            block = std::move(blocks_.front());
            blocks_.pop_front();
        }
        block();
    }

private:
    std::mutex mutex_;
    std::deque<std::function<void()>> blocks_;
};

MainQueue* mainQueueFor(QCoreApplication* app) {
    static std::mutex mutex;
    static QPointer<QCoreApplication> owner;
    static MainQueue* queue = nullptr;
    std::lock_guard lock(mutex);
    if (owner != app) {
        // A new application (tests make one after another) gets a new queue;
        // the old one went with its application.
        queue = new MainQueue;
        queue->moveToThread(app->thread());
        QObject::connect(
            app, &QObject::destroyed, queue, [q = queue] { delete q; }, Qt::DirectConnection);
        owner = app;
    }
    return queue;
}

}  // namespace

void mainQueueAsync(std::function<void()> block) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return;
    }
    mainQueueFor(app)->post(std::move(block));
}

}  // namespace pendra

#include "SerialQueue.moc"
