#pragma once

#include "templates/DelayedTask.h"

#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <memory>
#include <vector>

class QPropertyAnimation;
class QWidget;

namespace flintly {

class FileChooser;
class MarkdownModel;
class SettingsStore;
class TimeSource;
class UrlOpener;
class TemplatePanelView;
class TemplatePanelViewModel;
class TemplatePanelWindow;

// The template panel: its window, its view model, and showing it attached to another
// window (the note panel) and hiding it again. One lives for the whole run; the
// "Insert Template…" command toggles it.
class TemplatePanelController : public QObject {
    Q_OBJECT
public:
    struct Dependencies {
        MarkdownModel* model = nullptr;      // the note templates go into
        SettingsStore* settings = nullptr;   // the pinned template folders
        FileChooser* fileChooser = nullptr;  // null: choosing a folder answers "cancel"
        ScheduleTask schedule;               // null: Qt timers (the search debounce)
        UrlOpener* urlOpener = nullptr;      // null: the desktop's file manager
        TimeSource* time = nullptr;          // null: the system clock
        QString defaultFolder{};             // empty: the default templates folder
    };

    static constexpr int kFadeInMs = 100;
    static constexpr int kFadeOutMs = 150;
    // The content's top edge lies this far below the anchor's, just under its toolbar.
    static constexpr int kBelowAnchorTop = 40;

    // The command that summons the panel, for menus and shortcuts.
    static QString insertTemplateTitle() { return QStringLiteral("Insert Template…"); }
    static QKeySequence insertTemplateShortcut() { return QKeySequence(Qt::CTRL | Qt::Key_T); }

    // The process-wide panel, made on first use from what configureShared() was given;
    // what is missing comes from the shared note, the standard settings and the real
    // folder chooser.
    static TemplatePanelController& shared();
    static void configureShared(Dependencies deps);

    explicit TemplatePanelController(Dependencies deps, QObject* parent = nullptr);
    ~TemplatePanelController() override;

    TemplatePanelViewModel& vm() const { return *vm_; }
    TemplatePanelWindow* window() const { return window_.get(); }
    TemplatePanelView* view() const { return view_; }
    QWidget* anchorWindow() const { return anchorWindow_.data(); }
    int eventMonitorCount() const { return static_cast<int>(eventMonitors_.size()); }
    // Whether the panel is meant to be on screen (cleared as a hide starts its fade).
    bool isShown() const { return isShown_; }

    // "Insert Template…": hides a shown panel, shows a hidden one on `anchor`.
    void toggle(QWidget* anchor);
    // Attaches the panel to `anchor` (or centres it on the screen without one), lists
    // the folder afresh, focuses the search field and fades in. Escape, or the app
    // losing the keyboard to another program, hides it again.
    void show(QWidget* anchor);
    // Fades out, then drops the monitors and detaches from the anchor (which is kept).
    void hide();

    // Where the content goes: centred on the anchor, kBelowAnchorTop below its top,
    // moved back onto the usable screen area when it would leave it.
    static QPoint contentOrigin(const QRect& anchorFrame, const QSize& content, const QRect& available);

private:
    void place();
    void installMonitors();
    void finishHide();

    std::unique_ptr<TemplatePanelViewModel> vm_;
    std::unique_ptr<TemplatePanelWindow> window_;  // destroyed before the view model it shows
    TemplatePanelView* view_ = nullptr;            // owned by the window
    QPropertyAnimation* fade_ = nullptr;           // child
    std::unique_ptr<UrlOpener> ownUrlOpener_;      // when none was given
    QPointer<QWidget> anchorWindow_;               // the anchor may close for good first
    // Key, activation and anchor watchers, installed while shown; dropping one removes it.
    std::vector<std::unique_ptr<QObject>> eventMonitors_;
    bool isShown_ = false;
    bool hiding_ = false;
};

}  // namespace flintly
