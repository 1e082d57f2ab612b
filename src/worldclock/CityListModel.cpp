#include "worldclock/CityListModel.h"

#include "worldclock/CityCatalogue.h"

namespace pendra {

int CityListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int CityListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CityListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    const Row& row = rows_[size_t(index.row())];
    if (role == DeleteLabelRole ||
        (role == Qt::AccessibleDescriptionRole && index.column() == TimeColumn)) {
        return tr("Delete %1").arg(row.city.name);
    }
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) {
        return {};
    }
    switch (index.column()) {
        case CityColumn:
            return row.city.name;
        case OffsetColumn:
            return row.offset;
        default:
            return row.time;
    }
}

QStringList CityListModel::names() const {
    QStringList names;
    names.reserve(qsizetype(rows_.size()));
    for (const Row& row : rows_) {
        names << row.city.name;
    }
    return names;
}

void CityListModel::setCities(std::vector<City> cities) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(cities.size());
    for (City& city : cities) {
        rows_.push_back(Row{std::move(city), {}, {}});
        computeTexts(rows_.back());
    }
    endResetModel();
}

void CityListModel::append(City city) {
    const int row = int(rows_.size());
    beginInsertRows({}, row, row);
    rows_.push_back(Row{std::move(city), {}, {}});
    computeTexts(rows_.back());
    endInsertRows();
}

void CityListModel::remove(int row) {
    if (row < 0 || row >= int(rows_.size())) {
        return;
    }
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void CityListModel::setZone(int row, std::optional<QTimeZone> zone) {
    if (row >= 0 && row < int(rows_.size())) {
        rows_[size_t(row)].city.zone = std::move(zone);
    }
}

void CityListModel::updateTimes(const QDateTime& now, bool do24HourTime) {
    now_ = now;
    do24HourTime_ = do24HourTime;
    // One signal for the span of rows that changed: a minute changes them all
    // at once, and a view repaints a span as cheaply as one row.
    int first = -1;
    int last = -1;
    for (int r = 0; r < int(rows_.size()); ++r) {
        Row& row = rows_[size_t(r)];
        const QString offset = row.offset;
        const QString time = row.time;
        computeTexts(row);
        if (row.offset != offset || row.time != time) {
            first = first < 0 ? r : first;
            last = r;
        }
    }
    if (first >= 0) {
        emit dataChanged(index(first, OffsetColumn), index(last, TimeColumn), {Qt::DisplayRole});
    }
}

void CityListModel::computeTexts(Row& row) const {
    if (!row.city.zone || !now_.isValid()) {
        row.offset.clear();  // a city whose zone is gone shows no times
        row.time.clear();
        return;
    }
    row.offset = offsetText(*row.city.zone, now_);
    row.time = localTimeText(*row.city.zone, now_, do24HourTime_);
}

}  // namespace pendra
