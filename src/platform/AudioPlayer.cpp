// Placeholder until the Qt Multimedia player lands: plays nothing.
#include "platform/AudioPlayer.h"

namespace pendra {

struct AudioPlayer::Impl {};

AudioPlayer::AudioPlayer(QObject* parent) : QObject(parent), d(std::make_unique<Impl>()) {}
AudioPlayer::~AudioPlayer() = default;

bool AudioPlayer::play(const QString&, QString* error) {
    if (error != nullptr) {
        *error = QStringLiteral("no audio player");
    }
    return false;
}

void AudioPlayer::stop() {}
bool AudioPlayer::isPlaying() const {
    return false;
}

}  // namespace pendra
