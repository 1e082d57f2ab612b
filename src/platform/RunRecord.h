#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace pendra {

// When the program last ran, as one line in a file of its own: whatever fell
// due after that moment happened while nothing was there to see it. Written
// only when something happens (launch, quit, a delivery, a change the user
// makes), never on a timer, so an idle program stays asleep.
class RunRecord {
public:
    explicit RunRecord(QString file);

    // Nothing before the first run. An unreadable record prints a line and
    // counts as none: nothing is then taken to have been missed.
    std::optional<QDateTime> lastRun() const;
    // Replaces the record atomically; a failure prints a line.
    void touch(const QDateTime& now);

private:
    QString file_;
};

}  // namespace pendra
