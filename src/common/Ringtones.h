#pragma once

#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>

namespace pendra {

class AudioPlayer;

// The base names (without ".m4r") of the ringtone files in `path`, in the
// folder's listing order. A failed listing prints "Error reading ringtones: "
// with the error and gives an empty list.
QStringList getRingtones(const QString& path);

// The sound file of a ringtone name in `folder` (which ends in "/").
QString ringtoneFile(const QString& folder, const QString& name);

// Rings one ringtone at a time in an endless loop. "None" rings nothing; a
// missing or unplayable file prints "something went wrong: " with the error and
// stays silent. The audio stack is loaded only when something is about to
// ring, and the player is let go once the ringing ends.
class Ringer {
public:
    explicit Ringer(QString folder);
    ~Ringer();
    // Readies `name` so that ring(name) within the next half minute starts at
    // once; unused, it is let go again. Failures are left for ring() to report.
    void prepare(const QString& name);
    void ring(const QString& name);
    void silence();
    bool isPrepared(const QString& name) const;
    bool isRinging() const;
    QString folder() const { return folder_; }

private:
    QString folder_;
    std::unique_ptr<AudioPlayer> player_;
    std::unique_ptr<AudioPlayer> ready_;
    QString readyName_;
    QTimer letGoOfReady_;
};

}  // namespace pendra
