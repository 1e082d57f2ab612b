#include "platform/AudioPlayer.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>

#include "platform/Log.h"

namespace pendra {

struct AudioPlayer::Impl {
    // Created on the first play(): constructing QMediaPlayer loads the whole
    // multimedia backend, which a program that never rings should not pay for.
    QMediaPlayer* player = nullptr;
    QAudioOutput* output = nullptr;
    QString file;
    bool failed = false;
    // Whether the sound is wanted, and when its position last moved.
    bool wanted = false;
    qint64 lastPosition = -1;
    int stalledChecks = 0;
    int restarts = 0;
    QTimer* watchdog = nullptr;
};

namespace {

// The backend now and then accepts play() and never starts its stream, or
// stops for good at the end of a loop with no error. A ring nobody hears is
// the failure that matters most, so the position is watched for as long as
// the sound is wanted, and a sound that stands still this long is opened
// again in a new player.
constexpr int kWatchdogMs = 500;
constexpr int kStalledChecksBeforeRestart = 5;
// Restarts in a row without the sound moving in between, before giving up.
constexpr int kMaxRestarts = 5;

}  // namespace

AudioPlayer::AudioPlayer(QObject* parent) : QObject(parent), d(std::make_unique<Impl>()) {}

AudioPlayer::~AudioPlayer() {
    if (d->player != nullptr) {
        d->player->stop();
    }
}

namespace {

// Whether `file` can be handed to the decoder at all; the decoder itself only
// reports its verdict later, from its own thread's messages.
bool checkReadable(const QString& file, QString* error) {
    auto fail = [&](const QString& reason) {
        if (error != nullptr) {
            *error = file + QStringLiteral(": ") + reason;
        }
        return false;
    };
    const QFileInfo info(file);
    if (!info.exists()) {
        return fail(QStringLiteral("no such file"));
    }
    if (!info.isFile()) {
        return fail(QStringLiteral("not a regular file"));
    }
    QFile probe(file);
    if (!probe.open(QIODevice::ReadOnly)) {
        return fail(probe.errorString());
    }
    if (probe.size() == 0) {
        return fail(QStringLiteral("the file is empty"));
    }
    return true;
}

}  // namespace

bool AudioPlayer::play(const QString& file, QString* error) {
    if (!checkReadable(file, error)) {
        return false;
    }
    d->restarts = 0;
    start(file);
    return true;
}

void AudioPlayer::start(const QString& file) {
    if (d->player == nullptr) {
        d->player = new QMediaPlayer(this);
        d->output = new QAudioOutput(this);
        d->output->setVolume(1.0F);
        d->player->setAudioOutput(d->output);
        connect(d->player, &QMediaPlayer::errorOccurred, this,
                [this](QMediaPlayer::Error code, const QString& message) {
                    if (code == QMediaPlayer::NoError || d->failed) {
                        return;
                    }
                    d->failed = true;
                    d->player->stop();
                    emit failed(d->file + QStringLiteral(": ") +
                                (message.isEmpty() ? QStringLiteral("cannot be played") : message));
                });
        connect(d->player, &QMediaPlayer::mediaStatusChanged, this,
                [this](QMediaPlayer::MediaStatus status) {
                    if (status == QMediaPlayer::EndOfMedia && d->wanted && !d->failed) {
                        // Seeking back to the start for the next loop now and
                        // then leaves the stream standing still; opening the
                        // file afresh does not.
                        const QUrl source = d->player->source();
                        d->player->setSource(QUrl());
                        d->player->setSource(source);
                        d->player->play();
                        return;
                    }
                    if (status != QMediaPlayer::InvalidMedia || d->failed) {
                        return;
                    }
                    d->failed = true;
                    d->player->stop();
                    emit failed(d->file + QStringLiteral(": not a playable sound"));
                });
    }
    // Without a reachable sound server the backend plays into nothing and
    // reports no error; say so, since a ring nobody hears is a failure.
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        printLine(QStringLiteral("No audio output device: ") + file +
                  QStringLiteral(" plays unheard"));
    }
    d->file = file;
    d->failed = false;
    d->player->stop();
    d->player->setSource(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
    d->player->setLoops(1);
    d->player->play();
    d->wanted = true;
    d->lastPosition = -1;
    d->stalledChecks = 0;
    if (d->watchdog == nullptr) {
        d->watchdog = new QTimer(this);
        d->watchdog->setInterval(kWatchdogMs);
        connect(d->watchdog, &QTimer::timeout, this, &AudioPlayer::checkProgress);
    }
    d->watchdog->start();
}

void AudioPlayer::checkProgress() {
    if (!d->wanted || d->failed || d->player == nullptr) {
        d->watchdog->stop();
        return;
    }
    const qint64 position = d->player->position();
    if (d->player->playbackState() == QMediaPlayer::PlayingState && position > 0 &&
        position != d->lastPosition) {
        d->lastPosition = position;
        d->stalledChecks = 0;
        d->restarts = 0;
        return;
    }
    if (++d->stalledChecks < kStalledChecksBeforeRestart) {
        return;
    }
    d->watchdog->stop();
    if (d->restarts >= kMaxRestarts) {
        d->failed = true;
        d->player->stop();
        emit failed(d->file + QStringLiteral(": the sound does not play"));
        return;
    }
    ++d->restarts;
    printLine(QStringLiteral("The sound stood still for ") +
              QString::number(kWatchdogMs * kStalledChecksBeforeRestart / 1000.0) +
              QStringLiteral(" s; opening it again: ") + d->file);
    // A fresh player: the stuck one may hold a pipeline that never recovers.
    d->player->stop();
    d->player->disconnect(this);
    d->player->deleteLater();
    d->output->deleteLater();
    d->player = nullptr;
    d->output = nullptr;
    start(d->file);
}

void AudioPlayer::stop() {
    d->wanted = false;
    if (d->watchdog != nullptr) {
        d->watchdog->stop();
    }
    if (d->player != nullptr) {
        d->player->stop();
    }
}

bool AudioPlayer::isPlaying() const {
    return d->player != nullptr && !d->failed &&
           d->player->playbackState() == QMediaPlayer::PlayingState;
}

}  // namespace pendra
