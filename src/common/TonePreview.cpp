#include "common/TonePreview.h"

#include <QEvent>
#include <QStyle>
#include <QTimer>

#include "common/Ringtones.h"

namespace pendra {

namespace {
constexpr int kPreviewMs = 6000;
}  // namespace

TonePreview::TonePreview(const Ringer& like, std::function<QString()> tone, QWidget* parent)
    : QToolButton(parent),
      ringer_(std::make_unique<Ringer>(like.folder(), like.userFolder())),
      tone_(std::move(tone)),
      limit_(new QTimer(this)) {
    setAutoRaise(true);
    setFocusPolicy(Qt::TabFocus);
    limit_->setSingleShot(true);
    limit_->setInterval(kPreviewMs);
    connect(limit_, &QTimer::timeout, this, &TonePreview::stop);
    connect(this, &QToolButton::clicked, this, &TonePreview::toggle);
    present(false);
}

TonePreview::~TonePreview() = default;

void TonePreview::present(bool playing) {
    playing_ = playing;
    setIcon(style()->standardIcon(playing ? QStyle::SP_MediaStop : QStyle::SP_MediaPlay));
    setAccessibleName(playing ? tr("Stop preview") : tr("Preview ringtone"));
    setToolTip(accessibleName());
}

void TonePreview::toggle() {
    if (playing_) {
        stop();
        return;
    }
    const QString tone = tone_();
    if (tone.isEmpty() || tone == QLatin1String("None")) {
        return;
    }
    ringer_->ring(tone);
    limit_->start();
    present(true);
}

void TonePreview::stop() {
    limit_->stop();
    if (playing_) {
        ringer_->silence();
        present(false);
    }
}

void TonePreview::toneChanged() {
    stop();
    const QString tone = tone_();
    setEnabled(!tone.isEmpty() && tone != QLatin1String("None"));
}

void TonePreview::hideEvent(QHideEvent* event) {
    stop();
    QToolButton::hideEvent(event);
}

void TonePreview::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        stop();
    }
    QToolButton::changeEvent(event);
}

}  // namespace pendra
