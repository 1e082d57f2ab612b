#include "worldclock/WorldClockViewController.h"

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "common/Ask.h"
#include "common/Geometry.h"
#include "common/Preferences.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"
#include "worldclock/CityCatalogue.h"
#include "worldclock/CityListModel.h"
#include "worldclock/CityTableView.h"

namespace pendra {

namespace {

constexpr int kButtonRowY = 249;  // the combo box's row
constexpr int kButtonHeight = 25;
constexpr int kAddX = 8;
constexpr int kAddWidth = 87;
constexpr int kComboWidth = 153;
constexpr int kClearWidth = 75;
constexpr int kRefreshWidth = 80;
// Between the add button, the combo box and the clear button, which the
// design puts edge to edge: buttons must not touch.
constexpr int kButtonGap = 6;
constexpr int kTableHeight = kButtonRowY - 5;

QRect frame(int x, int y, int width, int height) {
    return flippedFrame(kPanelHeight, x, y, width, height);
}

}  // namespace

WorldClockViewController::WorldClockViewController(QWidget* parent)
    : Panel(parent),
      defaults_(UserDefaults::standard()),
      newCityComboBox_(new QComboBox(this)),
      model_(new CityListModel(this)),
      tableView_(new CityTableView(this)),
      addBtn_(new QPushButton(tr("Add"), this)),
      clearBtn_(new QPushButton(tr("Clear"), this)),
      refreshBtn_(new QPushButton(tr("Refresh"), this)),
      minuteTimer_(new QTimer(this)),
      emptyLabel_(new QLabel(tr("No cities"), this)) {
    newCityComboBox_->setObjectName(QStringLiteral("worldClockCombo"));
    tableView_->setObjectName(QStringLiteral("worldClockTable"));
    addBtn_->setObjectName(QStringLiteral("worldClockAdd"));
    clearBtn_->setObjectName(QStringLiteral("worldClockClear"));
    refreshBtn_->setObjectName(QStringLiteral("worldClockRefresh"));
    for (QPushButton* b : {addBtn_, clearBtn_, refreshBtn_}) {
        b->setAutoDefault(false);
    }

    addBtn_->setGeometry(frame(kAddX, kButtonRowY, kAddWidth, kButtonHeight));
    refreshBtn_->setGeometry(
        frame(kPanelWidth - kAddX - kRefreshWidth, kButtonRowY, kRefreshWidth, kButtonHeight));
    newCityComboBox_->setGeometry(frame(75, kButtonRowY, kComboWidth, kButtonHeight));
    newCityComboBox_->setEditable(true);
    newCityComboBox_->setInsertPolicy(QComboBox::NoInsert);
    newCityComboBox_->setMaxVisibleItems(10);
    newCityComboBox_->hide();
    if (QCompleter* completer = newCityComboBox_->completer()) {
        completer->setCompletionMode(QCompleter::PopupCompletion);
        completer->setFilterMode(Qt::MatchContains);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setMaxVisibleItems(10);
        connect(completer, qOverload<const QString&>(&QCompleter::activated), this,
                [this](const QString& text) {
                    newCityComboBox_->setEditText(text);
                    addCity();
                });
    }
    connect(newCityComboBox_->lineEdit(), &QLineEdit::returnPressed, this,
            &WorldClockViewController::addCity);
    connect(newCityComboBox_, qOverload<int>(&QComboBox::activated), this,
            &WorldClockViewController::addCity);

    tableView_->setGeometry(frame(0, 0, kPanelWidth, kTableHeight));
    tableView_->setModel(model_);
    tableView_->setAccessibleName(tr("Cities"));
    connect(tableView_, &CityTableView::deleteRequested, this,
            &WorldClockViewController::deleteBtnPressed);
    const auto showEmpty = [this] { emptyLabel_->setVisible(model_->rowCount() == 0); };
    connect(model_, &CityListModel::rowsInserted, this, showEmpty);
    connect(model_, &CityListModel::rowsRemoved, this, showEmpty);
    connect(model_, &CityListModel::modelReset, this, showEmpty);
    emptyLabel_->setObjectName(QStringLiteral("worldClockEmpty"));
    emptyLabel_->setAlignment(Qt::AlignCenter);
    emptyLabel_->setForegroundRole(QPalette::PlaceholderText);
    emptyLabel_->setGeometry(tableView_->geometry());
    layoutButtons();

    connect(addBtn_, &QPushButton::clicked, this, &WorldClockViewController::addBtnPressed);
    connect(clearBtn_, &QPushButton::clicked, this, [this] {
        // Everything goes at once: ask first, and write nothing until answered.
        const auto count = model_->rowCount();
        if (count == 0) {
            clearBtnPressed();
            return;
        }
        askBefore(this, QStringLiteral("worldClockClearAlert"),
                  count == 1 ? tr("Remove 1 city?") : tr("Remove all %1 cities?").arg(count),
                  tr("Remove"), [this] { clearBtnPressed(); });
    });
    connect(refreshBtn_, &QPushButton::clicked, this, &WorldClockViewController::refreshBtnPressed);

    minuteTimer_->setObjectName(QStringLiteral("worldClockMinuteTimer"));
    minuteTimer_->setSingleShot(true);
    minuteTimer_->setTimerType(Qt::PreciseTimer);
    connect(minuteTimer_, &QTimer::timeout, this, [this] {
        updateTimes();
        scheduleMinuteTick();
    });
}

WorldClockViewController::~WorldClockViewController() = default;

void WorldClockViewController::viewDidLoad() {
    defaults_.setBool(
        QStringLiteral("NSConstraintBasedLayoutVisualizeMutuallyExclusiveConstraints"), false);
    const QStringList stored = defaults_.stringArrayForKey(citiesKey).value_or(QStringList());
    model_->setCities(citiesWithZones(stored));
    cityCountryIDs_ = cityCatalogue(knownTimeZoneIdentifiers());

    // An entry is taken only when it is a whole catalogue entry: typing must
    // neither add free text to the list nor complete it into the line.
    newCityComboBox_->clear();
    for (const QString& entry : cityCountryIDs_) {
        newCityComboBox_->addItem(cityEntryTitle(entry), entry);
    }
    newCityComboBox_->setCurrentIndex(-1);
    const int columns = model_->columnCount();
    for (int c = 0; c < columns; ++c) {
        tableView_->setColumnWidth(c, kPanelWidth / columns);
    }
    updateTimes();
}

void WorldClockViewController::viewDidAppear() {
    // Showing rebuilds nothing: the texts are brought up to now.
    do24HourTime_ = do24HourTimePreference(defaults_);
    updateTimes();
}

QStringList WorldClockViewController::cities() const {
    return model_->names();
}

std::vector<CityListModel::City> WorldClockViewController::citiesWithZones(
    const QStringList& names) const {
    const QStringList identifiers = names.isEmpty() ? QStringList() : knownTimeZoneIdentifiers();
    std::vector<CityListModel::City> cities;
    cities.reserve(size_t(names.size()));
    for (const QString& name : names) {
        cities.push_back({name, getTimeZoneFromCity(name, identifiers)});
    }
    return cities;
}

void WorldClockViewController::showEvent(QShowEvent* event) {
    Panel::showEvent(event);
    scheduleMinuteTick();
}

void WorldClockViewController::hideEvent(QHideEvent* event) {
    Panel::hideEvent(event);
    minuteTimer_->stop();
}

void WorldClockViewController::scheduleMinuteTick() {
    // Wake just past the next minute boundary, so each tick shows the new minute.
    const qint64 now = Clock::now().toMSecsSinceEpoch();
    const qint64 untilNextMinute = 60000 - (now % 60000 + 60000) % 60000;
    minuteTimer_->start(int(untilNextMinute) + 50);
}

void WorldClockViewController::addBtnPressed() {
    if (isAddingNewCity_) {
        addCity();
        return;
    }
    QRect g = addBtn_->geometry();
    g.setWidth(kAddWidth);
    addBtn_->setGeometry(g);
    newCityComboBox_->show();
    printSubviewTree(this);
    isAddingNewCity_ = true;
    layoutButtons();
    newCityComboBox_->setFocus();
    newCityComboBox_->lineEdit()->selectAll();
}

void WorldClockViewController::addCity() {
    // Enter in the line, the list's choice and the completer's choice may all
    // report one pick; only the first one acts.
    if (!isAddingNewCity_) {
        return;
    }
    const QString text = newCityComboBox_->currentText();
    // The picker's titles stand for their entries; an entry typed as stored
    // (Tokyo/Asia) is taken as well.
    const int item = newCityComboBox_->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    const QString entry = item >= 0 ? newCityComboBox_->itemData(item).toString() : text;
    int selectRow = -1;
    if (cityCountryIDs_.contains(entry)) {
        const QString city = cityName(entry);
        selectRow = int(cities().indexOf(city));
        if (selectRow >= 0) {
            printLine(city);
        } else {
            model_->append(std::move(citiesWithZones({city}).front()));
            storeCities();
        }
    }
    // Leave adding mode before touching the combo box: its own signals may
    // call back in here.
    isAddingNewCity_ = false;
    newCityComboBox_->setCurrentIndex(-1);
    newCityComboBox_->setEditText(text);
    // The focus goes back where adding began, not to the table, where it
    // would select a row nobody chose.
    const QWidget* focused = QApplication::focusWidget();
    if (focused && (focused == newCityComboBox_ || newCityComboBox_->isAncestorOf(focused))) {
        addBtn_->setFocus();
    }
    newCityComboBox_->hide();
    layoutButtons();
    if (selectRow >= 0) {
        tableView_->clearSelection();
        tableView_->selectRow(selectRow);
        tableView_->scrollTo(tableView_->model()->index(selectRow, 0));
    }
}

void WorldClockViewController::clearBtnPressed() {
    model_->setCities({});
    storeCities();
}

void WorldClockViewController::refreshBtnPressed() {
    reloadData();
}

void WorldClockViewController::deleteBtnPressed(int row) {
    if (row < 0 || row >= model_->rowCount()) {
        return;
    }
    model_->remove(row);
    storeCities();
}

void WorldClockViewController::storeCities() {
    defaults_.setStringArray(citiesKey, cities());
}

void WorldClockViewController::layoutButtons() {
    const QRect add = addBtn_->geometry();
    int clearX = add.x() + add.width() + kButtonGap;
    if (isAddingNewCity_) {
        QRect combo = newCityComboBox_->geometry();
        combo.moveLeft(clearX);
        newCityComboBox_->setGeometry(combo);
        clearX = combo.x() + combo.width() + kButtonGap;
    }
    clearBtn_->setGeometry(clearX, add.y(), kClearWidth, add.height());
}

std::optional<QTimeZone> WorldClockViewController::getTimeZoneFromCity(
    const QString& city, const QStringList& identifiers) const {
    const CityLookup found = lookupCity(city, identifiers);
    if (!found.identifier) {
        printLine(found.failure);
        return std::nullopt;
    }
    QTimeZone zone(found.identifier->toUtf8());
    if (!zone.isValid()) {
        printLine(QStringLiteral("Couldn't read time zone ") + *found.identifier);
        return std::nullopt;
    }
    return zone;
}

void WorldClockViewController::reloadData() {
    // In place, so that the selection and the scrolled position stay.
    const std::vector<CityListModel::City> fresh = citiesWithZones(cities());
    for (size_t row = 0; row < fresh.size(); ++row) {
        model_->setZone(int(row), fresh[row].zone);
    }
    updateTimes();
}

void WorldClockViewController::updateTimes() {
    model_->updateTimes(Clock::now(), do24HourTime_);
}

void WorldClockViewController::printSubviewTree(const QWidget* view, int indent) const {
    printLine(QStringLiteral("|\t").repeated(indent) + view->metaObject()->className());
    for (const QObject* child : view->children()) {
        if (child->isWidgetType()) {
            printSubviewTree(static_cast<const QWidget*>(child), indent + 1);
        }
    }
}

}  // namespace pendra
