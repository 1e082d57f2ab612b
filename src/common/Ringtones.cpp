#include "common/Ringtones.h"

#include <QFile>
#include <filesystem>
#include <system_error>

#include "platform/AudioPlayer.h"
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

QString ringtoneFile(const QString& folder, const QString& name) {
    return folder + name + kExtension;
}

namespace {

constexpr int kKeepReadyMs = 30'000;

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

Ringer::~Ringer() = default;

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

void Ringer::ring(const QString& name) {
    if (name == QStringLiteral("None")) {
        return;
    }
    // Names come from the alarms file and the settings: never let one reach
    // outside the ringtone folder.
    if (!isRingtoneName(name)) {
        printLine(QStringLiteral("something went wrong: not a ringtone name: \"") + name +
                  QStringLiteral("\""));
        return;
    }
    std::unique_ptr<AudioPlayer> player;
    if (isPrepared(name)) {
        player = std::move(ready_);
        letGoOfReady_.stop();
    } else {
        player = std::make_unique<AudioPlayer>();
    }
    QString error;
    if (!player->play(ringtoneFile(folder_, name), &error)) {
        printLine(QStringLiteral("something went wrong: ") + error);
        return;
    }
    QObject::connect(player.get(), &AudioPlayer::failed, player.get(), [](const QString& why) {
        printLine(QStringLiteral("something went wrong: ") + why);
    });
    // Replacing the previous player stops it.
    letGo(player_);
    player_ = std::move(player);
}

void Ringer::silence() {
    letGo(player_);
}

bool Ringer::isRinging() const {
    return player_ && player_->isPlaying();
}

}  // namespace pendra
