#pragma once

#include <QWidget>

class QTimer;

namespace pendra {

// Two small arrow buttons, one above the other, that step an integer between
// a minimum and a maximum. Like a spin box without the field: the panels keep
// their own text fields beside it.
class Stepper : public QWidget {
    Q_OBJECT
public:
    explicit Stepper(QWidget* parent = nullptr);

    int value() const { return value_; }
    // Not clamped: the field beside it may hold a value outside the range (an
    // emptied field reads 0); the next step brings it back inside.
    void setValue(int value);
    void setRange(int minimum, int maximum);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    void setIncrement(int increment) { increment_ = increment; }
    int increment() const { return increment_; }
    // Holding an arrow repeats the step.
    void setAutorepeat(bool on) { autorepeat_ = on; }
    bool autorepeat() const { return autorepeat_; }
    // Past the maximum to the minimum and back.
    void setValueWraps(bool on) { wraps_ = on; }
    bool valueWraps() const { return wraps_; }

    void stepUp();
    void stepDown();

    QSize sizeHint() const override;

signals:
    // The user stepped the value (not emitted by setValue()).
    void valueChanged(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void step(int direction);

    int value_ = 0;
    int minimum_ = 0;
    int maximum_ = 99;
    int increment_ = 1;
    bool autorepeat_ = true;
    bool wraps_ = false;
    int pressed_ = 0;  // +1 upper arrow, -1 lower arrow
    QTimer* repeat_;
};

}  // namespace pendra
