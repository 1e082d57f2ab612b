// The ringtone output over Qt Multimedia, built as the module that
// AudioPlayer loads on the first ring.
#include <QAudioDevice>
#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>

#include "platform/AudioBackend.h"

namespace pendra {
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

class MediaBackend final : public AudioBackend, public QObject {
public:
    explicit MediaBackend(Hooks hooks) : hooks_(std::move(hooks)) {
        watchdog_.setInterval(kWatchdogMs);
        QObject::connect(&watchdog_, &QTimer::timeout, this, [this] { checkProgress(); });
    }

    ~MediaBackend() override {
        if (player_ != nullptr) {
            player_->stop();
        }
    }

    void start(const QString& file) override {
        restarts_ = 0;
        open(file);
    }

    void stop() override {
        wanted_ = false;
        watchdog_.stop();
        if (player_ != nullptr) {
            player_->stop();
        }
    }

    bool isPlaying() const override {
        return player_ != nullptr && !failed_ &&
               player_->playbackState() == QMediaPlayer::PlayingState;
    }

private:
    void fail(const QString& why) {
        failed_ = true;
        player_->stop();
        if (hooks_.failed) {
            hooks_.failed(file_ + QStringLiteral(": ") + why);
        }
    }

    void log(const QString& line) const {
        if (hooks_.log) {
            hooks_.log(line);
        }
    }

    void createPlayer() {
        player_ = new QMediaPlayer(this);
        output_ = new QAudioOutput(this);
        output_->setVolume(1.0F);
        player_->setAudioOutput(output_);
        QObject::connect(player_, &QMediaPlayer::errorOccurred, this,
                         [this](QMediaPlayer::Error code, const QString& message) {
                             if (code == QMediaPlayer::NoError || failed_) {
                                 return;
                             }
                             fail(message.isEmpty() ? QStringLiteral("cannot be played") : message);
                         });
        QObject::connect(player_, &QMediaPlayer::mediaStatusChanged, this,
                         [this](QMediaPlayer::MediaStatus status) {
                             if (status == QMediaPlayer::EndOfMedia && wanted_ && !failed_) {
                                 // Seeking back to the start for the next loop
                                 // now and then leaves the stream standing
                                 // still; opening the file afresh does not.
                                 const QUrl source = player_->source();
                                 player_->setSource(QUrl());
                                 player_->setSource(source);
                                 player_->play();
                                 return;
                             }
                             if (status == QMediaPlayer::InvalidMedia && !failed_) {
                                 fail(QStringLiteral("not a playable sound"));
                             }
                         });
    }

    void open(const QString& file) {
        if (player_ == nullptr) {
            createPlayer();
        }
        // Without a reachable sound server the backend plays into nothing and
        // reports no error; say so, since a ring nobody hears is a failure.
        if (QMediaDevices::defaultAudioOutput().isNull()) {
            log(QStringLiteral("No audio output device: ") + file +
                QStringLiteral(" plays unheard"));
        }
        file_ = file;
        failed_ = false;
        player_->stop();
        player_->setSource(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
        player_->setLoops(1);
        player_->play();
        wanted_ = true;
        lastPosition_ = -1;
        stalledChecks_ = 0;
        watchdog_.start();
    }

    void checkProgress() {
        if (!wanted_ || failed_ || player_ == nullptr) {
            watchdog_.stop();
            return;
        }
        const qint64 position = player_->position();
        if (player_->playbackState() == QMediaPlayer::PlayingState && position > 0 &&
            position != lastPosition_) {
            lastPosition_ = position;
            stalledChecks_ = 0;
            restarts_ = 0;
            return;
        }
        if (++stalledChecks_ < kStalledChecksBeforeRestart) {
            return;
        }
        watchdog_.stop();
        if (restarts_ >= kMaxRestarts) {
            fail(QStringLiteral("the sound does not play"));
            return;
        }
        ++restarts_;
        log(QStringLiteral("The sound stood still for ") +
            QString::number(kWatchdogMs * kStalledChecksBeforeRestart / 1000.0) +
            QStringLiteral(" s; opening it again: ") + file_);
        // A fresh player: the stuck one may hold a pipeline that never recovers.
        player_->stop();
        player_->disconnect(this);
        player_->deleteLater();
        output_->deleteLater();
        player_ = nullptr;
        output_ = nullptr;
        open(file_);
    }

    Hooks hooks_;
    QMediaPlayer* player_ = nullptr;
    QAudioOutput* output_ = nullptr;
    QTimer watchdog_;
    QString file_;
    bool failed_ = false;
    // Whether the sound is wanted, and when its position last moved.
    bool wanted_ = false;
    qint64 lastPosition_ = -1;
    int stalledChecks_ = 0;
    int restarts_ = 0;
};

}  // namespace
}  // namespace pendra

extern "C" __attribute__((visibility("default"))) pendra::AudioBackend* pendra_create_audio_backend(
    const pendra::AudioBackend::Hooks& hooks) {
    return new pendra::MediaBackend(hooks);
}
