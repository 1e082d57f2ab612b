#pragma once

#include <QString>
#include <QStringList>
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
// stays silent. The audio stack is loaded only when something first rings.
class Ringer {
public:
    explicit Ringer(QString folder);
    ~Ringer();
    void ring(const QString& name);
    void silence();
    bool isRinging() const;
    QString folder() const { return folder_; }

private:
    QString folder_;
    std::unique_ptr<AudioPlayer> player_;
};

}  // namespace pendra
