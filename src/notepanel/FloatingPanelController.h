#pragma once

#include "document/MarkdownModel.h"
#include "platform/UserActivation.h"

#include <QObject>

#include <QPointer>

#include <functional>
#include <memory>

class QWidget;

namespace flintly {

class FloatingPanelWindow;
class MarkdownModel;
class SettingsStore;

// Owns the note panel window and answers its toolbar: the note's name in the middle,
// the search and new-note buttons on the right. Created once by the app and kept.
class FloatingPanelController : public QObject {
    Q_OBJECT
public:
    // Builds the window's content (the themed note view) for the given parent.
    using ContentFactory = std::function<QWidget*(SettingsStore& settings, MarkdownModel* model, QWidget* parent)>;

    static std::unique_ptr<FloatingPanelController> create(SettingsStore& settings, MarkdownModel* model,
                                                           const ContentFactory& makeContent);
    ~FloatingPanelController() override;

    FloatingPanelWindow* window() const { return window_; }
    MarkdownModel* model() const { return model_; }

    // The toolbar item for an identifier, or nothing for unknown identifiers (and for
    // the title when the model is gone).
    QWidget* makeItem(const QString& identifier, QWidget* parent);

    void newDocument();
    void openDocument();
    void toggleSearchPanel();

    // Shows the panel and asks for the keyboard focus on behalf of the user action that
    // asked for it (a hotkey press), as far as the desktop told about it.
    void showWindow(const UserActivation& activation = {});
    // Hides the panel. A launch that asked for that is over: its token is let go.
    void close(const UserActivation& activation = {});
    bool isVisible() const;

private:
    FloatingPanelController() = default;

    QPointer<MarkdownModel> model_;
    FloatingPanelWindow* window_ = nullptr;  // owned; deleted with the controller
};

}  // namespace flintly
