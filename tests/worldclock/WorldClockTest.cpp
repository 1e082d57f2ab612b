#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <memory>

#include "common/NamedRects.h"
#include "platform/Clock.h"
#include "platform/UserDefaults.h"
#include "support/StdoutCapture.h"
#include "support/TestEnvironment.h"
#include "worldclock/CityCatalogue.h"
#include "worldclock/WorldClockViewController.h"
#include "worldclock/ZoneTestSupport.h"

namespace pendra {
namespace {

using test::utc;

// Empty pieces do not count.
TEST(CatalogueTest, TwoPieceIdentifiersBecomeCityEntriesInTheSystemsOrder) {
    EXPECT_EQ(cityCatalogue({"Europe/London", "GMT", "//", "America/Argentina/Buenos_Aires",
                             "/Some_Region//Far_Away_Town/", "Africa/Abidjan"}),
              (QStringList{"London/Europe", "Far Away Town/Some Region", "Abidjan/Africa"}));
}

TEST(LookupTest, FindsCitiesBySecondPieceTheFirstWinsAGoneOneNamesEveryCandidate) {
    const QStringList ids{"GMT", "America/New_York", "America/Argentina/Buenos_Aires",
                          "Elsewhere/Argentina", "Other/New_York"};
    EXPECT_EQ(lookupCity("New York", ids).identifier, QString("America/New_York"));
    EXPECT_EQ(lookupCity("Argentina", ids).identifier, QString("America/Argentina/Buenos_Aires"));
    // Case matters; the spelling is that of the identifier.
    EXPECT_FALSE(lookupCity("new York", ids).identifier);
    EXPECT_FALSE(lookupCity("New_York/America", ids).identifier);
    const CityLookup found = lookupCity("Lost City", ids);
    EXPECT_FALSE(found.identifier);
    EXPECT_EQ(found.failure, QString("Couldn't find city Lost_City in identifiers "
                                     "[\"New_York\", \"Argentina\", \"Argentina\", \"New_York\"]"));
}

// The usual offsets are the panel's and the system zone data's below.
TEST(OffsetTextTest, SignHoursAndMinutesToTheExtremes) {
    EXPECT_EQ(offsetText(-30 * 60), QString("-00:30"));
    EXPECT_EQ(offsetText(26 * 3600), QString("+26:00"));  // from UTC-12 to UTC+14
}

// The locale names the half of the day; the panel test shows the hours.
TEST(LocalTimeTextTest, TheLocalesAfternoon) {
    EXPECT_EQ(localTimeText(QTimeZone("Europe/London"), utc(2024, 1, 15, 15, 7), false,
                            QLocale(QLocale::Japanese)),
              QString::fromUtf8("3:07午後"));
}

// Every city the catalogue offers, looked up as the panel looks it up, must
// find the zone it came from and show the offset the operating system's own
// zone data gives at the same instant. Here "<id> +hh:mm" lines from
// `TZ=<id> date -d @<epoch> +%z` for each zone, in one shell.
QStringList systemOffsets(const QStringList& ids, qint64 epoch) {
    QProcess shell;
    shell.start("/bin/sh", {"-c",
                            "while read -r id; do z=$(TZ=\"$id\" date -d @\"$1\" +%z); "
                            "printf '%s %s:%s\\n' \"$id\" \"${z%??}\" \"${z#???}\"; done",
                            "sh", QString::number(epoch)});
    shell.write((ids.join('\n') + '\n').toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(300000);
    return QString::fromUtf8(shell.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

TEST(OffsetTextTest, EveryCatalogueCityFindsItsZoneAndMatchesTheSystemZoneData) {
    test::ScopedTimeZone tz("UTC");
    const QStringList ids = knownTimeZoneIdentifiers();
    QStringList found;
    for (const QString& id : ids) {
        if (const auto entry = reverse(id, '/')) {
            EXPECT_EQ(lookupCity(cityName(*entry), ids).identifier, id) << qPrintable(*entry);
            found << id;
        }
    }
    ASSERT_GT(found.size(), 300);
    // One instant in each half of the year, so zones on summer time either
    // side of the equator are caught on both sides of their change.
    for (const QDateTime& when : {utc(2024, 1, 15, 12, 0), utc(2024, 7, 15, 12, 0)}) {
        QStringList shown;
        for (const QString& id : found) {
            shown << id + ' ' + offsetText(QTimeZone(id.toUtf8()), when);
        }
        EXPECT_EQ(shown, systemOffsets(found, when.toSecsSinceEpoch()))
            << "at " << qPrintable(when.toString(Qt::ISODate));
    }
}

class WorldClockPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::clearUserDefaults();
        QLocale::setDefault(QLocale::c());
        Clock::setNowForTesting([] { return utc(2024, 1, 15, 15, 7, 42).toLocalTime(); });
    }
    void TearDown() override {
        Clock::setNowForTesting({});
        QLocale::setDefault(QLocale::system());
    }

    void open() {
        panel = std::make_unique<WorldClockViewController>();
        panel->setFixedSize(450, 300);
        panel->viewDidLoad();
        panel->show();
        panel->viewDidAppear();
    }

    template <typename T>
    static T* child(QWidget* parent, const QString& name) {
        T* w = parent->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << qPrintable(name);
        return w;
    }
    QTableView* table() { return child<QTableView>(panel.get(), "worldClockTable"); }
    QComboBox* combo() { return child<QComboBox>(panel.get(), "worldClockCombo"); }
    void click(const QString& name, QWidget* parent = nullptr) {
        QTest::mouseClick(child<QPushButton>(parent ? parent : panel.get(), name), Qt::LeftButton);
    }

    // A painted part of a row, found by name as the session tests find it.
    NamedRect part(const QString& kind, int row) {
        const QString name = QString("worldClock%1-%2").arg(kind).arg(row);
        for (const NamedRect& r : dynamic_cast<NamedRectSource*>(table())->namedRects()) {
            if (r.name == name) {
                return r;
            }
        }
        return {{}, {}, {}, QString("<none>")};
    }
    QStringList column(int c) {
        QStringList texts;
        for (int r = 0; r < table()->model()->rowCount(); ++r) {
            texts << part(QStringList{"City", "Offset", "Time"}[c], r).text;
        }
        return texts;
    }
    void clickDelete(int row) {
        QWidget* rowsArea = table()->viewport();
        const QPoint center = part("Delete", row).rect.center();
        QTest::mouseClick(rowsArea, Qt::LeftButton, {}, rowsArea->mapFrom(table(), center));
    }

    // Opens the combo box with the add button, types `typed` and confirms it.
    void typeAndConfirm(const QString& typed) {
        click("worldClockAdd");
        ASSERT_TRUE(panel->isAddingNewCity());
        QLineEdit* edit = combo()->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    UserDefaults& defaults = UserDefaults::standard();
    test::ScopedTimeZone tz{"Europe/London"};
    std::unique_ptr<WorldClockViewController> panel;
};

TEST_F(WorldClockPanelTest, OnlyCatalogueEntriesAreAddedOnceThroughTheComboBox) {
    open();
    auto* add = child<QPushButton>(panel.get(), "worldClockAdd");
    auto* clear = child<QPushButton>(panel.get(), "worldClockClear");
    QComboBox* box = combo();
    // Between add and clear while adding, six pixels apart rather than touching.
    EXPECT_EQ(clear->x(), add->geometry().right() + 7);
    click("worldClockAdd");
    EXPECT_EQ(box->x(), add->geometry().right() + 7);
    EXPECT_EQ(clear->x(), box->geometry().right() + 7);
    // Pressing add again confirms what the combo box holds, which it keeps.
    box->lineEdit()->setText("Tokyo/Asia");
    click("worldClockAdd");
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(box->currentText(), QString("Tokyo/Asia"));

    const int items = box->count();
    // A city alone, or free text, is no entry: nothing added, nothing stored.
    for (const char* typed : {"London", "Gotham/Nowhere"}) {
        typeAndConfirm(typed);
        EXPECT_FALSE(panel->isAddingNewCity());
    }
    EXPECT_EQ(defaults.stringArrayForKey("cities"), QStringList{"Tokyo"});
    EXPECT_EQ(box->count(), items);

    typeAndConfirm("London/Europe");
    typeAndConfirm("New York/America");
    test::StdoutCapture out;
    typeAndConfirm("London/Europe");
    out.restore();
    const QStringList three{"Tokyo", "London", "New York"};
    EXPECT_EQ(defaults.stringArrayForKey("cities"), three);
    EXPECT_EQ(column(0), three);
    EXPECT_TRUE(out.text().split('\n').contains("London"));
    // The city already listed is selected, and stays so across a refresh.
    click("worldClockRefresh");
    const QModelIndexList selected = table()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.first().row(), 1);
}

TEST_F(WorldClockPanelTest, CompletionOffersEntriesAsTheUserTypes) {
    open();
    QApplication::setActiveWindow(panel.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
    click("worldClockAdd");
    QLineEdit* edit = combo()->lineEdit();
    // The line follows the completer only while it has the focus, as it has
    // once the add button has opened the combo box.
    ASSERT_TRUE(test::waitUntil([&] { return edit->hasFocus(); }));
    edit->clear();
    QTest::keyClicks(edit, "Kolk");
    QCompleter* completer = combo()->completer();
    ASSERT_TRUE(test::waitUntil([&] { return completer->popup()->isVisible(); }));
    EXPECT_EQ(completer->completionCount(), 1);
    EXPECT_EQ(completer->currentCompletion(), QString("Kolkata (Asia)"));
    // Typing alone does not fill the line in.
    EXPECT_EQ(edit->text(), QString("Kolk"));

    QTest::keyClick(completer->popup(), Qt::Key_Down);
    EXPECT_EQ(edit->text(), QString("Kolkata (Asia)"));
    test::StdoutCapture out;
    QTest::keyClick(completer->popup(), Qt::Key_Return);
    out.restore();
    EXPECT_EQ(panel->cities(), QStringList{"Kolkata"});
    // One pick is one addition: no second pass that finds the city already listed.
    EXPECT_FALSE(out.text().split('\n').contains("Kolkata"));
}

TEST_F(WorldClockPanelTest, StoredCitiesWithoutAZoneGetARowAndRowsCanBeDeletedOrCleared) {
    defaults.setStringArray("cities", {"Atlantis", "London", "New York", "<b>Lost</b> Town"});
    test::StdoutCapture out;
    open();
    out.restore();
    EXPECT_TRUE(out.text().contains("Couldn't find city <b>Lost</b>_Town in identifiers [\""));
    EXPECT_EQ(column(0), (QStringList{"Atlantis", "London", "New York", "<b>Lost</b> Town"}));
    EXPECT_EQ(column(1)[0] + column(2)[0], QString());

    QTableView* t = table();
    EXPECT_EQ(t->model()->index(2, 2).data(Qt::AccessibleDescriptionRole), "Delete New York");
    // A cross on a row with a zone is the session test's.
    clickDelete(0);
    EXPECT_FALSE(t->selectionModel()->hasSelection()) << "the cross selects nothing";
    t->selectRow(1);
    QTest::keyClick(t, Qt::Key_Delete);
    EXPECT_EQ(defaults.stringArrayForKey("cities"), (QStringList{"London", "<b>Lost</b> Town"}));
    EXPECT_EQ(column(0), (QStringList{"London", "<b>Lost</b> Town"}));

    // Clearing asks first; the answer, not the question, writes.
    click("worldClockAdd");
    for (const char* answer : {"worldClockClearAlertCancel", "worldClockClearAlertConfirm"}) {
        click("worldClockClear");
        auto* ask = panel->findChild<QMessageBox*>("worldClockClearAlert");
        ASSERT_NE(ask, nullptr);
        EXPECT_EQ(defaults.stringArrayForKey("cities")->size(), 2) << "nothing written yet";
        click(answer, ask);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_EQ(defaults.stringArrayForKey("cities"), QStringList{});
    EXPECT_TRUE(child<QLabel>(panel.get(), "worldClockEmpty")->isVisibleTo(panel.get()));
    EXPECT_TRUE(panel->isAddingNewCity()) << "clearing leaves adding mode alone";
}

TEST_F(WorldClockPanelTest, RowsShowOffsetsAndBothTimeFormsWithTheInjectedClock) {
    // Tokyo's day has just begun, Sao Paulo's afternoon too.
    defaults.setStringArray("cities",
                            {"London", "Kolkata", "St Johns", "Sydney", "Tokyo", "Sao Paulo"});
    defaults.setBool("com.Zentho.Do24HourTime", false);
    open();
    EXPECT_EQ(column(1), (QStringList{"+00:00", "+05:30", "-03:30", "+11:00", "+09:00", "-03:00"}));
    EXPECT_EQ(column(2),
              (QStringList{"3:07PM", "8:37PM", "11:37AM", "2:07AM", "12:07AM", "12:07PM"}));

    // The preference is read again each time the panel is shown.
    defaults.setBool("com.Zentho.Do24HourTime", true);
    QSignalSpy resets(table()->model(), &QAbstractItemModel::modelReset);
    panel->viewDidAppear();
    EXPECT_EQ(resets.count(), 0) << "showing rebuilds no rows";
    EXPECT_EQ(column(2), (QStringList{"15:07", "20:37", "11:37", "02:07", "00:07", "12:07"}));

    // In July London and Sydney have both changed their clocks.
    Clock::setNowForTesting([] { return utc(2024, 7, 15, 15, 7, 42).toLocalTime(); });
    click("worldClockRefresh");
    EXPECT_EQ(column(1), (QStringList{"+00:00", "+04:30", "-03:30", "+09:00", "+08:00", "-04:00"}));
    EXPECT_EQ(column(2)[0], QString("16:07"));
}

TEST_F(WorldClockPanelTest, TimesFollowTheMinuteOnlyWhileShown) {
    defaults.setStringArray("cities", {"London"});
    defaults.setBool("com.Zentho.Do24HourTime", true);
    // A clock that runs from 2 s before a minute ends.
    QElapsedTimer running;
    running.start();
    const QDateTime start = utc(2024, 1, 15, 15, 7, 58);
    Clock::setNowForTesting([=] { return start.addMSecs(running.elapsed()).toLocalTime(); });
    open();  // the first time shown is the rows test's
    EXPECT_TRUE(test::waitUntil([&] { return column(2)[0] == "15:08"; }, 20000));

    auto* minute = panel->findChild<QTimer*>("worldClockMinuteTimer");
    ASSERT_NE(minute, nullptr);
    panel->hide();
    EXPECT_FALSE(minute->isActive());
    panel->show();
    EXPECT_TRUE(minute->isActive());
}

}  // namespace
}  // namespace pendra
