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

Ringer::Ringer(QString folder) : folder_(std::move(folder)) {}

Ringer::~Ringer() = default;

void Ringer::ring(const QString& name) {
    if (name == QStringLiteral("None")) {
        return;
    }
    // Names come from the alarms file and the settings: never let one reach
    // outside the ringtone folder.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QChar(0))) {
        printLine(QStringLiteral("something went wrong: not a ringtone name: \"") + name +
                  QStringLiteral("\""));
        return;
    }
    auto player = std::make_unique<AudioPlayer>();
    QString error;
    if (!player->play(ringtoneFile(folder_, name), &error)) {
        printLine(QStringLiteral("something went wrong: ") + error);
        return;
    }
    QObject::connect(player.get(), &AudioPlayer::failed, player.get(), [](const QString& why) {
        printLine(QStringLiteral("something went wrong: ") + why);
    });
    // Replacing the previous player stops it.
    player_ = std::move(player);
}

void Ringer::silence() {
    if (player_) {
        player_->stop();
    }
}

bool Ringer::isRinging() const {
    return player_ && player_->isPlaying();
}

}  // namespace pendra
