#pragma once

#include <QString>

namespace pendra {

// Where the program finds its installed resources and keeps its data.
class Paths {
public:
    // share/pendra/ beside the executable's bin/ (the same in the build tree).
    static QString shareDir();
    // The ringtone folder, with a trailing "/".
    static QString ringtonesDir();
    // The sound output module, lib/pendra/pendra-audio.so beside bin/.
    static QString audioModule();
    // GenericDataLocation + "/Pendra/", with a trailing "/".
    static QString dataDir();
    // The user's own sounds: dataDir() + "ringtones/".
    static QString userRingtonesDir();
    // When the program last ran, beside its data.
    static QString runRecordFile();
    // Tests point the resources elsewhere; empty restores the default.
    static void setShareDirForTesting(const QString& dir);
    static void setAudioModuleForTesting(const QString& file);
};

}  // namespace pendra
