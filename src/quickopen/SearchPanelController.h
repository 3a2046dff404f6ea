#pragma once

#include "document/MarkdownModel.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

namespace flintly {

namespace search {
class SearchEngine;
}
class FileChooser;
class PanelAnchor;
class QueryTimer;
class RecentFileManager;
class QuickOpenModel;
class QuickOpenView;
class SearchPanelWindow;
class SettingsStore;
class UsageTracker;
class Workspace;

// The quick-open search panel, attached to the window it was summoned from (normally
// the note panel). Shared by the toolbar button, Ctrl+P and the menu command, so all
// see one shown/hidden state. While shown, Escape in any Flintly window hides it,
// Ctrl+1 … Ctrl+9 in it open the pinned folders, and it goes away when Flintly loses
// the activation or the current note changes.
class SearchPanelController : public QObject {
    Q_OBJECT
public:
    // Fades the window's opacity to `to` over `ms`, then calls `done`.
    using Fade = std::function<void(QWidget* window, qreal to, int ms, std::function<void()> done)>;

    struct Options {
        FileChooser* chooser = nullptr;                               // null: the desktop's folder chooser
        UsageTracker* tracker = nullptr;                              // null: the process-wide tracker
        Fade fade;                                                    // null: the window's opacity, animated
        std::function<std::unique_ptr<QueryTimer>()> makeQueryTimer;  // null: 200 ms
        search::SearchEngine* search = nullptr;                       // null: the shared content search
        // Null: the shared list on the standard settings store, else one on the store given.
        RecentFileManager* recents = nullptr;
    };
    // The notes folder's text is indexed this long after the quick-open state is made.
    static constexpr int kIndexAfterStartMs = 3000;

    static constexpr int kTopPadding = 16;
    static constexpr int kFadeInMs = 100;
    static constexpr int kFadeOutMs = 150;

    SearchPanelController();
    explicit SearchPanelController(Options options);
    ~SearchPanelController() override;

    static SearchPanelController& shared();
    // Takes effect at the next configure.
    void setOptions(Options options);

    // Installs the quick-open list for `model`, browsing with the given settings
    // (the standard store when none is given).
    void configure(MarkdownModel* model);
    void configure(MarkdownModel* model, SettingsStore& settings);

    MarkdownModel* model() const { return model_; }
    QuickOpenModel* browser() const { return browser_.get(); }
    // The pinned folders, the sort order and "showDefaultFolder"; null before configure.
    Workspace* workspace() const;
    QuickOpenView* view() const { return view_; }
    SearchPanelWindow* window() const { return window_; }
    QWidget* anchor() const;

    // Whether the panel is meant to be on screen (set before a fade has run).
    bool isShown() const { return isShown_; }
    void setShown(bool shown) { isShown_ = shown; }

    void show(QWidget* attachedTo);
    void hide();
    // Hides a shown panel; otherwise shows it attached to `anchor`'s window, or does
    // nothing without one. The toolbar button and "Quick Open…" (Ctrl+P) do this.
    void toggle(QWidget* anchor);

    // The key and activation watchers installed while shown.
    int monitorCount() const { return static_cast<int>(monitors_.size()); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void dismiss();
    void installMonitors();
    void removeMonitors();
    void fade(qreal to, int ms, std::function<void()> done);

    Options options_;
    std::unique_ptr<FileChooser> ownChooser_;
    std::unique_ptr<RecentFileManager> ownRecents_;
    QPointer<MarkdownModel> model_;
    SearchPanelWindow* window_ = nullptr;  // owned; kept for the whole run
    std::unique_ptr<QuickOpenModel> browser_;
    QuickOpenView* view_ = nullptr;  // owned by the window
    QList<QMetaObject::Connection> modelConnections_;
    quint64 subscription_ = 0;
    bool isShown_ = false;
    std::unique_ptr<PanelAnchor> anchor_;
    QList<std::function<void()>> monitors_;  // each removes one watcher
    quint64 fadeGeneration_ = 0;
};

}  // namespace flintly
