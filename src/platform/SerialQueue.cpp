#include "platform/SerialQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
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

void mainQueueAsync(std::function<void()> block) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(app, std::move(block), Qt::QueuedConnection);
}

}  // namespace pendra
