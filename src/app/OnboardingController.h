#pragma once

#include "app/OnboardingWindow.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <memory>
#include <optional>

namespace flintly {

namespace desktop {
class AutostartEntry;
}

class MarkdownModel;
class SettingsStore;

// Runs the first-run flow: shows the window, asks for the notes folder (and offers to
// open Flintly at login), records that onboarding is done and posts
// "flintlyDidPickFolder" so the app creates the note panel.
class OnboardingController : public QObject {
    Q_OBJECT
public:
    // `autostart`: the login entry the folder card offers; null: the user's.
    OnboardingController(SettingsStore& settings, MarkdownModel& model, QString currentVersion,
                         desktop::AutostartEntry* autostart = nullptr, QObject* parent = nullptr);
    ~OnboardingController() override;

    // Does nothing once onboarding is done, unless the folder has to be asked for again
    // (onboarded, but no notes folder stored): then it opens at the folder card.
    void show();
    void pickFolder();
    void folderPicked(const std::optional<QUrl>& folder);
    void finish();

    OnboardingWindow* window() const { return window_; }

signals:
    // The user closed the window (the window manager's close button, Alt+F4) before
    // choosing a folder. Nothing would bring it back, so the app must act on it.
    void closedByUser();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SettingsStore& settings_;
    QPointer<MarkdownModel> model_;
    const QString currentVersion_;
    QPointer<OnboardingWindow> window_;
    std::unique_ptr<desktop::AutostartEntry> ownAutostart_;
    desktop::AutostartEntry* autostart_ = nullptr;
};

}  // namespace flintly
