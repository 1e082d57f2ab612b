#pragma once

#include <QString>
#include <functional>

namespace pendra {

// The sound output behind AudioPlayer. It lives in a module of its own,
// loaded on the first ring, so that a program which never rings does not map
// Qt Multimedia, GStreamer and the sound server's client at all. The two sides
// share only this interface: no Qt meta-object crosses between them.
class AudioBackend {
public:
    struct Hooks {
        // A failure found after start() returned (the decoder gave up, say).
        std::function<void(const QString&)> failed;
        // A line for standard output.
        std::function<void(const QString&)> log;
    };

    virtual ~AudioBackend() = default;
    // Opens `file` (absolute, known to be readable) and readies the output
    // without a sound, so that start() of the same file begins at once.
    virtual void prepare(const QString& file) = 0;
    // Opens `file` (absolute, known to be readable) and loops it until stop(),
    // rising from quiet to full volume over riseMs (0: full at once).
    virtual void start(const QString& file, int riseMs) = 0;
    // Loops the program's own generated tone (AlarmTone.h) until stop().
    virtual void startTone(int riseMs) = 0;
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;
};

// The module's one entry point, looked up by this name.
using CreateAudioBackend = AudioBackend* (*)(const AudioBackend::Hooks& hooks);
inline constexpr const char* kCreateAudioBackendSymbol = "pendra_create_audio_backend";

}  // namespace pendra
