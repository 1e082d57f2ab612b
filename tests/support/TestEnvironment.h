#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <ostream>

// Readable Qt values in test failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '[' << l.join(", ").toStdString() << ']';
}
inline void PrintTo(const QDateTime& d, std::ostream* os) {
    *os << d.toString(Qt::ISODateWithMs).toStdString();
}

namespace pendra::test {

// Removes every user default, so a test starts from a first run.
void clearUserDefaults();

// Spins the event loop until `pred` holds or `timeoutMs` passes; returns pred().
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 5000);

}  // namespace pendra::test
