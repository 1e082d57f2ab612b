#pragma once

#include <QTableView>

#include "common/NamedRects.h"

namespace pendra {

class CityRowDelegate;

// The cities' table. Rows are painted, not built from widgets, so that a long
// list costs what is on screen; each row's cross removes it, as does the
// Delete key on the selected row.
class CityTableView : public QTableView, public NamedRectSource {
    Q_OBJECT
public:
    explicit CityTableView(QWidget* parent = nullptr);
    ~CityTableView() override;

    QList<NamedRect> namedRects() const override;
    // Where `row`'s cross is, in the viewport's coordinates.
    QRect deleteRect(int row) const;

signals:
    void deleteRequested(int row);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int deleteRowAt(const QPoint& pos) const;
    void setHovered(int row);

    CityRowDelegate* delegate_;
};

}  // namespace pendra
