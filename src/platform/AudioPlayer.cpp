#include "platform/AudioPlayer.h"

#include <QFile>
#include <QFileInfo>
#include <QLibrary>

#include "platform/AudioBackend.h"
#include "platform/Log.h"
#include "platform/Paths.h"

namespace pendra {

struct AudioPlayer::Impl {
    // Created on the first play(): loading the module maps the whole
    // multimedia stack, which a program that never rings should not pay for.
    std::unique_ptr<AudioBackend> backend;
};

AudioPlayer::AudioPlayer(QObject* parent) : QObject(parent), d(std::make_unique<Impl>()) {}

AudioPlayer::~AudioPlayer() = default;

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

// The module's factory, loaded once and kept for the life of the process: the
// multimedia stack it brings cannot be unloaded safely. A failed load is
// tried again on the next ring, in case the module has since been installed.
CreateAudioBackend loadModule(QString* error) {
    static CreateAudioBackend create = nullptr;
    static QString loadedFrom;
    const QString path = Paths::audioModule();
    if (create != nullptr && path == loadedFrom) {
        return create;
    }
    QLibrary module(path);
    // Bind everything now: a library the module lacks shows up here, as a
    // line, rather than as a crash in the middle of a ring.
    module.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    create = reinterpret_cast<CreateAudioBackend>(module.resolve(kCreateAudioBackendSymbol));
    loadedFrom = path;
    if (create == nullptr && error != nullptr) {
        *error = QStringLiteral("the sound module cannot be loaded: ") + module.errorString();
    }
    return create;
}

}  // namespace

bool AudioPlayer::prepare(const QString& file, QString* error) {
    if (!checkReadable(file, error) || !loadBackend(file, error)) {
        return false;
    }
    d->backend->prepare(QFileInfo(file).absoluteFilePath());
    return true;
}

bool AudioPlayer::play(const QString& file, QString* error) {
    if (!checkReadable(file, error) || !loadBackend(file, error)) {
        return false;
    }
    d->backend->start(QFileInfo(file).absoluteFilePath(), riseMs_);
    return true;
}

bool AudioPlayer::playTone(QString* error) {
    if (!loadBackend(QStringLiteral("the generated tone"), error)) {
        return false;
    }
    d->backend->startTone(riseMs_);
    return true;
}

bool AudioPlayer::loadBackend(const QString& file, QString* error) {
    if (d->backend) {
        return true;
    }
    QString why;
    const CreateAudioBackend create = loadModule(&why);
    if (create == nullptr) {
        if (error != nullptr) {
            *error = file + QStringLiteral(": ") + why;
        }
        return false;
    }
    // The backend is owned by this player and dies with it, so the hooks
    // never outlive what they call.
    AudioBackend::Hooks hooks;
    hooks.failed = [this](const QString& why) { emit failed(why); };
    hooks.log = [](const QString& line) { printLine(line); };
    d->backend.reset(create(hooks));
    return true;
}

void AudioPlayer::stop() {
    if (d->backend) {
        d->backend->stop();
    }
}

bool AudioPlayer::isPlaying() const {
    return d->backend && d->backend->isPlaying();
}

}  // namespace pendra
