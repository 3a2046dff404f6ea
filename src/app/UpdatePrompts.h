#pragma once

namespace flintly {

class AlertPresenter;
class Updater;
class UrlOpener;

// What the user sees of update checks: a newer version offers its download link; a
// check the user asked for also says "up to date" or why it failed.
void connectUpdatePrompts(Updater& updater, AlertPresenter& alerts, UrlOpener& opener);

}  // namespace flintly
