#pragma once

#include <QObject>
#include <QString>
#include <memory>

namespace pendra {

// Plays one sound file in a loop until stopped. The sound output itself (Qt
// Multimedia) is a module loaded on the first play().
class AudioPlayer : public QObject {
    Q_OBJECT
public:
    explicit AudioPlayer(QObject* parent = nullptr);
    ~AudioPlayer() override;

    // Opens the file and starts looping it. A missing or unreadable file fails
    // at once with a human-readable error and plays nothing; a file the decoder
    // rejects is reported through failed() once the decoder has looked at it.
    bool play(const QString& file, QString* error);
    // Sounds started from now on rise from quiet to full volume over this
    // long; 0, the default, starts them at full volume.
    void setRise(int ms) { riseMs_ = ms; }
    // Loads the sound output and opens the file without playing it, so that
    // a following play() of the same file starts without delay.
    bool prepare(const QString& file, QString* error);
    // Loops the program's own generated tone; fails only when the sound
    // output cannot be loaded at all.
    bool playTone(QString* error);
    void stop();
    bool isPlaying() const;

signals:
    // A failure found after play() returned (the decoder gave up, say).
    void failed(const QString& error);

private:
    bool loadBackend(const QString& file, QString* error);

    struct Impl;
    std::unique_ptr<Impl> d;
    int riseMs_ = 0;
};

}  // namespace pendra
