#pragma once

#include <QStringList>
#include <QTimeZone>
#include <optional>
#include <vector>

#include "common/Panel.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

namespace pendra {

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
    void deleteBtnPressed(QObject* button);

    // The zone of a stored city name; prints why when there is none.
    // `identifiers`: the platform's zones, read once per reload; reading
    // them per row made a long list take seconds.
    std::optional<QTimeZone> getTimeZoneFromCity(const QString& city,
                                                 const QStringList& identifiers) const;

    // Rebuilds every row, computing offsets and times afresh.
    void reloadData();

    const QStringList& cities() const { return cities_; }
    const QStringList& cityCountryIDs() const { return cityCountryIDs_; }
    bool isAddingNewCity() const { return isAddingNewCity_; }

    const QString citiesKey = QStringLiteral("cities");

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Row {
        QLabel* offset = nullptr;
        QLabel* time = nullptr;
        std::optional<QTimeZone> zone;
    };

    void storeCities();
    void layoutButtons();
    QWidget* cellFor(int column, int row, Row& built);
    void updateTimes();
    void scheduleMinuteTick();
    void printSubviewTree(const QWidget* view, int indent = 0) const;

    UserDefaults& defaults_;
    bool do24HourTime_ = false;
    QStringList cities_;
    bool isAddingNewCity_ = false;
    QComboBox* newCityComboBox_;
    QStringList cityCountryIDs_;
    QTableWidget* tableView_;
    QPushButton* addBtn_;
    QPushButton* clearBtn_;
    QPushButton* refreshBtn_;
    QTimer* minuteTimer_;
    std::vector<Row> rows_;
    QLabel* emptyLabel_;
};

}  // namespace pendra
