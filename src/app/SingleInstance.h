#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

namespace pendra {

// One instance per user: two would ring twice and overwrite each other's
// alarms file. The first holds a lock and listens; a later one asks it to show
// its popover and leaves, touching nothing.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `runtimeDir` empty: $XDG_RUNTIME_DIR, else the temporary folder.
    explicit SingleInstance(QString runtimeDir = {});
    ~SingleInstance() override;

    // True when this process is the first instance (and now listens).
    bool claim();
    // Asks the first instance to show itself; true when it answered.
    bool notifyRunningInstance(int timeoutMs = 3000);

    QString lockPath() const;
    QString socketPath() const;

signals:
    void showRequested();

private:
    QString dir_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

}  // namespace pendra
