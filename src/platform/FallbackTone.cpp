#include "platform/FallbackTone.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>
#include <memory>

#include "platform/AlarmTone.h"
#include "platform/Log.h"

namespace pendra {

namespace {
constexpr int kBellEveryMs = 1500;
constexpr qint64 kToneMs = 1600;

QString writeToneFile() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) {
        dir = QDir::tempPath();
    }
    const QString path = dir + QStringLiteral("/pendra-tone.wav");
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(alarmToneWav()) < 0 || !f.commit()) {
        return {};
    }
    return path;
}
}  // namespace

FallbackTone::FallbackTone(QObject* parent) : QObject(parent) {}

FallbackTone::~FallbackTone() {
    stop();
}

void FallbackTone::start() {
    if (running_) {
        return;
    }
    running_ = true;
    player_ = 0;
    if (wav_.isEmpty()) {
        wav_ = writeToneFile();
    }
    play();
}

void FallbackTone::stop() {
    running_ = false;
    if (process_ != nullptr) {
        process_->disconnect(this);
        process_->kill();
        // Reaped from the event loop; nothing here waits for it.
        connect(process_, &QProcess::finished, process_, &QObject::deleteLater);
        process_ = nullptr;
    }
    if (bell_ != nullptr) {
        bell_->stop();
    }
}

void FallbackTone::play() {
    if (!running_) {
        return;
    }
    if (wav_.isEmpty() || player_ >= players.size()) {
        printLine(QStringLiteral("something went wrong: no sound can be played; ringing the bell"));
        if (bell_ == nullptr) {
            bell_ = new QTimer(this);
            bell_->setInterval(kBellEveryMs);
            connect(bell_, &QTimer::timeout, this, [] { QApplication::beep(); });
        }
        QApplication::beep();
        bell_->start();
        if (onSilent) {
            onSilent();
        }
        return;
    }
    process_ = new QProcess(this);
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->setStandardOutputFile(QProcess::nullDevice());
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            nextPlayer(process_->errorString());
        }
    });
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    connect(
        process_, &QProcess::finished, this,
        [this, started](int code, QProcess::ExitStatus status) {
            // One that ends well before the tone does has not played it.
            if (status == QProcess::NormalExit && code == 0 && started->elapsed() > kToneMs / 2) {
                process_->deleteLater();
                process_ = nullptr;
                play();  // the tone once more
            } else {
                nextPlayer(code != 0 ? QStringLiteral("exit status %1").arg(code)
                                     : QStringLiteral("ended at once"));
            }
        });
    process_->start(players[player_], {wav_});
}

void FallbackTone::nextPlayer(const QString& why) {
    printLine(QStringLiteral("something went wrong: ") + players.value(player_) +
              QStringLiteral(": ") + why);
    if (process_ != nullptr) {
        process_->disconnect(this);
        process_->deleteLater();
        process_ = nullptr;
    }
    ++player_;
    play();
}

}  // namespace pendra
