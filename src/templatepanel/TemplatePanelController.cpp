#include "templatepanel/TemplatePanelController.h"

#include "document/MarkdownModel.h"
#include "platform/SettingsStore.h"
#include "platform_widgets/DesktopUrlOpener.h"
#include "platform_widgets/QtFileChooser.h"
#include "shortcuts/LocalEventMonitor.h"
#include "templatepanel/TemplatePanelView.h"
#include "templatepanel/TemplatePanelWindow.h"
#include "templates/TemplatePanelViewModel.h"
#include "widgets/WindowHints.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <optional>

namespace flintly {

namespace {
std::optional<TemplatePanelController::Dependencies>& sharedDependencies()
{
    static std::optional<TemplatePanelController::Dependencies> deps;
    return deps;
}

// Keeps the panel on its anchor: re-placed when the anchor moves or resizes, hidden
// when the anchor goes away, as a child window would be.
class AnchorWatcher final : public QObject {
public:
    AnchorWatcher(QWidget* anchor, std::function<void()> moved, std::function<void()> hidden)
        : anchor_(anchor), moved_(std::move(moved)), hidden_(std::move(hidden))
    {
        anchor_->installEventFilter(this);
    }
    ~AnchorWatcher() override
    {
        if (anchor_)
            anchor_->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == anchor_) {
            if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
                moved_();
            else if (event->type() == QEvent::Hide)
                hidden_();
        }
        return false;
    }

private:
    QPointer<QWidget> anchor_;
    std::function<void()> moved_;
    std::function<void()> hidden_;
};
}  // namespace

TemplatePanelController& TemplatePanelController::shared()
{
    static TemplatePanelController* controller = [] {
        Dependencies deps = sharedDependencies().value_or(Dependencies{});
        if (!deps.model)
            deps.model = &MarkdownModel::shared();
        if (!deps.settings)
            deps.settings = &SettingsStore::standard();
        if (!deps.fileChooser) {
            static QtFileChooser chooser;
            deps.fileChooser = &chooser;
        }
        return new TemplatePanelController(std::move(deps));
    }();
    return *controller;
}

void TemplatePanelController::configureShared(Dependencies deps) { sharedDependencies() = std::move(deps); }

TemplatePanelController::TemplatePanelController(Dependencies deps, QObject* parent) : QObject(parent)
{
    if (!deps.urlOpener) {
        ownUrlOpener_ = std::make_unique<DesktopUrlOpener>();
        deps.urlOpener = ownUrlOpener_.get();
    }
    TemplatePanelViewModel::Dependencies vmDeps{deps.model, deps.settings, deps.fileChooser, std::move(deps.schedule)};
    vmDeps.time = deps.time;
    vmDeps.urlOpener = deps.urlOpener;
    vmDeps.defaultFolder = deps.defaultFolder;
    vmDeps.clipboardText = [] { return QGuiApplication::clipboard()->text(); };
    vm_ = std::make_unique<TemplatePanelViewModel>(std::move(vmDeps));
    window_ = std::make_unique<TemplatePanelWindow>();
    view_ = new TemplatePanelView(*vm_, window_.get());
    window_->setContent(view_);
    fade_ = new QPropertyAnimation(window_.get(), "windowOpacity", this);
    fade_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(fade_, &QPropertyAnimation::finished, this, [this] {
        if (hiding_)
            finishHide();
    });
    connect(vm_.get(), &TemplatePanelViewModel::templateApplied, this, &TemplatePanelController::hide);
    connect(vm_.get(), &TemplatePanelViewModel::templateOpened, this, &TemplatePanelController::hide);
    connect(window_.get(), &TemplatePanelWindow::closeRequested, this, &TemplatePanelController::hide);
}

TemplatePanelController::~TemplatePanelController()
{
    fade_->stop();
    eventMonitors_.clear();
}

QPoint TemplatePanelController::contentOrigin(const QRect& anchorFrame, const QSize& content, const QRect& available)
{
    QPoint origin(anchorFrame.x() + (anchorFrame.width() - content.width()) / 2, anchorFrame.y() + kBelowAnchorTop);
    if (available.isValid()) {
        origin.setX(std::clamp(origin.x(), available.left(),
                               std::max(available.left(), available.right() + 1 - content.width())));
        origin.setY(std::clamp(origin.y(), available.top(),
                               std::max(available.top(), available.bottom() + 1 - content.height())));
    }
    return origin;
}

void TemplatePanelController::place()
{
    const QRect content = window_->contentRect();
    QScreen* screen = anchorWindow_ ? anchorWindow_->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QPoint origin = anchorWindow_ ? contentOrigin(anchorWindow_->frameGeometry(), content.size(), available)
                                        : available.center() - QPoint(content.width() / 2, content.height() / 2);
    window_->move(origin - content.topLeft());
}

void TemplatePanelController::toggle(QWidget* anchor)
{
    if (isShown_)
        hide();
    else
        show(anchor);
}

void TemplatePanelController::show(QWidget* anchor)
{
    isShown_ = true;
    // A show during the fade-out wins: the fade's end must not take the panel away.
    hiding_ = false;
    fade_->stop();
    anchorWindow_ = anchor;
    // Templates come and go on disk between two showings.
    vm_->reload();
    place();
    if (anchor) {
        anchor->winId();
        window_->windowHandle()->setTransientParent(anchor->windowHandle());
    }
    window_->setWindowOpacity(0.0);
    window_->show();
    showOnAllWorkspaces(window_.get());
    window_->raise();
    window_->activateWindow();
    view_->appear();
    fade_->setDuration(kFadeInMs);
    fade_->setStartValue(0.0);
    fade_->setEndValue(1.0);
    fade_->start();
    installMonitors();
}

void TemplatePanelController::installMonitors()
{
    eventMonitors_.clear();
    // Monitors only queue the hide: it may remove them, and they must not be destroyed
    // while one of them is still running.
    auto hideSoon = [self = QPointer<TemplatePanelController>(this)] {
        QTimer::singleShot(0, self, [self] {
            if (self && self->isShown_)
                self->hide();
        });
    };

    // Escape in any of the app's windows dismisses the panel and goes no further, except
    // into a dialog that is waiting for an answer (the folder chooser).
    auto keys = std::make_unique<shortcuts::LocalEventMonitor>(
        QList<QEvent::Type>{QEvent::KeyPress}, [hideSoon](QObject*, QEvent* event) {
            if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape || QGuiApplication::modalWindow())
                return true;
            hideSoon();
            return false;
        });
    keys->start();
    eventMonitors_.push_back(std::move(keys));

    // A click in another program takes the keyboard from the whole app. The folder
    // chooser may be a desktop dialog outside the app; that is not a reason to go.
    auto activation = std::make_unique<QObject>();
    connect(qApp, &QGuiApplication::applicationStateChanged, activation.get(),
            [this, hideSoon](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive && !vm_->isChoosingFolder())
                    hideSoon();
            });
    eventMonitors_.push_back(std::move(activation));

    if (anchorWindow_) {
        QPointer<TemplatePanelController> self(this);
        auto replace = [self] {
            if (self)
                self->place();
        };
        eventMonitors_.push_back(std::make_unique<AnchorWatcher>(anchorWindow_, replace, hideSoon));
    }
}

void TemplatePanelController::hide()
{
    isShown_ = false;
    if (!window_->isVisible()) {
        finishHide();
        return;
    }
    hiding_ = true;
    fade_->stop();
    fade_->setDuration(kFadeOutMs);
    fade_->setStartValue(window_->windowOpacity());
    fade_->setEndValue(0.0);
    fade_->start();
}

void TemplatePanelController::finishHide()
{
    hiding_ = false;
    eventMonitors_.clear();
    const bool hadKeyboard = window_->isActiveWindow();
    if (anchorWindow_ && window_->windowHandle())
        window_->windowHandle()->setTransientParent(nullptr);
    window_->hide();
    // Typing goes on in the note. Only when the panel had the keyboard: after a click in
    // another program, taking it back would be theft.
    if (hadKeyboard && anchorWindow_ && anchorWindow_->isVisible())
        anchorWindow_->activateWindow();
}

}  // namespace flintly
