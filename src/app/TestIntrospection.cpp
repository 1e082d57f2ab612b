#include "app/TestIntrospection.h"

#include <time.h>
#include <unistd.h>
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>

#include "common/NamedRects.h"
#include "platform/FileWrites.h"
#include "platform/Log.h"

namespace pendra {

namespace {
QString oneLine(QString s) {
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

QString geometryOf(const QWidget* w, QRect local) {
    // In the screen's own pixels, which is what input tools click by, also
    // when Qt scales (QT_SCALE_FACTOR).
    const QPoint topLeft = w->mapToGlobal(local.topLeft());
    const qreal ratio = w->devicePixelRatioF();
    return QStringLiteral("%1 %2 %3 %4")
        .arg(qRound(topLeft.x() * ratio))
        .arg(qRound(topLeft.y() * ratio))
        .arg(qRound(local.width() * ratio))
        .arg(qRound(local.height() * ratio));
}
}  // namespace

bool TestIntrospection::enabledByEnvironment() {
    return qEnvironmentVariable("PENDRA_TEST_INTROSPECT") == QLatin1String("1");
}

TestIntrospection::TestIntrospection(QObject* parent)
    : QObject(parent), pending_(new QTimer(this)) {
    pending_->setSingleShot(true);
    pending_->setInterval(100);
    connect(pending_, &QTimer::timeout, this, &TestIntrospection::dump);
    qApp->installEventFilter(this);
    // Opt-in: tools that drive the program through its own stdin keep it.
    if (qEnvironmentVariable("PENDRA_TEST_COMMANDS") == QLatin1String("1")) {
        input_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        input_->setEnabled(false);
        connect(input_, &QSocketNotifier::activated, this, &TestIntrospection::readCommands);
    }
}

void TestIntrospection::acceptCommands() {
    if (input_ != nullptr) {
        input_->setEnabled(true);
    }
}

void TestIntrospection::readCommands() {
    char buffer[4096];
    const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        // End of input (or /dev/null): nothing more will come.
        input_->setEnabled(false);
        return;
    }
    pendingInput_.append(buffer, n);
    qsizetype end = 0;
    while ((end = pendingInput_.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(pendingInput_.left(end)).trimmed();
        pendingInput_.remove(0, end + 1);
        runCommand(line);
    }
}

void TestIntrospection::runCommand(const QString& line) {
    const QString verb = line.section(QLatin1Char(' '), 0, 0);
    const QString name = line.section(QLatin1Char(' '), 1);
    if (verb == QLatin1String("click")) {
        auto clicked = [&](QWidget* w) {
            if (auto* b = qobject_cast<QAbstractButton*>(w); b && w->objectName() == name) {
                b->click();
                return true;
            }
            // A painted part (a list row's button) clicks through its list.
            auto* source = dynamic_cast<NamedRectSource*>(w);
            return source != nullptr && source->clickNamed(name);
        };
        const QWidgetList widgets = QApplication::allWidgets();
        if (std::any_of(widgets.begin(), widgets.end(), clicked)) {
            // On CLOCK_MONOTONIC, for a benchmark's reckoning.
            timespec ts{};
            clock_gettime(CLOCK_MONOTONIC, &ts);
            // Answered once what the click saved is on disk, so that a
            // driver can tell what a kill may have cut short.
            waitForFileWrites();
            printLine(QStringLiteral("clicked ") + name);
            printLine(QStringLiteral("clicked-at %1.%2")
                          .arg(qint64(ts.tv_sec))
                          .arg(qint64(ts.tv_nsec), 9, 10, QLatin1Char('0')));
            return;
        }
        printLine(QStringLiteral("no button ") + name);
        return;
    }
    // A benchmark measures idle cost without the watching itself.
    if (line == QLatin1String("introspect off")) {
        qApp->removeEventFilter(this);
        pending_->stop();
        printLine(line);
        return;
    }
    if (line == QLatin1String("introspect on")) {
        qApp->removeEventFilter(this);
        qApp->installEventFilter(this);
        printLine(line);
        dump();
        return;
    }
    printLine(QStringLiteral("unknown command ") + line);
}

bool TestIntrospection::eventFilter(QObject* object, QEvent* event) {
    switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Paint:
            if (object->isWidgetType() && !pending_->isActive()) {
                pending_->start();
            }
            break;
        default:
            break;
    }
    return false;
}

QStringList TestIntrospection::describeVisibleControls() {
    QStringList lines;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible()) {
            continue;
        }
        lines << QStringLiteral("window: %1 %2 %3")
                     .arg(geometryOf(top, top->rect()), top->objectName(),
                          oneLine(top->windowTitle()));
        const auto children = top->findChildren<QWidget*>();
        for (QWidget* w : children) {
            if (!w->isVisible() || w->window() != top) {
                continue;
            }
            // Painted parts (a list's rows) are listed as the widgets they stand for.
            if (const auto* source = dynamic_cast<const NamedRectSource*>(w)) {
                for (const NamedRect& part : source->namedRects()) {
                    lines << QStringLiteral("widget: %1 %2 %3 %4")
                                 .arg(geometryOf(w, part.rect), part.kind, part.name,
                                      oneLine(part.text));
                }
            }
            QString kind;
            QString text;
            if (auto* b = qobject_cast<QAbstractButton*>(w)) {
                kind = QStringLiteral("button");
                text = b->text();
                if (b->isCheckable()) {
                    kind = b->isChecked() ? QStringLiteral("checked") : QStringLiteral("unchecked");
                }
                if (!b->isEnabled()) {
                    kind += QStringLiteral("-disabled");
                }
                // A caption wider than the room the style leaves it (long
                // translations): tests reject it as they do a clipped label.
                const bool check = qobject_cast<QCheckBox*>(b) != nullptr;
                if (!text.isEmpty() && (check || qobject_cast<QPushButton*>(b))) {
                    QStyleOptionButton opt;
                    opt.initFrom(b);
                    opt.text = text;
                    const QRect room = b->style()->subElementRect(
                        check ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents, &opt,
                        b);
                    if (b->fontMetrics().horizontalAdvance(text) > room.width()) {
                        kind += QStringLiteral("-clipped");
                    }
                }
            } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
                kind = QStringLiteral("edit");
                text = e->text();
            } else if (auto* c = qobject_cast<QComboBox*>(w)) {
                kind = QStringLiteral("combo");
                text = c->currentText();
            } else if (auto* s = qobject_cast<QAbstractSpinBox*>(w)) {
                kind = QStringLiteral("spin");
                text = s->text();
            } else if (auto* l = qobject_cast<QLabel*>(w)) {
                kind = QStringLiteral("label");
                text = l->text();
                // Text wider than the part of the label that can be seen:
                // tests reject it wherever a label is on screen.
                const QRect seen = l->contentsRect() & l->visibleRegion().boundingRect();
                if (!l->wordWrap() && !text.isEmpty() &&
                    (l->textFormat() == Qt::PlainText ||
                     (l->textFormat() == Qt::AutoText && !Qt::mightBeRichText(text))) &&
                    !text.contains(QLatin1Char('\n')) &&
                    // A row scrolled partly out of its list is not clipped text.
                    seen.height() >= l->fontMetrics().height() &&
                    l->fontMetrics().horizontalAdvance(text) > seen.width()) {
                    kind = QStringLiteral("label-clipped");
                }
            } else if (auto* t = qobject_cast<QTabBar*>(w)) {
                for (int i = 0; i < t->count(); ++i) {
                    lines << QStringLiteral("widget: %1 tab%2 tab-%3 %4")
                                 .arg(geometryOf(t, t->tabRect(i)), i == t->currentIndex()
                                                                        ? QStringLiteral("-current")
                                                                        : QString())
                                 .arg(i)
                                 .arg(oneLine(t->tabText(i)));
                }
                continue;
            } else {
                continue;
            }
            lines << QStringLiteral("widget: %1 %2 %3 %4")
                         .arg(geometryOf(w, w->rect()), kind,
                              w->objectName().isEmpty() ? QStringLiteral("-") : w->objectName(),
                              oneLine(text));
        }
    }
    return lines;
}

void TestIntrospection::dump() {
    const QStringList lines = describeVisibleControls();
    const QString all = lines.join(QLatin1Char('\n'));
    if (all == last_) {
        return;
    }
    last_ = all;
    printLine(QStringLiteral("introspect-begin"));
    for (const QString& line : lines) {
        printLine(line);
    }
    printLine(QStringLiteral("introspect-end"));
}

}  // namespace pendra
