#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

namespace pendra {

// For the tests of the real binary: with PENDRA_TEST_INTROSPECT=1 in the
// environment, the program prints the global geometry of every visible
// control whenever what is on screen changes, so an outside driver can click
// them. Off otherwise; it costs nothing then.
class TestIntrospection : public QObject {
    Q_OBJECT
public:
    static bool enabledByEnvironment();
    explicit TestIntrospection(QObject* parent = nullptr);

    // The lines describing what is on screen now.
    static QStringList describeVisibleControls();
    // Commands on stdin are read from now on: once the panels are up, so that
    // a command for one of their controls finds it.
    void acceptCommands();

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    void dump();
    void readCommands();
    void runCommand(const QString& line);

    QTimer* pending_;
    QString last_;
    QSocketNotifier* input_ = nullptr;
    QByteArray pendingInput_;
};

}  // namespace pendra
