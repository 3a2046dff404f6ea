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
    const int escape = alert.escapeButton >= 0 && alert.escapeButton < labels.size() ? alert.escapeButton : 0;
    // Roles only order the buttons; which one Escape and the window's close button
    // press is set explicitly. (Giving every button but the first the reject role made
    // Escape press "Use Anyway" in the recorder's alert.)
    QList<QAbstractButton*> buttons;
    for (qsizetype i = 0; i < labels.size(); ++i)
        buttons.append(box.addButton(labels[i], i == escape ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    box.setDefaultButton(static_cast<QPushButton*>(buttons.first()));
    box.setEscapeButton(buttons[escape]);
    box.exec();
    const int index = static_cast<int>(buttons.indexOf(box.clickedButton()));
    return index < 0 ? escape : index;
}

}  // namespace flintly
