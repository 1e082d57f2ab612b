// The least a Qt Widgets tray program does: an icon and a popup on click.
// Pendra's start-up and memory are read against this.
#include <QApplication>
#include <QLabel>
#include <QStyle>
#include <QSystemTrayIcon>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel popup(QStringLiteral("baseline"));
    popup.setObjectName(QStringLiteral("popover"));
    popup.setWindowTitle(QStringLiteral("TrayBaseline"));
    popup.setWindowFlags(Qt::Popup);
    popup.resize(300, 200);
    QSystemTrayIcon icon(app.style()->standardIcon(QStyle::SP_ComputerIcon));
    QObject::connect(&icon, &QSystemTrayIcon::activated, &popup, [&popup, &icon] {
        popup.move(icon.geometry().bottomLeft());
        popup.show();
    });
    icon.show();
    return app.exec();
}
