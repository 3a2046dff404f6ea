#include "app/HotkeyStatus.h"

#include "shortcuts/GlobalShortcuts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace flintly {

using shortcuts::HotkeyCarrier;

HotkeyStatus::HotkeyStatus(shortcuts::GlobalShortcuts& shortcuts, QWidget* parent)
    : QWidget(parent), shortcuts_(shortcuts)
{
    text_ = new QLabel;
    text_->setForegroundRole(QPalette::PlaceholderText);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    configure_ = new QPushButton(QStringLiteral("Change in System Settings…"));
    connect(configure_, &QPushButton::clicked, this, [this] { shortcuts_.configureInDesktop(); });
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch(1);
    layout->addWidget(text_);
    layout->addWidget(configure_);
    connect(&shortcuts_, &shortcuts::GlobalShortcuts::carrierChanged, this, &HotkeyStatus::refresh);
    refresh();
}

QString HotkeyStatus::statusText(const HotkeyCarrier& carrier)
{
    switch (carrier.kind) {
    case HotkeyCarrier::Kind::portal:
        return carrier.trigger.isEmpty() ? QString() : QStringLiteral("Set by the desktop: ") + carrier.trigger;
    case HotkeyCarrier::Kind::pending: return QStringLiteral("Asking the desktop…");
    case HotkeyCarrier::Kind::unavailable: return QStringLiteral("Not available on this desktop");
    case HotkeyCarrier::Kind::declined: return QStringLiteral("Declined in the desktop's dialog");
    case HotkeyCarrier::Kind::x11Grab: break;
    }
    return {};
}

void HotkeyStatus::refresh()
{
    const HotkeyCarrier carrier = shortcuts_.carrier();
    const QString status = statusText(carrier);
    text_->setText(status);
    text_->setVisible(!status.isEmpty());
    configure_->setVisible(carrier.canConfigure);
    setVisible(!status.isEmpty() || carrier.canConfigure);
}

}  // namespace flintly
