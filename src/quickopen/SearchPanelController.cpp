#include "quickopen/SearchPanelController.h"

#include "browser/QuickOpenModel.h"
#include "browser/RecentFileManager.h"
#include "browser/Workspace.h"
#include "document/MarkdownModel.h"
#include "platform/MainThread.h"
#include "platform/SettingsStore.h"
#include "platform_widgets/QtFileChooser.h"
#include "quickopen/PanelAnchor.h"
#include "quickopen/PanelKeyMonitor.h"
#include "quickopen/QuickOpenView.h"
#include "quickopen/SearchPanelWindow.h"
#include "search/SearchEngine.h"

#include <QApplication>
#include <QPropertyAnimation>

namespace flintly {

SearchPanelController::SearchPanelController() : SearchPanelController(Options{}) {}

SearchPanelController::SearchPanelController(Options options) : options_(std::move(options))
{
    window_ = new SearchPanelWindow;
    anchor_ = std::make_unique<PanelAnchor>(window_);
    window_->installEventFilter(this);
}

SearchPanelController::~SearchPanelController()
{
    removeMonitors();
    delete window_;
}

SearchPanelController& SearchPanelController::shared()
{
    static auto* controller = new SearchPanelController;
    return *controller;
}

void SearchPanelController::setOptions(Options options) { options_ = std::move(options); }

QWidget* SearchPanelController::anchor() const { return anchor_->anchor(); }

Workspace* SearchPanelController::workspace() const { return browser_ ? &browser_->workspace() : nullptr; }

void SearchPanelController::configure(MarkdownModel* model) { configure(model, SettingsStore::standard()); }

void SearchPanelController::configure(MarkdownModel* model, SettingsStore& settings)
{
    if (!window_ || !model)
        return;
    model_ = model;
    for (const auto& c : modelConnections_)
        disconnect(c);
    modelConnections_.clear();
    // Only later changes count, not the name already shown, nor one announced to an
    // earlier configure that has not been delivered yet.
    const quint64 subscription = ++subscription_;
    modelConnections_.append(connect(model, &MarkdownModel::currentFileNameChanged, this, [this, subscription] {
        runOn(this, [this, subscription] {
            if (subscription == subscription_)
                dismiss();
        });
    }));

    if (!options_.chooser && !ownChooser_)
        ownChooser_ = std::make_unique<QtFileChooser>();
    QuickOpenModel::Dependencies deps;
    deps.settings = &settings;
    deps.model = model;
    deps.chooser = options_.chooser ? options_.chooser : ownChooser_.get();
    deps.tracker = options_.tracker;
    if (options_.makeQueryTimer)
        deps.queryTimer = options_.makeQueryTimer();
    deps.search = options_.search ? options_.search : &search::SearchEngine::shared();
    deps.indexAfterStartMs = kIndexAfterStartMs;
    if (options_.recents) {
        deps.recents = options_.recents;
    } else if (&settings == &SettingsStore::standard()) {
        deps.recents = &RecentFileManager::shared();
    } else {
        ownRecents_ = std::make_unique<RecentFileManager>(settings);
        deps.recents = ownRecents_.get();
    }
    auto browser = std::make_unique<QuickOpenModel>(std::move(deps));
    // Reopening the note already open changes no name, yet the choice was made.
    connect(browser.get(), &QuickOpenModel::noteOpened, this, &SearchPanelController::dismiss);
    auto* view = new QuickOpenView(browser.get(), kTopPadding);
    delete view_;
    view_ = view;
    browser_ = std::move(browser);
    window_->setContent(view_);
}

void SearchPanelController::dismiss()
{
    isShown_ = false;
    hide();
}

void SearchPanelController::toggle(QWidget* anchor)
{
    if (isShown_) {
        isShown_ = false;
        hide();
    } else if (anchor) {
        isShown_ = true;
        show(anchor);
    }
}

void SearchPanelController::show(QWidget* attachedTo)
{
    if (!window_)
        return;
    if (attachedTo && attachedTo->window() != window_)
        anchor_->attach(attachedTo->window());
    window_->setWindowOpacity(0);
    window_->show();
    window_->raise();
    window_->activateWindow();
    if (view_)
        view_->appeared();
    fade(1, kFadeInMs, {});
    installMonitors();
}

void SearchPanelController::hide()
{
    if (!window_)
        return;
    fade(0, kFadeOutMs, [this] {
        // The keyboard goes back where it came from, so after choosing a note the
        // user types into it straight away.
        const bool hadKeyboard = window_->isActiveWindow();
        const QPointer<QWidget> anchor = anchor_->anchor();
        window_->hide();
        if (hadKeyboard && anchor && anchor->isVisible())
            anchor->activateWindow();
    });
}

bool SearchPanelController::eventFilter(QObject* watched, QEvent* event)
{
    // However the window went (the fade's end, the window manager closing it, the app
    // quitting), its watchers and its anchor go with it.
    if (watched == window_ && event->type() == QEvent::Hide) {
        isShown_ = false;
        ++fadeGeneration_;
        removeMonitors();
        anchor_->detach();
        if (view_)
            view_->disappeared();
    }
    return QObject::eventFilter(watched, event);
}

void SearchPanelController::installMonitors()
{
    removeMonitors();
    auto* keys = new PanelKeyMonitor(
        window_, [this] { return isShown_; }, [this] { dismiss(); });
    qApp->installEventFilter(keys);
    monitors_.append([keys] {
        qApp->removeEventFilter(keys);
        keys->deleteLater();  // it may be the one reporting Escape right now
    });
    // Another application taking the activation stands for a click outside.
    const auto activation =
        connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
            if (s != Qt::ApplicationActive && isShown_)
                dismiss();
        });
    monitors_.append([activation] { disconnect(activation); });
}

void SearchPanelController::removeMonitors()
{
    for (const auto& remove : std::exchange(monitors_, {}))
        remove();
}

void SearchPanelController::fade(qreal to, int ms, std::function<void()> done)
{
    // A newer fade supersedes an older one, whose completion must not run.
    const quint64 generation = ++fadeGeneration_;
    QPointer<SearchPanelController> self(this);
    auto finish = [self, generation, done = std::move(done)] {
        if (self && self->fadeGeneration_ == generation && done)
            done();
    };
    if (options_.fade) {
        options_.fade(window_, to, ms, std::move(finish));
        return;
    }
    for (auto* running : window_->findChildren<QPropertyAnimation*>(QString(), Qt::FindDirectChildrenOnly))
        running->stop();
    auto* animation = new QPropertyAnimation(window_, "windowOpacity", window_);
    animation->setDuration(ms);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->setEndValue(to);
    connect(animation, &QPropertyAnimation::finished, this, finish);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace flintly
