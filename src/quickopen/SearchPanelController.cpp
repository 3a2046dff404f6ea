#include "quickopen/SearchPanelController.h"

#include "browser/QuickOpenModel.h"
#include "browser/RecentFileManager.h"
#include "browser/Workspace.h"
#include "document/MarkdownModel.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsStore.h"
#include "platform_widgets/QtFileChooser.h"
#include "quickopen/QuickOpenView.h"
#include "quickopen/SearchPanelWindow.h"
#include "search/SearchEngine.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPropertyAnimation>
#include <QWindow>

namespace flintly {

namespace {
bool isKey(const QEvent* event)
{
    return event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
}

Qt::KeyboardModifiers plainModifiers(const QKeyEvent* key) { return key->modifiers() & ~Qt::KeypadModifier; }

// A menu or a modal dialog of ours has the keyboard: its keys are its own.
bool somethingElseHasTheKeyboard() { return QApplication::activePopupWidget() || QApplication::activeModalWidget(); }

QWidget* windowOf(QObject* receiver)
{
    auto* widget = qobject_cast<QWidget*>(receiver);
    return widget ? widget->window() : nullptr;
}

// Handles a key the filter claims: the override is accepted, so no shortcut takes the
// key and it arrives as a key press, which `act` then consumes.
bool claim(QEvent* event, const std::function<void()>& act)
{
    event->accept();
    if (event->type() == QEvent::KeyPress)
        act();
    return true;
}
}  // namespace

// Watches every key of the application while the panel is shown.
class SearchPanelController::KeyMonitor : public QObject {
public:
    explicit KeyMonitor(SearchPanelController* owner) : owner_(owner) {}

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        // While fading out the panel is already dismissed: keys are the windows' again.
        if (!isKey(event) || !owner_->isShown_ || somethingElseHasTheKeyboard() || !qobject_cast<QWidget*>(receiver))
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && plainModifiers(key) == Qt::NoModifier)
            return claim(event, [this] { owner_->dismiss(); });
        // Ctrl+1 … Ctrl+9 belong to the panel itself, not to the window under it.
        if (plainModifiers(key) == Qt::ControlModifier && key->key() >= Qt::Key_1 && key->key() <= Qt::Key_9
            && windowOf(receiver) == owner_->window_) {
            const int index = key->key() - Qt::Key_1;
            return claim(event,
                         [index] { NotificationCenter::defaultCenter().post(QStringLiteral("OpenPinned"), index); });
        }
        return false;
    }

private:
    SearchPanelController* owner_;
};

SearchPanelController::SearchPanelController() : SearchPanelController(Options{}) {}

SearchPanelController::SearchPanelController(Options options) : options_(std::move(options))
{
    window_ = new SearchPanelWindow;
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
        attach(attachedTo->window());
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
        const QPointer<QWidget> anchor = anchor_;
        window_->hide();
        if (hadKeyboard && anchor && anchor->isVisible())
            anchor->activateWindow();
    });
}

void SearchPanelController::attach(QWidget* anchor)
{
    if (anchor_ && anchor_ != anchor)
        detach();
    anchor_ = anchor;
    anchor->installEventFilter(this);
    place();
    // A transient child: the window manager keeps it above the anchor and with it.
    window_->winId();
    anchor->winId();
    if (QWindow* handle = window_->windowHandle())
        handle->setTransientParent(anchor->windowHandle());
}

void SearchPanelController::detach()
{
    if (!anchor_)
        return;
    anchor_->removeEventFilter(this);
    if (QWindow* handle = window_->windowHandle())
        handle->setTransientParent(nullptr);
    anchor_ = nullptr;
}

// Centred on the anchor, the body's top 40 below the anchor's top: over the note,
// just under its toolbar.
void SearchPanelController::place()
{
    if (!anchor_)
        return;
    const QRect a = anchor_->frameGeometry();
    window_->moveBodyTo(QPoint(a.x() + a.width() / 2 - SearchPanelWindow::kBodySize / 2, a.y() + kBelowAnchorTop));
}

bool SearchPanelController::eventFilter(QObject* watched, QEvent* event)
{
    // However the window went (the fade's end, the window manager closing it, the app
    // quitting), its watchers and its anchor go with it.
    if (watched == window_ && event->type() == QEvent::Hide) {
        isShown_ = false;
        ++fadeGeneration_;
        removeMonitors();
        detach();
        if (view_)
            view_->disappeared();
    }
    if (watched == anchor_) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize: place(); break;
        case QEvent::Hide:
            // The note went away (Ctrl+J, or quitting): its search goes with it, at
            // once, or it would stand alone on the screen and hold up quitting.
            window_->hide();
            break;
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void SearchPanelController::installMonitors()
{
    removeMonitors();
    auto* keys = new KeyMonitor(this);
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
