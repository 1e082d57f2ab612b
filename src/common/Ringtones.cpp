#include "common/Ringtones.h"

#include <QCoreApplication>
#include <QFile>
#include <filesystem>
#include <system_error>

#include "platform/AudioPlayer.h"
#include "platform/FallbackTone.h"
#include "platform/Log.h"

namespace pendra {

namespace {

const QString kExtension = QStringLiteral(".m4r");

void reportListingError(const QString& path, const std::error_code& ec) {
    printLine(QStringLiteral("Error reading ringtones: ") + path + QStringLiteral(": ") +
              QString::fromStdString(ec.message()));
}

}  // namespace

QStringList getRingtones(const QString& path) {
    namespace fs = std::filesystem;
    QStringList names;
    std::error_code ec;
    fs::directory_iterator it(fs::path(QFile::encodeName(path).toStdString()), ec);
    if (ec) {
        reportListingError(path, ec);
        return {};
    }
    // Only regular .m4r files are offered: a name without a playable file
    // behind it would let the user pick an alarm that rings in silence.
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) {
            break;
        }
        std::error_code statError;
        if (!it->is_regular_file(statError)) {
            continue;
        }
        const QString file =
            QFile::decodeName(QByteArray::fromStdString(it->path().filename().native()));
        if (!file.endsWith(kExtension) || file.startsWith(QLatin1Char('.'))) {
            continue;
        }
        names.append(file.chopped(kExtension.size()));
    }
    if (ec) {
        reportListingError(path, ec);
        return {};
    }
    return names;
}

QString silentAlertText(const QString& body) {
    return QCoreApplication::translate("Ringtones", "%1 (no sound could be played)").arg(body);
}

QString ringtoneFile(const QString& folder, const QString& name) {
    return folder + name + kExtension;
}

namespace {

constexpr int kKeepReadyMs = 30'000;
constexpr int kRiseMs = 30'000;
// Stands in the list of what to try for the program's own tone.
const QString kTone = QStringLiteral("\n tone");

bool isRingtoneName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

// Let go from the event loop: tearing a player down must not hold up the
// caller, which may be on its way to another sound.
void letGo(std::unique_ptr<AudioPlayer>& player) {
    if (player) {
        player->stop();
        player.release()->deleteLater();
    }
}

}  // namespace

Ringer::Ringer(QString folder) : folder_(std::move(folder)) {
    letGoOfReady_.setSingleShot(true);
    QObject::connect(&letGoOfReady_, &QTimer::timeout, [this] { letGo(ready_); });
}

Ringer::~Ringer() {
    delete fallback_;
}

void Ringer::prepare(const QString& name) {
    if (name == QStringLiteral("None") || !isRingtoneName(name)) {
        return;
    }
    if (!ready_ || readyName_ != name) {
        auto player = std::make_unique<AudioPlayer>();
        if (!player->prepare(ringtoneFile(folder_, name), nullptr)) {
            return;
        }
        letGo(ready_);
        ready_ = std::move(player);
        readyName_ = name;
    }
    letGoOfReady_.start(kKeepReadyMs);
}

bool Ringer::isPrepared(const QString& name) const {
    return ready_ && readyName_ == name;
}

void Ringer::ring(const QString& name, Volume volume) {
    if (name == QStringLiteral("None")) {
        return;
    }
    const quint64 ring = ++ring_;
    volume_ = volume;
    tries_.clear();
    // Names come from the alarms file and the settings: never let one reach
    // outside the ringtone folder.
    if (isRingtoneName(name)) {
        tries_ << name;
    } else {
        printLine(QStringLiteral("something went wrong: not a ringtone name: \"") + name +
                  QStringLiteral("\""));
    }
    if (name != defaultName) {
        tries_ << defaultName;
    }
    tries_ << kTone;
    tryNext(ring);
}

// Starts the next sound that is left to try; one that fails later, once its
// decoder or output has looked at it, moves on to the one after it.
void Ringer::tryNext(quint64 ring) {
    while (!tries_.isEmpty()) {
        const QString name = tries_.takeFirst();
        std::unique_ptr<AudioPlayer> player;
        if (isPrepared(name)) {
            player = std::move(ready_);
            letGoOfReady_.stop();
        } else {
            player = std::make_unique<AudioPlayer>();
        }
        player->setRise(volume_ == Volume::Rising ? kRiseMs : 0);
        QString error;
        const bool started = name == kTone ? player->playTone(&error)
                                           : player->play(ringtoneFile(folder_, name), &error);
        if (!started) {
            printLine(QStringLiteral("something went wrong: ") + error);
            continue;
        }
        QObject::connect(player.get(), &AudioPlayer::failed, player.get(),
                         [this, ring](const QString& why) {
                             printLine(QStringLiteral("something went wrong: ") + why);
                             if (ring == ring_ && player_) {
                                 tryNext(ring);
                             }
                         });
        letGo(player_);
        player_ = std::move(player);
        return;
    }
    // Nothing of the program's own sound output works.
    letGo(player_);
    if (fallback_ == nullptr) {
        fallback_ = new FallbackTone();
        fallback_->onSilent = [this] {
            if (onSilent) {
                onSilent();
            }
        };
    }
    fallback_->start();
}

void Ringer::silence() {
    ++ring_;
    tries_.clear();
    letGo(player_);
    if (fallback_ != nullptr) {
        fallback_->stop();
    }
}

bool Ringer::isRinging() const {
    return (player_ && player_->isPlaying()) || (fallback_ != nullptr && fallback_->isRunning());
}

}  // namespace pendra
