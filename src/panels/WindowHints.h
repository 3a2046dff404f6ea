#pragma once

class QWidget;

namespace flintly {

// Asks the window manager to show the window on every workspace (and over full-screen
// windows where it allows). Does nothing where the platform has no such notion.
void showOnAllWorkspaces(QWidget* window);

}  // namespace flintly
