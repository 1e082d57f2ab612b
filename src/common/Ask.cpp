#include "common/Ask.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace pendra {

void useDialogButtons(QWidget* dialog) {
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
}

QMessageBox* askBefore(QWidget* parent, const QString& name, const QString& question,
                       const QString& action, std::function<void()> confirmed) {
    auto* box = new QMessageBox(parent->window());
    box->setObjectName(name);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("Pendra"));
    box->setIcon(QMessageBox::Warning);
    box->setTextFormat(Qt::PlainText);
    box->setText(question);
    box->setInformativeText(QCoreApplication::translate("Ask", "This cannot be undone."));
    QPushButton* go = box->addButton(action, QMessageBox::DestructiveRole);
    QPushButton* cancel =
        box->addButton(QCoreApplication::translate("Ask", "Cancel"), QMessageBox::RejectRole);
    go->setObjectName(name + QStringLiteral("Confirm"));
    cancel->setObjectName(name + QStringLiteral("Cancel"));
    // Return must not wipe anything.
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    useDialogButtons(box);
    box->setWindowModality(Qt::WindowModal);
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, go, confirmed = std::move(confirmed)](int) {
                         if (box->clickedButton() == go) {
                             confirmed();
                         }
                     });
    box->open();
    return box;
}

}  // namespace pendra
