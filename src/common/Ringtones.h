#pragma once

#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

namespace pendra {

class AudioPlayer;
class FallbackTone;

// The base names (without ".m4r") of the ringtone files in `path`, in the
// folder's listing order. A failed listing prints "Error reading ringtones: "
// with the error and gives an empty list.
QStringList getRingtones(const QString& path);

// What a ringtone pop-up offers after "None": the program's ringtones, then
// the user's own sounds in `userFolder` (any format the audio stack plays,
// by base name) that the program does not have, each part sorted. A missing
// user folder is normal and prints nothing.
QStringList ringtoneChoices(const QString& folder, const QString& userFolder);

// The body of an alert whose ring could not be made audible.
QString silentAlertText(const QString& body);

// The sound file of a ringtone name in `folder` (which ends in "/").
QString ringtoneFile(const QString& folder, const QString& name);

// Rings one ringtone at a time in an endless loop. "None" rings nothing. A
// name means the user's own file in the user folder where there is one, else
// the program's; a failing user file falls back to the program's. A
// ring is never silent while anything can sound: a missing or unplayable file
// prints "something went wrong: " with the error, and the ring falls back to
// "Radar", then to a tone the program makes itself, then to the same tone
// through the sound server's own player, and last to the X11 bell. The audio
// stack is loaded only when something is about to ring, and the player is
// let go once the ringing ends.
class Ringer {
public:
    // The default ringtone, the first fallback.
    static inline const QString defaultName = QStringLiteral("Radar");

    explicit Ringer(QString folder, QString userFolder = {});
    ~Ringer();
    // Readies `name` so that ring(name) within the next half minute starts at
    // once; unused, it is let go again. Failures are left for ring() to report.
    void prepare(const QString& name);
    // With rise, the sound swells from quiet to full volume over 30 s.
    enum class Volume { Full, Rising };
    void ring(const QString& name, Volume volume = Volume::Full);
    void silence();
    bool isPrepared(const QString& name) const;
    bool isRinging() const;
    QString folder() const { return folder_; }
    QString userFolder() const { return userFolder_; }

    // Called when a ring has come down to the bell: it may not be heard.
    std::function<void()> onSilent;

private:
    void tryNext(quint64 ring);
    // The files a name may sound from, the user's first.
    QStringList filesOf(const QString& name) const;

    QString folder_;
    QString userFolder_;
    quint64 ring_ = 0;
    Volume volume_ = Volume::Full;
    QStringList tries_;
    FallbackTone* fallback_ = nullptr;
    std::unique_ptr<AudioPlayer> player_;
    std::unique_ptr<AudioPlayer> ready_;
    QString readyFile_;
    QTimer letGoOfReady_;
};

}  // namespace pendra
