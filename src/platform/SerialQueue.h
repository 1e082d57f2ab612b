#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace pendra {

// A serial dispatch queue: one thread of its own, blocks run one at a time in
// the order they were submitted.
class SerialQueue {
public:
    explicit SerialQueue(const QString& label);
    ~SerialQueue();  // runs what is queued, then joins the thread
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    QString label() const;
    void async(std::function<void()> block);
    // Runs the block on the queue and waits for it; from the queue itself it runs inline.
    void sync(const std::function<void()>& block);
    bool isCurrent() const;  // true when called from this queue's thread

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Runs the block on the main thread's event loop, without waiting.
void mainQueueAsync(std::function<void()> block);

}  // namespace pendra
