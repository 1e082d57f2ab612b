#pragma once

#include <QStringList>
#include <QTimeZone>
#include <optional>
#include <vector>

#include "common/Panel.h"
#include "worldclock/CityListModel.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace pendra {

class CityTableView;
class UserDefaults;

// The chosen cities with their offset from the user's zone and their local
// time; cities are picked from the time-zone catalogue and kept under "cities".
class WorldClockViewController : public Panel {
    Q_OBJECT
public:
    explicit WorldClockViewController(QWidget* parent = nullptr);
    ~WorldClockViewController() override;

    void viewDidLoad() override;
    void viewDidAppear() override;

    void addCity();
    void addBtnPressed();
    void clearBtnPressed();
    void refreshBtnPressed();
    void deleteBtnPressed(int row);

    // The zone of a stored city name; prints why when there is none.
    // `identifiers`: the platform's zones, read once per reload; reading
    // them per row made a long list take seconds.
    std::optional<QTimeZone> getTimeZoneFromCity(const QString& city,
                                                 const QStringList& identifiers) const;

    // Looks every city's zone up again and computes offsets and times afresh.
    void reloadData();

    QStringList cities() const;
    const QStringList& cityCountryIDs() const { return cityCountryIDs_; }
    bool isAddingNewCity() const { return isAddingNewCity_; }

    const QString citiesKey = QStringLiteral("cities");

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::vector<CityListModel::City> citiesWithZones(const QStringList& names) const;
    void storeCities();
    void layoutButtons();
    void updateTimes();
    void scheduleMinuteTick();
    void printSubviewTree(const QWidget* view, int indent = 0) const;

    UserDefaults& defaults_;
    bool do24HourTime_ = false;
    bool isAddingNewCity_ = false;
    QComboBox* newCityComboBox_;
    QStringList cityCountryIDs_;
    CityListModel* model_;
    CityTableView* tableView_;
    QPushButton* addBtn_;
    QPushButton* clearBtn_;
    QPushButton* refreshBtn_;
    QTimer* minuteTimer_;
    QLabel* emptyLabel_;
};

}  // namespace pendra
