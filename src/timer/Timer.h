#pragma once

#include <QString>
#include <cstdint>

namespace pendra {

// One countdown: the span it was set to, what is left of it, and its state.
// A plain value; the panel replaces it whole at every transition.
struct Timer {
    enum class state { on, off, paused };

    qint64 hours = 0;
    qint64 minutes = 0;
    qint64 seconds = 0;
    qint64 hoursLeft = 0;
    qint64 minutesLeft = 0;
    qint64 secondsLeft = 0;
    QString ringtone;
    state currentState = state::off;

    Timer() = default;
    Timer(qint64 hours, qint64 minutes, qint64 seconds, QString ringtone);

    qint64 secondsToCount() const { return hoursLeft * 3600 + minutesLeft * 60 + secondsLeft; }
    // Counts `firings` seconds off, never below zero. Returns false once
    // nothing is left: the countdown has run out.
    bool countDown(std::uint64_t firings);

    QString description() const;
    friend bool operator==(const Timer&, const Timer&) = default;
};

// A digit field's text as the user types: digits only, at most two, and at
// most `maximum`.
QString filterTimerDigits(const QString& text, int maximum);
// A field's value: its text read as a number, 0 when it does not read.
qint64 timerFieldValue(const QString& text);
// "%02d".
QString twoDigits(qint64 value);

}  // namespace pendra
