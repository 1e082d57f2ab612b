#include "common/Stepper.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>

namespace pendra {

Stepper::Stepper(QWidget* parent) : QWidget(parent), repeat_(new QTimer(this)) {
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(repeat_, &QTimer::timeout, this, [this] {
        repeat_->setInterval(60);
        step(pressed_);
    });
}

void Stepper::setValue(int value) {
    value_ = value;
    update();
}

void Stepper::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
}

void Stepper::stepUp() {
    step(+1);
}

void Stepper::stepDown() {
    step(-1);
}

void Stepper::step(int direction) {
    if (direction == 0) {
        return;
    }
    int next = value_ + direction * increment_;
    if (next > maximum_) {
        next = wraps_ ? minimum_ : maximum_;
    } else if (next < minimum_) {
        next = wraps_ ? maximum_ : minimum_;
    }
    if (next == value_) {
        return;
    }
    value_ = next;
    update();
    emit valueChanged(value_);
}

QSize Stepper::sizeHint() const {
    return {19, 27};
}

void Stepper::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int half = height() / 2;
    const QRect up(0, 0, width(), half);
    const QRect down(0, half, width(), height() - half);
    for (int dir : {+1, -1}) {
        QStyleOptionButton option;
        option.initFrom(this);
        option.rect = dir > 0 ? up : down;
        if (pressed_ == dir) {
            option.state |= QStyle::State_Sunken;
        }
        style()->drawControl(QStyle::CE_PushButtonBevel, &option, &p, this);
        QStyleOption arrow;
        arrow.initFrom(this);
        arrow.rect = option.rect.adjusted(3, 2, -3, -2);
        style()->drawPrimitive(
            dir > 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown, &arrow, &p,
            this);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

void Stepper::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        return;
    }
    pressed_ = event->position().y() < height() / 2.0 ? +1 : -1;
    step(pressed_);
    if (autorepeat_) {
        repeat_->start(400);
    }
    update();
}

void Stepper::mouseReleaseEvent(QMouseEvent*) {
    pressed_ = 0;
    repeat_->stop();
    update();
}

void Stepper::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) {
        stepUp();
    } else if (event->key() == Qt::Key_Down) {
        stepDown();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void Stepper::wheelEvent(QWheelEvent* event) {
    const int dy = event->angleDelta().y();
    if (dy != 0 && isEnabled()) {
        step(dy > 0 ? +1 : -1);
    }
    event->accept();
}

}  // namespace pendra
