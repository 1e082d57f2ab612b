#include "worldclock/WorldClockViewController.h"

#include <QComboBox>
#include <QCompleter>
#include <QFontMetrics>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include "common/Ask.h"
#include "common/Geometry.h"
#include "common/Preferences.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"
#include "worldclock/CityCatalogue.h"

namespace pendra {

namespace {

constexpr int kRowHeight = 40;
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

QRect frame(int x, int y, int width, int height, int parentHeight = kPanelHeight) {
    return flippedFrame(parentHeight, x, y, width, height);
}

QLabel* cellLabel(QWidget* container) {
    auto* label = new QLabel(container);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(frame(0, 0, 120, kRowHeight, kRowHeight));
    QFont font = label->font();
    font.setPixelSize(30);
    font.setWeight(QFont::Normal);
    label->setFont(font);
    label->setWordWrap(false);
    label->setAutoFillBackground(false);
    return label;
}

// The row's texts differ in size; they stand on one line.
constexpr int kBaseline = 29;
void putBaselineAt(QLabel* label, int baseline) {
    label->setAlignment((label->alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignTop);
    const int top = baseline - label->y() - QFontMetrics(label->font()).ascent();
    label->setContentsMargins(0, std::max(0, top), 0, 0);
}

// A thin cross in the text's colour: the rows' delete button, which the
// style's own close icons draw too small or boxed.
QIcon crossIcon(const QColor& color) {
    QPixmap pixmap(QSize(24, 24) * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(7, 7), QPointF(17, 17));
    painter.drawLine(QPointF(17, 7), QPointF(7, 17));
    return QIcon(pixmap);
}

// Long names (Dumont d'Urville, Port of Spain) shrink before they are cut
// short; only past the smallest size is the end elided, with the whole name
// in the tooltip.
void setFittedText(QLabel* label, const QString& text, int largest = 20, int smallest = 14) {
    QFont font = label->font();
    const int width = label->width();
    int size = largest;
    for (; size > smallest; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).horizontalAdvance(text) <= width) {
            break;
        }
    }
    font.setPixelSize(size);
    label->setFont(font);
    const QString shown = QFontMetrics(font).elidedText(text, Qt::ElideRight, width);
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
}

}  // namespace

WorldClockViewController::WorldClockViewController(QWidget* parent)
    : Panel(parent),
      defaults_(UserDefaults::standard()),
      newCityComboBox_(new QComboBox(this)),
      tableView_(new QTableWidget(this)),
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
    tableView_->setFrameShape(QFrame::NoFrame);
    tableView_->setColumnCount(3);
    tableView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableView_->setSelectionMode(QAbstractItemView::SingleSelection);
    tableView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tableView_->setShowGrid(false);
    // Tab leaves the table for the next control (the rows' delete buttons
    // are reached in turn) instead of walking its cells.
    tableView_->setTabKeyNavigation(false);
    tableView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tableView_->verticalHeader()->setMinimumSectionSize(kRowHeight);
    tableView_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    tableView_->verticalHeader()->hide();
    // Rows are chosen by the panel (a city added twice), never by the keyboard:
    // without focus the table shows no box around its first cell.
    tableView_->setFocusPolicy(Qt::NoFocus);
    emptyLabel_->setObjectName(QStringLiteral("worldClockEmpty"));
    emptyLabel_->setAlignment(Qt::AlignCenter);
    emptyLabel_->setForegroundRole(QPalette::PlaceholderText);
    emptyLabel_->setGeometry(tableView_->geometry());
    layoutButtons();

    connect(addBtn_, &QPushButton::clicked, this, &WorldClockViewController::addBtnPressed);
    connect(clearBtn_, &QPushButton::clicked, this, [this] {
        // Everything goes at once: ask first, and write nothing until answered.
        const auto count = cities_.size();
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
    cities_ = defaults_.stringArrayForKey(citiesKey).value_or(QStringList());
    cityCountryIDs_ = cityCatalogue(knownTimeZoneIdentifiers());

    // An entry is taken only when it is a whole catalogue entry: typing must
    // neither add free text to the list nor complete it into the line.
    newCityComboBox_->clear();
    for (const QString& entry : cityCountryIDs_) {
        newCityComboBox_->addItem(cityEntryTitle(entry), entry);
    }
    newCityComboBox_->setCurrentIndex(-1);
    const int columns = tableView_->columnCount();
    for (int c = 0; c < columns; ++c) {
        tableView_->setColumnWidth(c, kPanelWidth / columns);
    }
    tableView_->horizontalHeader()->hide();
    reloadData();
}

void WorldClockViewController::viewDidAppear() {
    do24HourTime_ = do24HourTimePreference(defaults_);
    reloadData();
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
    reloadData();
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
        selectRow = int(cities_.indexOf(city));
        if (selectRow >= 0) {
            printLine(city);
        } else {
            cities_.append(city);
            storeCities();
        }
    }
    // Leave adding mode before touching the combo box: its own signals may
    // call back in here.
    isAddingNewCity_ = false;
    newCityComboBox_->setCurrentIndex(-1);
    newCityComboBox_->setEditText(text);
    newCityComboBox_->hide();
    layoutButtons();
    reloadData();
    if (selectRow >= 0) {
        tableView_->clearSelection();
        tableView_->selectRow(selectRow);
        tableView_->scrollTo(tableView_->model()->index(selectRow, 0));
    }
}

void WorldClockViewController::clearBtnPressed() {
    cities_.clear();
    storeCities();
    reloadData();
}

void WorldClockViewController::refreshBtnPressed() {
    reloadData();
}

void WorldClockViewController::deleteBtnPressed(QObject* button) {
    bool ok = false;
    const int tag = button ? button->property("tag").toInt(&ok) : -1;
    if (!ok || tag < 0 || tag >= cities_.size()) {
        return;
    }
    cities_.removeAt(tag);
    storeCities();
    reloadData();
}

void WorldClockViewController::storeCities() {
    defaults_.setStringArray(citiesKey, cities_);
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
    const QModelIndexList selected = tableView_->selectionModel()->selectedRows();
    const int selectedRow = selected.isEmpty() ? -1 : selected.first().row();
    tableView_->setRowCount(0);
    rows_.clear();
    const int count = int(cities_.size());
    tableView_->setRowCount(count);
    rows_.resize(count);
    const QStringList identifiers = count > 0 ? knownTimeZoneIdentifiers() : QStringList();
    for (int row = 0; row < count; ++row) {
        tableView_->setRowHeight(row, kRowHeight);
        rows_[row].zone = getTimeZoneFromCity(cities_[row], identifiers);
        for (int column = 0; column < tableView_->columnCount(); ++column) {
            tableView_->setCellWidget(row, column, cellFor(column, row, rows_[row]));
        }
    }
    updateTimes();
    emptyLabel_->setVisible(count == 0);
    emptyLabel_->raise();
    if (selectedRow >= 0 && selectedRow < count) {
        tableView_->selectRow(selectedRow);
    }
}

QWidget* WorldClockViewController::cellFor(int column, int row, Row& built) {
    auto* container = new QWidget();
    QLabel* label = cellLabel(container);
    switch (column) {
        case 0: {
            // All three texts span the row so that their baselines can line up.
            label->setGeometry(frame(0, 0, 150, kRowHeight, kRowHeight));
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            setFittedText(label, cities_[row]);
            putBaselineAt(label, kBaseline);
            label->setObjectName(QStringLiteral("worldClockCity-%1").arg(row));
            break;
        }
        case 1: {
            // The offset is the lesser figure beside the time: smaller, dimmer.
            QFont font = label->font();
            font.setPixelSize(20);
            label->setFont(font);
            label->setForegroundRole(QPalette::PlaceholderText);
            label->setAlignment(Qt::AlignCenter);
            label->setObjectName(QStringLiteral("worldClockOffset-%1").arg(row));
            putBaselineAt(label, kBaseline);
            built.offset = label;
            break;
        }
        case 2: {
            // Ends short of the delete button so that the minutes stay readable.
            label->setGeometry(frame(-15, 0, 123, kRowHeight, kRowHeight));
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            label->setObjectName(QStringLiteral("worldClockTime-%1").arg(row));
            built.time = label;
            auto* deleteBtn = new QToolButton(container);
            deleteBtn->setObjectName(QStringLiteral("worldClockDelete-%1").arg(row));
            deleteBtn->setGeometry(frame(110, 5, 20, 20, kRowHeight));
            deleteBtn->setProperty("tag", row);
            deleteBtn->setIcon(crossIcon(palette().color(QPalette::ButtonText)));
            deleteBtn->setIconSize(QSize(16, 16));
            deleteBtn->setAutoRaise(true);
            deleteBtn->setAccessibleName(tr("Delete %1").arg(cities_[row]));
            deleteBtn->setToolTip(deleteBtn->accessibleName());
            connect(deleteBtn, &QToolButton::clicked, this,
                    [this, deleteBtn] { deleteBtnPressed(deleteBtn); });
            printLine(QString::number(row));
            printLine(QString::number(deleteBtn->property("tag").toInt()));
            break;
        }
        default:
            printLine(QStringLiteral("weird table column: ") + QString::number(column));
            break;
    }
    return container;
}

void WorldClockViewController::updateTimes() {
    const QDateTime now = Clock::now();
    for (const Row& row : rows_) {
        if (!row.zone) {
            continue;  // a city whose zone is gone keeps its empty texts
        }
        if (row.offset) {
            row.offset->setText(offsetText(*row.zone, now));
        }
        if (row.time) {
            // The time is what the row is for: as large as its column holds.
            setFittedText(row.time, localTimeText(*row.zone, now, do24HourTime_), 30, 20);
            putBaselineAt(row.time, kBaseline);
        }
    }
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
