#include "app/SingleInstance.h"

#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include "platform/Log.h"

namespace pendra {

namespace {
QString defaultDir() {
    QString dir = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (dir.isEmpty() || !QDir(dir).exists()) {
        dir = QDir::tempPath() + QStringLiteral("/pendra-%1").arg(getuid());
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return dir;
}
}  // namespace

SingleInstance::SingleInstance(QString runtimeDir)
    : dir_(runtimeDir.isEmpty() ? defaultDir() : std::move(runtimeDir)) {}

SingleInstance::~SingleInstance() {
    if (server_ != nullptr) {
        server_->close();
    }
}

QString SingleInstance::lockPath() const {
    return dir_ + QStringLiteral("/pendra.lock");
}
QString SingleInstance::socketPath() const {
    return dir_ + QStringLiteral("/pendra.socket");
}

bool SingleInstance::claim() {
    lock_ = std::make_unique<QLockFile>(lockPath());
    // A lock left by a process that has gone is taken over at once.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        if (lock_->error() == QLockFile::PermissionError) {
            printLine(QStringLiteral("Cannot lock ") + lockPath() +
                      QStringLiteral(": running without the one-instance guard"));
            return true;
        }
        lock_.reset();
        return false;
    }
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath());
    if (!server_->listen(socketPath())) {
        printLine(QStringLiteral("Cannot listen for other instances: ") + server_->errorString());
        return true;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                const QByteArray line = s->readAll();
                if (line.startsWith("show")) {
                    s->write("ok\n");
                    s->flush();
                    emit showRequested();
                }
                s->disconnectFromServer();
            });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    return true;
}

bool SingleInstance::notifyRunningInstance(int timeoutMs) {
    // The first instance may hold the lock a moment before it listens.
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(200)) {
            socket.write("show\n");
            socket.flush();
            socket.waitForBytesWritten(500);
            const bool answered =
                socket.waitForReadyRead(int(std::max<qint64>(100, deadline.remainingTime()))) &&
                socket.readAll().startsWith("ok");
            return answered;
        }
        QThread::msleep(50);
    }
    return false;
}

}  // namespace pendra
