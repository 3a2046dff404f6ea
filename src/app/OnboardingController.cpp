#include "app/OnboardingController.h"

#include "app/OnboardingWindow.h"
#include "desktop/AutostartEntry.h"
#include "document/MarkdownModel.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsStore.h"

#include <QCheckBox>
#include <QEvent>

namespace flintly {

OnboardingController::OnboardingController(SettingsStore& settings, MarkdownModel& model, QString currentVersion,
                                           desktop::AutostartEntry* autostart, QObject* parent)
    : QObject(parent), settings_(settings), model_(&model), currentVersion_(std::move(currentVersion)),
      autostart_(autostart)
{
    if (!autostart_) {
        ownAutostart_ = std::make_unique<desktop::AutostartEntry>(desktop::AutostartEntry::defaultCommand());
        autostart_ = ownAutostart_.get();
    }
}

OnboardingController::~OnboardingController()
{
    // The window's own teardown must not reach our filter: it would see a half-destroyed
    // OnboardingWindow.
    if (window_)
        window_->removeEventFilter(this);
    delete window_;
}

void OnboardingController::show()
{
    const bool onboarded = settings_.get(settingskeys::hasOnboarded);
    const bool folderStored = settings_.fileUrlValue(settingskeys::saveFolder).has_value();
    if (onboarded && folderStored)
        return;
    QPointer<OnboardingController> self(this);
    window_ = new OnboardingWindow([self] {
        if (self)
            self->pickFolder();
    });
    window_->installEventFilter(this);
    // The welcome was seen already; only the folder is missing.
    if (onboarded)
        window_->setStep(OnboardingWindow::Step::chooseFolder);
    window_->openAtLoginBox()->setChecked(autostart_->isEnabled());
    window_->show();
    window_->raise();
    window_->activateWindow();
    window_->fade(0.0, 1.0);
}

void OnboardingController::pickFolder()
{
    if (!window_ || !model_)
        return;
    window_->hide();
    QPointer<OnboardingController> self(this);
    model_->chooseSaveFolder([self](std::optional<QUrl> folder) {
        if (self)
            self->folderPicked(folder);
    });
}

void OnboardingController::folderPicked(const std::optional<QUrl>& folder)
{
    if (!folder) {
        if (window_) {
            window_->show();
            window_->raise();
            window_->activateWindow();
            window_->fade(0.0, 1.0);
        }
        return;
    }
    if (window_ && window_->openAtLoginBox()->isChecked() != autostart_->isEnabled())
        autostart_->setEnabled(window_->openAtLoginBox()->isChecked());
    settings_.setFileUrl(settingskeys::saveFolder, *folder);
    if (model_)
        model_->setSaveFolder(*folder);
    NotificationCenter::defaultCenter().post(QStringLiteral("flintlyDidPickFolder"));
    finish();
}

bool OnboardingController::eventFilter(QObject* watched, QEvent* event)
{
    // Only the window system's close request (its close button, Alt+F4) is the user's;
    // our own close() when onboarding ends, and the one Qt sends every window when the
    // app quits, are not.
    if (event->type() == QEvent::Close && event->spontaneous() && watched == window_)
        emit closedByUser();
    return false;
}

void OnboardingController::finish()
{
    settings_.setValue(settingskeys::hasOnboarded, true);
    settings_.setValue(settingskeys::lastSeenVersion, currentVersion_);
    if (!window_)
        return;
    QPointer<OnboardingWindow> window = window_;
    window->fade(window->windowOpacity(), 0.0);
    runAfter(150, this, [this, window] {
        if (window) {
            window->close();
            window->deleteLater();
        }
        window_ = nullptr;
    });
}

}  // namespace flintly
