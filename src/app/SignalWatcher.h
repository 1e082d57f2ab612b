#pragma once

#include <QObject>

class QSocketNotifier;

namespace pendra {

// Turns SIGINT and SIGTERM into a Qt signal on the main thread, so the program
// ends through its normal termination step.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

signals:
    void terminationRequested(int signalNumber);

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace pendra
