#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QProcess;
class QTimer;

namespace pendra {

// The last resort when the program's own sound output cannot play anything:
// its generated tone through the sound server's own command-line player
// (paplay, pw-play), started anew each time it ends; without one, the X11
// bell. Nothing waits for the player.
class FallbackTone : public QObject {
    Q_OBJECT
public:
    explicit FallbackTone(QObject* parent = nullptr);
    ~FallbackTone() override;

    void start();
    void stop();
    bool isRunning() const { return running_; }

    // Called once no player could be run: all that is left is the bell,
    // which may well be inaudible.
    std::function<void()> onSilent;

    // The players tried in turn; tests replace them.
    QStringList players{QStringLiteral("paplay"), QStringLiteral("pw-play")};

private:
    void play();
    void nextPlayer(const QString& why);

    QString wav_;
    int player_ = 0;
    bool running_ = false;
    QProcess* process_ = nullptr;
    QTimer* bell_ = nullptr;
};

}  // namespace pendra
