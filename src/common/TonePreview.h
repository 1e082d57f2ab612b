#pragma once

#include <QString>
#include <QToolButton>
#include <functional>
#include <memory>

class QTimer;

namespace pendra {

class Ringer;

// A small button beside a ringtone pop-up that plays the chosen tone for a few
// seconds, or until it is pressed again. It has a player of its own, so a
// preview never touches a ringing alarm's or timer's sound; it stops when it
// is hidden, and it is disabled while the choice is "None".
class TonePreview : public QToolButton {
    Q_OBJECT
public:
    // Plays from the same folders as `like`.
    TonePreview(const Ringer& like, std::function<QString()> tone, QWidget* parent = nullptr);
    ~TonePreview() override;

    void stop();
    bool isPlaying() const { return playing_; }
    // Call when the choice changes: stops the preview, and follows "None".
    void toneChanged();

protected:
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void toggle();
    void present(bool playing);

    std::unique_ptr<Ringer> ringer_;
    std::function<QString()> tone_;
    QTimer* limit_;
    bool playing_ = false;
};

}  // namespace pendra
