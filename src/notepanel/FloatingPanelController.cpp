#include "notepanel/FloatingPanelController.h"

#include "document/MarkdownModel.h"
#include "notepanel/FileTitleView.h"
#include "notepanel/FloatingPanelWindow.h"
#include "notepanel/PanelPlacement.h"
#include "notepanel/ToolbarItems.h"
#include "quickopen/SearchPanelController.h"
#include "widgets/ToolbarButton.h"
#include "widgets/WindowHints.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPointer>
#include <QScreen>

namespace flintly {

std::unique_ptr<FloatingPanelController> FloatingPanelController::create(SettingsStore& settings, MarkdownModel* model,
                                                                         const ContentFactory& makeContent)
{
    std::unique_ptr<FloatingPanelController> controller(new FloatingPanelController);
    controller->model_ = model;
    auto* window = new FloatingPanelWindow;
    controller->window_ = window;
    if (makeContent)
        window->setContent(makeContent(settings, model, window));

    auto* row = new ToolbarRow;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 7, 10, 7);
    layout->setSpacing(4);
    for (const QString& id : ToolbarItems::defaultItemIdentifiers()) {
        if (id == ToolbarItems::kFlexibleSpace) {
            layout->addStretch(1);
            continue;
        }
        if (QWidget* item = controller->makeItem(id, row)) {
            item->setObjectName(id);
            layout->addWidget(item, 0, Qt::AlignVCenter);
        }
    }
    // The title is centred in the window, not between the flexible spaces: balance the
    // two buttons on the right with a spacer of the same width on the left.
    layout->insertSpacing(0, 2 * 24 + 4);
    window->setToolbar(row);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(initialPanelPosition(screen->availableGeometry(), window->frameGeometry().size()));
    showOnAllWorkspaces(window);
    return controller;
}

FloatingPanelController::~FloatingPanelController() { delete window_; }

QWidget* FloatingPanelController::makeItem(const QString& identifier, QWidget* parent)
{
    QPointer<FloatingPanelController> self(this);
    if (identifier == ToolbarItems::kFileTitle) {
        if (!model_)
            return nullptr;
        return new FileTitleView(model_, parent);
    }
    if (identifier == ToolbarItems::kOpenFile) {
        const QString tip = QKeySequence(QStringLiteral("Ctrl+P")).toString(QKeySequence::NativeText);
        return new ToolbarButton(
            QStringLiteral("magnifyingglass"), tip,
            [self] {
                if (self)
                    self->toggleSearchPanel();
            },
            parent);
    }
    if (identifier == ToolbarItems::kNewFile) {
        return new ToolbarButton(
            QStringLiteral("pencil.line"), QStringLiteral("New Note"),
            [self] {
                if (self)
                    self->newDocument();
            },
            parent);
    }
    return nullptr;
}

void FloatingPanelController::newDocument()
{
    if (model_)
        model_->newNote();
}

void FloatingPanelController::openDocument()
{
    if (model_)
        model_->openNotePanel();
}

void FloatingPanelController::toggleSearchPanel()
{
    auto& search = SearchPanelController::shared();
    if (search.isShown()) {
        search.setShown(false);
        search.hide();
    } else if (window_) {
        search.setShown(true);
        search.show(window_);
    }
}

void FloatingPanelController::showWindow(const UserActivation& activation)
{
    // Before show(): a hidden window takes the hints as properties the window manager
    // reads when it maps the window.
    showOnAllWorkspaces(window_);
    prepareActivation(window_, activation);
    window_->show();
    window_->raise();
    window_->activateWindow();
    activateForUserAction(window_, activation);
}

void FloatingPanelController::close(const UserActivation& activation)
{
    window_->close();
    finishActivation(window_, activation);
}

bool FloatingPanelController::isVisible() const { return window_ && window_->isVisible(); }

}  // namespace flintly
