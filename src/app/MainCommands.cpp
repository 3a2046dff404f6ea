#include "app/MainCommands.h"

#include "app/AppDelegate.h"
#include "app/Updater.h"
#include "document/MarkdownModel.h"
#include "document/TextDecoding.h"
#include "notepanel/FloatingPanelWindow.h"
#include "platform/Bookmark.h"
#include "platform/Dialogs.h"
#include "platform/Log.h"
#include "quickopen/SearchPanelController.h"
#include "templatepanel/TemplatePanelController.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QStandardPaths>

namespace flintly {

QString MainCommands::defaultFallbackNotesFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
        .filePath(QStringLiteral("Flintly"));
}

MainCommands::MainCommands(Dependencies deps, QObject* parent) : QObject(parent), deps_(std::move(deps))
{
    if (deps_.fallbackNotesFolder.isEmpty())
        deps_.fallbackNotesFolder = defaultFallbackNotesFolder();
    table_ = buildTable();
    for (const Command& command : table_) {
        auto* action = new QAction(command.title, this);
        if (!command.key.isEmpty()) {
            action->setShortcut(command.key);
            // Any Flintly window with the keyboard will do, not only the one it was added to.
            action->setShortcutContext(Qt::ApplicationShortcut);
        }
        connect(action, &QAction::triggered, this, command.run);
        actions_.push_back(action);
    }
    trayMenu_ = buildMenu(true);
    contextMenu_ = buildMenu(false);
    refresh();
}

MainCommands::~MainCommands()
{
    delete settingsWindow_;
    delete historyWindow_;
}

std::vector<Command> MainCommands::buildTable()
{
    auto panelNeeded = [this] { return hasPanel(); };
    std::vector<Command> table;
    table.push_back({QStringLiteral("Show/Hide Note"),
                     {},
                     [this] {
                         if (deps_.delegate)
                             deps_.delegate->togglePanel();
                     },
                     {},
                     false,
                     true});
    table.push_back(
        {QStringLiteral("New Note"), QKeySequence(Qt::CTRL | Qt::Key_N), [this] { newNote(); }, panelNeeded, true});
    table.push_back({openNotesFolderTitle(),
                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
                     [this] { showNotesFolder(); },
                     {},
                     true});
    table.push_back(
        {QStringLiteral("Open…"), QKeySequence(Qt::CTRL | Qt::Key_O), [this] { openDocument(); }, panelNeeded});
    table.push_back(
        {QStringLiteral("Save…"), QKeySequence(Qt::CTRL | Qt::Key_S), [this] { saveDocument(); }, panelNeeded, true});
    table.push_back(
        {QStringLiteral("Quick Open…"), QKeySequence(Qt::CTRL | Qt::Key_P), [this] { quickOpen(); }, {}, true});
    table.push_back({TemplatePanelController::insertTemplateTitle(), TemplatePanelController::insertTemplateShortcut(),
                     [this] { insertTemplate(); }, panelNeeded});
    table.push_back({historyTitle(), historyShortcut(), [this] { showHistory(); }, panelNeeded});
    table.push_back(
        {QStringLiteral("Settings…"), QKeySequence(Qt::CTRL | Qt::Key_Comma), [this] { showSettings(); }, {}, true});
    table.push_back({QStringLiteral("Check for Updates…"),
                     {},
                     [this] { checkForUpdates(); },
                     [this] {
                         return deps_.delegate && deps_.delegate->updater()
                             && deps_.delegate->updater()->canCheckForUpdates();
                     }});
    table.push_back({QStringLiteral("Quit Flintly"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { quit(); }, {}, true});
    return table;
}

std::unique_ptr<QMenu> MainCommands::buildMenu(bool forTray)
{
    auto menu = std::make_unique<QMenu>();
    for (size_t i = 0; i < table_.size(); ++i) {
        if (table_[i].trayOnly && !forTray)
            continue;
        if (table_[i].startsGroup && !menu->isEmpty())
            menu->addSeparator();
        menu->addAction(actions_[i]);
    }
    // Whether a command can run is decided when it is offered.
    connect(menu.get(), &QMenu::aboutToShow, this, &MainCommands::refresh);
    return menu;
}

QAction* MainCommands::action(const QString& title) const
{
    for (size_t i = 0; i < table_.size(); ++i)
        if (table_[i].title == title)
            return actions_[i];
    return nullptr;
}

QList<QAction*> MainCommands::keyboardActions() const
{
    QList<QAction*> keyed;
    for (size_t i = 0; i < table_.size(); ++i)
        if (!table_[i].key.isEmpty())
            keyed.append(actions_[i]);
    return keyed;
}

void MainCommands::adopt(QWidget* window)
{
    if (!window)
        return;
    // An action's key is live while any widget it was added to is visible; each of our
    // windows carries them, so the keys work from whichever one is shown.
    window->addActions(keyboardActions());
    if (auto* panel = qobject_cast<FloatingPanelWindow*>(window); panel && panel->toolbar()) {
        QWidget* toolbar = panel->toolbar();
        toolbar->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(toolbar, &QWidget::customContextMenuRequested, this,
                [this, toolbar](const QPoint& at) { contextMenu_->popup(toolbar->mapToGlobal(at)); });
    }
    refresh();
}

void MainCommands::refresh()
{
    for (size_t i = 0; i < table_.size(); ++i)
        actions_[i]->setEnabled(!table_[i].isEnabled || table_[i].isEnabled());
}

bool MainCommands::hasPanel() const { return deps_.delegate && deps_.delegate->panel() && deps_.model; }

void MainCommands::newNote()
{
    if (!hasPanel())
        return;
    deps_.model->newNote();
    // From the tray the panel may be hidden; a new note is for typing into.
    deps_.delegate->showPanel();
}

void MainCommands::showNotesFolder()
{
    if (!deps_.urlOpener)
        return;
    if (hasPanel() && !deps_.model->saveFolder().isEmpty()) {
        deps_.urlOpener->openUrl(deps_.model->saveFolder());
        return;
    }
    // A failure to create it is left to the file manager to report.
    QDir().mkpath(deps_.fallbackNotesFolder);
    deps_.urlOpener->openUrl(QUrl::fromLocalFile(deps_.fallbackNotesFolder));
}

void MainCommands::openDocument()
{
    if (!deps_.fileChooser || !hasPanel())
        return;
    FileRequest request;
    request.nameFilters = {QStringLiteral("Markdown (*.md)")};
    QPointer<MainCommands> self(this);
    deps_.fileChooser->chooseFile(request, [self](std::optional<QString> chosen) {
        if (!self || !chosen || chosen->isEmpty() || !self->hasPanel())
            return;
        MarkdownModel* model = self->deps_.model;
        // The note that was open stays open, and the user hears why.
        if (const auto problem = notePathProblem(*chosen)) {
            model->reportOpenFailure(*chosen, *problem);
            return;
        }
        QString error;
        const std::optional<QByteArray> bookmark = Bookmark::create(*chosen, &error);
        if (!bookmark) {
            model->reportOpenFailure(*chosen, error);
            return;
        }
        const QUrl url = QUrl::fromLocalFile(*chosen);
        if (self->deps_.addRecent)
            self->deps_.addRecent(url, *bookmark);
        try {
            model->loadNote(url, *bookmark);
        } catch (const std::exception& error) {
            model->reportOpenFailure(*chosen, QString::fromUtf8(error.what()));
            return;
        }
        self->deps_.delegate->showPanel();
    });
}

void MainCommands::saveDocument()
{
    if (!hasPanel())
        return;
    try {
        deps_.model->save();
    } catch (const std::exception& error) {
        log("❌ Failed to save markdown file:", error.what());
    }
}

// Against the window that has the keyboard. With none (the tray's menu, another program
// in front) the note comes forward with quick open over it, as Ctrl+P there would give.
void MainCommands::quickOpen()
{
    SearchPanelController& search = SearchPanelController::shared();
    QWidget* active = QApplication::activeWindow();
    if (active || !hasPanel()) {
        search.toggle(active);
        return;
    }
    deps_.delegate->showPanel();
    search.setShown(true);
    search.show(deps_.delegate->panel()->window());
}

void MainCommands::insertTemplate()
{
    if (deps_.delegate)
        deps_.delegate->toggleTemplatePanel();
}

void MainCommands::showSettings() { showOwnedWindow(settingsWindow_, deps_.makeSettingsWindow); }

void MainCommands::showHistory()
{
    if (hasPanel())
        showOwnedWindow(historyWindow_, deps_.makeHistoryWindow);
}

void MainCommands::showOwnedWindow(QPointer<QWidget>& window, const std::function<QWidget*()>& make)
{
    if (!window && make) {
        window = make();
        adopt(window);
    }
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

void MainCommands::checkForUpdates()
{
    log("🔔 메뉴 클릭");
    if (deps_.delegate && deps_.delegate->updater())
        deps_.delegate->updater()->checkForUpdates();
}

void MainCommands::quit()
{
    if (deps_.quit)
        deps_.quit();
    else
        QCoreApplication::quit();
}

}  // namespace flintly
