#include "platform_widgets/QtAlertPresenter.h"

#include <QMessageBox>
#include <QPushButton>

namespace flintly {

int QtAlertPresenter::present(const Alert& alert)
{
    QMessageBox box;
    switch (alert.style) {
    case Alert::Style::Informational: box.setIcon(QMessageBox::Information); break;
    case Alert::Style::Warning: box.setIcon(QMessageBox::Warning); break;
    case Alert::Style::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    box.setText(alert.title);
    box.setInformativeText(alert.message);
    const QStringList labels = alert.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : alert.buttons;
    QList<QAbstractButton*> buttons;
    for (const QString& label : labels)
        buttons.append(box.addButton(label, buttons.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    box.setDefaultButton(static_cast<QPushButton*>(buttons.first()));
    box.exec();
    const int index = static_cast<int>(buttons.indexOf(box.clickedButton()));
    return index < 0 ? 0 : index;
}

}  // namespace flintly
