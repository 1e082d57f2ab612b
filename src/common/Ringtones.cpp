#include "common/Ringtones.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/AudioPlayer.h"
#include "platform/FallbackTone.h"
#include "platform/Log.h"

namespace pendra {

namespace {

const QString kExtension = QStringLiteral(".m4r");
// The user's own sounds: whatever the audio stack decodes, looked up in this
// order when one name has several files.
const QStringList kUserExtensions = {QStringLiteral(".m4r"), QStringLiteral(".ogg"),
                                     QStringLiteral(".oga"), QStringLiteral(".mp3"),
                                     QStringLiteral(".wav"), QStringLiteral(".flac")};

void reportListingError(const QString& path, const std::error_code& ec) {
    printLine(QStringLiteral("Error reading ringtones: ") + path + QStringLiteral(": ") +
              QString::fromStdString(ec.message()));
}

}  // namespace

namespace {

QStringList listRingtones(const QString& path, const QStringList& extensions, bool mayBeMissing) {
    namespace fs = std::filesystem;
    QStringList names;
    std::error_code ec;
    fs::directory_iterator it(fs::path(QFile::encodeName(path).toStdString()), ec);
    if (ec) {
        if (!(mayBeMissing && ec == std::errc::no_such_file_or_directory)) {
            reportListingError(path, ec);
        }
        return {};
    }
    // Only regular sound files are offered: a name without a playable file
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
        const auto ext = std::find_if(extensions.begin(), extensions.end(),
                                      [&](const QString& e) { return file.endsWith(e); });
        if (ext == extensions.end() || file.startsWith(QLatin1Char('.'))) {
            continue;
        }
        names.append(file.chopped(ext->size()));
    }
    if (ec) {
        reportListingError(path, ec);
        return {};
    }
    return names;
}

}  // namespace

QStringList getRingtones(const QString& path) {
    return listRingtones(path, {kExtension}, false);
}

QStringList ringtoneChoices(const QString& folder, const QString& userFolder) {
    QStringList names = getRingtones(folder);
    names.sort();
    QStringList own =
        userFolder.isEmpty() ? QStringList() : listRingtones(userFolder, kUserExtensions, true);
    own.sort();
    for (const QString& name : own) {
        if (!names.contains(name)) {
            names.append(name);
        }
    }
    names.removeDuplicates();
    names.removeAll(QStringLiteral("None"));
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

Ringer::Ringer(QString folder, QString userFolder)
    : folder_(std::move(folder)), userFolder_(std::move(userFolder)) {
    letGoOfReady_.setSingleShot(true);
    QObject::connect(&letGoOfReady_, &QTimer::timeout, [this] { letGo(ready_); });
}

Ringer::~Ringer() {
    delete fallback_;
}

QStringList Ringer::filesOf(const QString& name) const {
    QStringList files;
    if (!userFolder_.isEmpty()) {
        for (const QString& ext : kUserExtensions) {
            const QString file = userFolder_ + name + ext;
            if (QFileInfo(file).isFile()) {
                files << file;
                break;
            }
        }
    }
    files << ringtoneFile(folder_, name);
    return files;
}

void Ringer::prepare(const QString& name) {
    if (name == QStringLiteral("None") || !isRingtoneName(name)) {
        return;
    }
    const QString file = filesOf(name).first();
    if (!ready_ || readyFile_ != file) {
        auto player = std::make_unique<AudioPlayer>();
        if (!player->prepare(file, nullptr)) {
            return;
        }
        letGo(ready_);
        ready_ = std::move(player);
        readyFile_ = file;
    }
    letGoOfReady_.start(kKeepReadyMs);
}

bool Ringer::isPrepared(const QString& name) const {
    return isRingtoneName(name) && ready_ && readyFile_ == filesOf(name).first();
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
    // The user's file of a name first, then the program's.
    if (isRingtoneName(name)) {
        tries_ << filesOf(name);
    } else {
        printLine(QStringLiteral("something went wrong: not a ringtone name: \"") + name +
                  QStringLiteral("\""));
    }
    tries_ << filesOf(defaultName);
    tries_.removeDuplicates();
    tries_ << kTone;
    tryNext(ring);
}

// Starts the next sound that is left to try; one that fails later, once its
// decoder or output has looked at it, moves on to the one after it.
void Ringer::tryNext(quint64 ring) {
    while (!tries_.isEmpty()) {
        const QString file = tries_.takeFirst();
        std::unique_ptr<AudioPlayer> player;
        if (ready_ && readyFile_ == file) {
            player = std::move(ready_);
            letGoOfReady_.stop();
        } else {
            player = std::make_unique<AudioPlayer>();
        }
        player->setRise(volume_ == Volume::Rising ? kRiseMs : 0);
        QString error;
        const bool started = file == kTone ? player->playTone(&error) : player->play(file, &error);
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
