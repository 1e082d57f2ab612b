#pragma once

#include <QListView>

#include "common/NamedRects.h"

namespace pendra {

class AlarmListModel;

// The alarms' list. Static rows are painted, not built from widgets, so that
// a long list costs what is on screen; the one row being edited shows the
// editor widget instead, 60 high. The painted buttons and switch act as
// widgets would: on release over them, with hover and pressed looks. Space
// switches the current row's alarm, Return edits it.
class AlarmListView : public QListView, public NamedRectSource {
    Q_OBJECT
public:
    enum class Button { None, Stop, Edit, Enabled, SnoozeNow, Dismiss };

    AlarmListView(AlarmListModel& model, QWidget* editor, QWidget* parent = nullptr);
    ~AlarmListView() override;

    // Shows the editor in place of `row` (-1: no row is edited).
    void setEditedRow(int row);
    int editedRow() const { return editedRow_; }

    QList<NamedRect> namedRects() const override;
    bool clickNamed(const QString& name) override;

signals:
    void buttonClicked(int row, AlarmListView::Button button);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;

private:
    friend class AlarmRowDelegate;
    struct Hit {
        int row = -1;
        Button button = Button::None;
        bool operator==(const Hit&) const = default;
    };
    Hit hitAt(const QPoint& pos) const;
    void setHovered(Hit hit);
    void updateRow(int row);
    void placeEditor();

    AlarmListModel& model_;
    QWidget* editor_;
    int editedRow_ = -1;
    Hit hovered_;
    Hit pressed_;
};

}  // namespace pendra
