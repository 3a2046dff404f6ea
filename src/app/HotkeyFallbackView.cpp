#include "app/HotkeyFallbackView.h"

#include "desktop/CustomKeybindingStore.h"
#include "desktop/GnomeKeybinding.h"
#include "desktop/LaunchCommand.h"
#include "platform/NotificationCenter.h"
#include "shortcuts/GlobalShortcuts.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace flintly {

namespace {
const QString kShowNote = QStringLiteral("showNote");
}

HotkeyFallbackView::HotkeyFallbackView(Dependencies deps, QWidget* parent) : QWidget(parent), deps_(std::move(deps))
{
    if (!deps_.shortcuts)
        deps_.shortcuts = &shortcuts::GlobalShortcuts::shared();
    if (deps_.toggleCommand.isEmpty())
        deps_.toggleCommand = desktop::LaunchCommand::forThisExecutable({QStringLiteral("--toggle")});
    onGnome_ = desktop::isGnome(deps_.currentDesktop.value_or(qEnvironmentVariable("XDG_CURRENT_DESKTOP")));
    if (onGnome_) {
        if (!deps_.gnomeStore) {
            ownStore_ = desktop::CustomKeybindingStore::gsettings();
            deps_.gnomeStore = ownStore_.get();
        }
        gnome_ = std::make_unique<desktop::GnomeKeybinding>(*deps_.gnomeStore, deps_.toggleCommand);
    }

    message_ = new QLabel;
    message_->setWordWrap(true);
    message_->setForegroundRole(QPalette::PlaceholderText);
    command_ = new QLineEdit(desktop::LaunchCommand::forPeople(deps_.toggleCommand));
    command_->setReadOnly(true);
    command_->setAccessibleName(QStringLiteral("Command that shows or hides the note"));
    copy_ = new QPushButton(QStringLiteral("Copy"));
    connect(copy_, &QPushButton::clicked, this, [this] { QGuiApplication::clipboard()->setText(command_->text()); });
    gnomeButton_ = new QPushButton;
    gnomeButton_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(gnomeButton_, &QPushButton::clicked, this, &HotkeyFallbackView::addOrRemove);

    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(0, 0, 0, 0);
    controls->addWidget(command_, 1);
    controls->addWidget(copy_);
    controls->addWidget(gnomeButton_, 0, Qt::AlignRight);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 4, 0, 4);
    column->addWidget(message_);
    column->addLayout(controls);

    connect(deps_.shortcuts, &shortcuts::GlobalShortcuts::carrierChanged, this, &HotkeyFallbackView::refresh);
    NotificationCenter::defaultCenter().observe(shortcuts::kShortcutByNameDidChange, this,
                                                [this](const Notification&) { shortcutChanged(); });
    refresh();
}

HotkeyFallbackView::~HotkeyFallbackView() = default;

void HotkeyFallbackView::refresh()
{
    using Kind = shortcuts::HotkeyCarrier::Kind;
    const Kind kind = deps_.shortcuts->carrier().kind;
    const bool noHotkey = kind == Kind::unavailable || kind == Kind::declined;
    const bool gnomeReady = gnome_ && gnome_->isAvailable();
    const auto found = gnomeReady ? gnome_->find() : std::nullopt;
    gnomeHasOurs_ = found.has_value();

    const bool needed = noHotkey || gnomeHasOurs_;
    QString text;
    if (gnomeHasOurs_) {
        const auto stored = deps_.shortcuts->getShortcut(shortcuts::Name(kShowNote));
        const QString key = stored && desktop::gnomeAccelerator(*stored) == found->entry.binding ? stored->nativeText()
                                                                                                 : found->entry.binding;
        text = noHotkey ? QStringLiteral("In GNOME Keyboard Shortcuts as %1.").arg(key)
                        : QStringLiteral("Also in GNOME Keyboard Shortcuts as %1, so the key may act twice.").arg(key);
        gnomeButton_->setText(QStringLiteral("Remove from GNOME Keyboard Shortcuts"));
    } else if (gnomeReady) {
        text = QStringLiteral("GNOME can run Flintly on this shortcut from its own keyboard settings.");
        gnomeButton_->setText(QStringLiteral("Add to GNOME Keyboard Shortcuts"));
    } else if (onGnome_) {
        text = QStringLiteral("GNOME's keyboard settings (gnome-settings-daemon) are not installed here. Bind this "
                              "command to a key in your desktop's keyboard settings:");
    } else {
        text = QStringLiteral("Bind this command to a key in your desktop's keyboard settings:");
    }
    if (!failure_.isEmpty())
        text += u' ' + failure_;
    message_->setText(text);
    gnomeButton_->setVisible(gnomeReady);
    command_->setVisible(!gnomeReady);
    copy_->setVisible(!gnomeReady);

    if (needed != needed_) {
        needed_ = needed;
        emit neededChanged(needed);
    }
}

void HotkeyFallbackView::addOrRemove()
{
    failure_.clear();
    if (gnomeHasOurs_) {
        if (!gnome_->remove())
            failure_ = QStringLiteral("GNOME's settings did not let it go.");
    } else {
        const auto stored = deps_.shortcuts->getShortcut(shortcuts::Name(kShowNote));
        const auto accelerator = stored ? desktop::gnomeAccelerator(*stored) : std::nullopt;
        if (!stored)
            failure_ = QStringLiteral("Record a shortcut first.");
        else if (!accelerator)
            failure_ = QStringLiteral("GNOME cannot bind %1; record another shortcut.").arg(stored->nativeText());
        else if (!gnome_->add(*accelerator))
            failure_ = QStringLiteral("GNOME's settings did not take it.");
    }
    refresh();
}

void HotkeyFallbackView::shortcutChanged()
{
    // A new shortcut from the recorder moves GNOME's keybinding with it; none at all
    // takes it away.
    if (gnome_ && gnome_->isAvailable() && gnome_->find()) {
        const auto stored = deps_.shortcuts->getShortcut(shortcuts::Name(kShowNote));
        const auto accelerator = stored ? desktop::gnomeAccelerator(*stored) : std::nullopt;
        if (accelerator)
            gnome_->add(*accelerator);
        else
            gnome_->remove();
    }
    refresh();
}

}  // namespace flintly
