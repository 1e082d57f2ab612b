// The ringtone output, built as the module that AudioPlayer loads when a
// sound is first wanted. The file is decoded into memory and looped from
// there into a stream of the sound server, all on a thread of the module's
// own: the main thread never waits on the decoder or the sound server, and a
// ringtone that is ready starts as soon as the server takes the stream.
#include <QAudioBuffer>
#include <QAudioDecoder>
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QSemaphore>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <memory>
#include <mutex>
#include <set>

#include "platform/AlarmTone.h"
#include "platform/AudioBackend.h"

namespace pendra {
namespace {

// Enough queued on the server to ride out a busy machine, short enough that
// Stop is heard at once.
constexpr int kBufferMs = 250;
constexpr int kFeedMs = 50;
// A user's long sound file loops its first five minutes.
constexpr qint64 kMaxSeconds = 300;
// A stream the server stops taking this long is opened again.
constexpr int kWatchdogMs = 500;
constexpr int kStalledChecksBeforeRestart = 5;
// Restarts in a row without the sound moving in between, before giving up.
constexpr int kMaxRestarts = 5;

// Set as the application ends: from then on the worker reports nothing to
// the application object, which is being torn down.
std::atomic<bool> g_ending{false};

class Worker;

// The workers alive, so that the application's end can stop their decoders
// before the libraries under them go.
std::mutex g_workersLock;
std::set<Worker*> g_workers;

void endAudio();

QThread* audioThread() {
    static QThread* thread = [] {
        auto* t = new QThread();
        t->setObjectName(QStringLiteral("pendra-audio"));
        t->start();
        qAddPostRoutine(endAudio);
        return t;
    }();
    return thread;
}

QAudioFormat wantedFormat() {
    QAudioFormat f;
    f.setSampleRate(44100);
    f.setChannelCount(2);
    f.setSampleFormat(QAudioFormat::Int16);
    return f;
}

// Lives on the audio thread; everything here runs there.
class Worker : public QObject {
public:
    Worker(std::function<void(const QString&)> failed, std::function<void(const QString&)> log,
           std::shared_ptr<std::atomic<bool>> playing)
        : failed_(std::move(failed)),
          log_(std::move(log)),
          playing_(std::move(playing)),
          // Children, so that they move to the audio thread with the worker.
          feed_(new QTimer(this)),
          watchdog_(new QTimer(this)) {
        feed_->setInterval(kFeedMs);
        QObject::connect(feed_, &QTimer::timeout, this, [this] { feed(); });
        watchdog_->setInterval(kWatchdogMs);
        QObject::connect(watchdog_, &QTimer::timeout, this, [this] { checkProgress(); });
        const std::lock_guard lock(g_workersLock);
        g_workers.insert(this);
    }

    ~Worker() override {
        closeSink();
        const std::lock_guard lock(g_workersLock);
        g_workers.erase(this);
    }

    void prepare(const QString& file) {
        if (file != file_ || hasFailed_) {
            decode(file);
        }
    }

    void start(const QString& file, int riseMs) {
        restarts_ = 0;
        riseMs_ = riseMs;
        rising_.invalidate();
        wanted_ = true;
        if (file != file_ || hasFailed_) {
            decode(file);  // the sink opens with the first decoded sound
        } else if (!pcm_.isEmpty()) {
            openSink();
        }
    }

    void startTone(int riseMs) {
        restarts_ = 0;
        riseMs_ = riseMs;
        rising_.invalidate();
        closeSink();
        if (decoder_ != nullptr) {
            decoder_->disconnect(this);
            decoder_->deleteLater();
            decoder_ = nullptr;
        }
        file_ = QStringLiteral("the generated tone");
        pcm_ = alarmTonePcm();
        format_ = wantedFormat();
        decoded_ = true;
        hasFailed_ = false;
        wanted_ = true;
        openSink();
    }

    void stop() {
        wanted_ = false;
        closeSink();
    }

private:
    void decode(const QString& file) {
        closeSink();
        if (decoder_ != nullptr) {
            decoder_->disconnect(this);
            decoder_->deleteLater();
        }
        file_ = file;
        pcm_.clear();
        pos_ = 0;
        decoded_ = false;
        hasFailed_ = false;
        format_ = QAudioFormat();
        decoder_ = new QAudioDecoder(this);
        decoder_->setAudioFormat(wantedFormat());
        QObject::connect(decoder_, &QAudioDecoder::bufferReady, this, [this] { takeBuffer(); });
        QObject::connect(decoder_, &QAudioDecoder::finished, this, [this] {
            decoded_ = true;
            decoder_->deleteLater();
            decoder_ = nullptr;
            if (pcm_.isEmpty()) {
                fail(QStringLiteral("not a playable sound"));
            }
        });
        QObject::connect(decoder_, qOverload<QAudioDecoder::Error>(&QAudioDecoder::error), this,
                         [this](QAudioDecoder::Error) {
                             const QString why = decoder_->errorString();
                             fail(why.isEmpty() ? QStringLiteral("cannot be played") : why);
                         });
        decoder_->setSource(QUrl::fromLocalFile(file));
        decoder_->start();
    }

    void takeBuffer() {
        const QAudioBuffer b = decoder_->read();
        if (!b.isValid() || decoded_) {
            return;
        }
        if (!format_.isValid()) {
            format_ = b.format();
        }
        if (pcm_.size() < format_.bytesForDuration(kMaxSeconds * 1'000'000)) {
            pcm_.append(b.constData<char>(), b.byteCount());
        } else {
            // Enough to loop: the rest of a long file is not needed.
            decoded_ = true;
            decoder_->stop();
        }
        if (wanted_ && sink_ == nullptr) {
            openSink();
        }
    }

    void openSink() {
        closeSink();
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) {
            // Playing into nothing would report no error: a ring nobody hears
            // is a failure like any other.
            fail(QStringLiteral("no audio output device"));
            return;
        }
        sink_ = new QAudioSink(device, format_, this);
        sink_->setBufferSize(format_.bytesForDuration(kBufferMs * 1000));
        if (riseMs_ > 0) {
            // Timed from the first sound; a reopened stream carries on.
            if (!rising_.isValid()) {
                rising_.start();
            }
            sink_->setVolume(riseVolume());
        }
        out_ = sink_->start();
        if (out_ == nullptr || sink_->error() != QAudio::NoError) {
            fail(QStringLiteral("the sound output cannot be opened"));
            return;
        }
        feed();
        feed_->start();
        lastProcessed_ = -1;
        stalledChecks_ = 0;
        watchdog_->start();
        playing_->store(true);
    }

    void closeSink() {
        feed_->stop();
        watchdog_->stop();
        if (sink_ != nullptr) {
            sink_->reset();  // what is queued is dropped, not played out
            sink_->stop();
            sink_->deleteLater();
            sink_ = nullptr;
            out_ = nullptr;
        }
        pos_ = 0;
        playing_->store(false);
    }

    // Tops the stream up from the loop; before the whole file is decoded only
    // as far as it goes.
    // From a tenth of the loudness to all of it, evenly as the ear hears it.
    float riseVolume() const {
        const double done = std::min(1.0, double(rising_.elapsed()) / riseMs_);
        return float(QAudio::convertVolume(0.1 + 0.9 * done, QAudio::LogarithmicVolumeScale,
                                           QAudio::LinearVolumeScale));
    }

    void feed() {
        if (out_ == nullptr || pcm_.isEmpty()) {
            return;
        }
        if (riseMs_ > 0 && rising_.isValid()) {
            sink_->setVolume(riseVolume());
        }
        const int frame = format_.bytesPerFrame();
        qint64 free = sink_->bytesFree();
        free -= free % frame;
        while (free > 0) {
            if (pos_ >= pcm_.size()) {
                if (!decoded_) {
                    return;
                }
                pos_ = 0;
            }
            const qint64 n = std::min<qint64>(free, pcm_.size() - pos_);
            const qint64 written = out_->write(pcm_.constData() + pos_, n);
            if (written <= 0) {
                return;
            }
            pos_ += written;
            free -= written;
        }
    }

    void checkProgress() {
        const qint64 processed = sink_ != nullptr ? sink_->processedUSecs() : -1;
        if (processed > 0 && processed != lastProcessed_) {
            lastProcessed_ = processed;
            stalledChecks_ = 0;
            restarts_ = 0;
            return;
        }
        if (++stalledChecks_ < kStalledChecksBeforeRestart) {
            return;
        }
        if (restarts_ >= kMaxRestarts) {
            fail(QStringLiteral("the sound does not play"));
            return;
        }
        ++restarts_;
        log(QStringLiteral("The sound stood still for ") +
            QString::number(kWatchdogMs * kStalledChecksBeforeRestart / 1000.0) +
            QStringLiteral(" s; opening it again: ") + file_);
        openSink();
    }

    void fail(const QString& why) {
        if (hasFailed_) {
            return;
        }
        hasFailed_ = true;
        wanted_ = false;
        closeSink();
        failed_(file_ + QStringLiteral(": ") + why);
    }

    void log(const QString& line) { log_(line); }

    std::function<void(const QString&)> failed_;
    std::function<void(const QString&)> log_;
    std::shared_ptr<std::atomic<bool>> playing_;
    QTimer* feed_;
    QTimer* watchdog_;

    QString file_;
    QAudioDecoder* decoder_ = nullptr;
    QAudioFormat format_;
    QByteArray pcm_;
    bool decoded_ = false;
    bool hasFailed_ = false;
    bool wanted_ = false;
    qint64 pos_ = 0;
    QAudioSink* sink_ = nullptr;
    QIODevice* out_ = nullptr;
    qint64 lastProcessed_ = -1;
    int stalledChecks_ = 0;
    int restarts_ = 0;
    int riseMs_ = 0;
    QElapsedTimer rising_;
};

// At the application's end, before Qt's own multimedia singletons go: the
// workers are torn down on their thread, which stops any decoder still at
// work, and the thread ends. A thread stuck in the sound server is given 5 s.
void endAudio() {
    g_ending = true;
    QThread* t = audioThread();
    auto done = std::make_shared<QSemaphore>();
    auto* anchor = new QObject();
    anchor->moveToThread(t);
    QMetaObject::invokeMethod(
        anchor,
        [anchor, done] {
            std::set<Worker*> workers;
            {
                const std::lock_guard lock(g_workersLock);
                workers = g_workers;
            }
            for (Worker* w : workers) {
                delete w;
            }
            delete anchor;
            done->release();
        },
        Qt::QueuedConnection);
    done->tryAcquire(1, 5000);
    t->quit();
    t->wait(5000);
}

// The front, on the thread that created it: hands each request to the
// worker without waiting, and brings the worker's reports back here.
class MediaBackend final : public AudioBackend {
public:
    explicit MediaBackend(const Hooks& hooks)
        : hooks_(std::make_shared<Hooks>(hooks)),
          playing_(std::make_shared<std::atomic<bool>>(false)) {
        QObject* home = QCoreApplication::instance();
        const std::weak_ptr<Hooks> weak = hooks_;
        auto report = [home, weak](bool failure) {
            return [home, weak, failure](const QString& text) {
                if (g_ending) {
                    return;
                }
                QMetaObject::invokeMethod(
                    home,
                    [weak, failure, text] {
                        if (const auto h = weak.lock()) {
                            const auto& f = failure ? h->failed : h->log;
                            if (f) {
                                f(text);
                            }
                        }
                    },
                    Qt::QueuedConnection);
            };
        };
        worker_ = new Worker(report(true), report(false), playing_);
        worker_->moveToThread(audioThread());
    }

    ~MediaBackend() override {
        // Torn down on its own thread; nothing here waits for it.
        worker_->deleteLater();
    }

    void prepare(const QString& file) override {
        Worker* w = worker_;
        QMetaObject::invokeMethod(
            w, [w, file] { w->prepare(file); }, Qt::QueuedConnection);
    }

    void startTone(int riseMs) override {
        Worker* w = worker_;
        playing_->store(true);
        QMetaObject::invokeMethod(
            w, [w, riseMs] { w->startTone(riseMs); }, Qt::QueuedConnection);
    }

    void start(const QString& file, int riseMs) override {
        Worker* w = worker_;
        playing_->store(true);  // asked for: isPlaying() reports it from now on
        QMetaObject::invokeMethod(
            w, [w, file, riseMs] { w->start(file, riseMs); }, Qt::QueuedConnection);
    }

    void stop() override {
        Worker* w = worker_;
        playing_->store(false);
        QMetaObject::invokeMethod(
            w, [w] { w->stop(); }, Qt::QueuedConnection);
    }

    bool isPlaying() const override { return playing_->load(); }

private:
    std::shared_ptr<Hooks> hooks_;
    std::shared_ptr<std::atomic<bool>> playing_;
    Worker* worker_ = nullptr;
};

}  // namespace
}  // namespace pendra

extern "C" __attribute__((visibility("default"))) pendra::AudioBackend* pendra_create_audio_backend(
    const pendra::AudioBackend::Hooks& hooks) {
    return new pendra::MediaBackend(hooks);
}
