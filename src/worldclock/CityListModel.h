#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <optional>
#include <vector>

namespace pendra {

// The chosen cities as rows of three columns: name, offset from the user's
// zone, local time. The texts are computed by updateTimes(), never on reading.
class CityListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { CityColumn, OffsetColumn, TimeColumn, ColumnCount };
    // The label of a row's delete control, on the time column.
    static constexpr int DeleteLabelRole = Qt::UserRole + 1;

    struct City {
        QString name;
        std::optional<QTimeZone> zone;  // none: the row shows no times
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    QStringList names() const;
    void setCities(std::vector<City> cities);
    void append(City city);
    void remove(int row);
    // Takes effect with the next updateTimes().
    void setZone(int row, std::optional<QTimeZone> zone);

    // Offsets and times for `now`; only rows whose texts changed are reported.
    void updateTimes(const QDateTime& now, bool do24HourTime);

private:
    struct Row {
        City city;
        QString offset;
        QString time;
    };
    void computeTexts(Row& row) const;

    std::vector<Row> rows_;
    QDateTime now_;
    bool do24HourTime_ = false;
};

}  // namespace pendra
