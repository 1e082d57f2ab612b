#pragma once

#include <QList>
#include <QString>

#include "alarms/Alarm.h"

namespace pendra {

// The alarms file: a JSON array of alarm objects. Failures are reported by a
// line on standard output; none stops the program.
class AlarmStore {
public:
    // The file in `folder` (which ends in "/").
    explicit AlarmStore(QString folder);

    QString folder() const { return folder_; }
    QString filePath() const;

    // Appends the file's valid alarms to `alarms`, creating an empty file
    // first when there is none. Elements that are not alarms are skipped.
    void getAlarmsFromJSON(QList<Alarm>& alarms);
    // Makes sure the folder and the file exist.
    void createAlarmsFile();
    // Replaces the file with `alarms`, atomically. Before the first write over
    // a file that could not be read whole, keeps that file aside.
    bool writeJSONFromAlarms(const QList<Alarm>& alarms);

    // Where an unreadable file was kept, once it has been.
    QString keptAsidePath() const { return keptAside_; }

private:
    void keepAside();
    void removeLeftoverTemporaries() const;

    QString folder_;
    bool mustKeepAside_ = false;
    QString keptAside_;
};

}  // namespace pendra
