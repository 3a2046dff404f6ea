#pragma once

#include <QByteArray>
#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QWidget;

namespace flintly {

class AppDelegate;
class FileChooser;
class MarkdownModel;
class UrlOpener;

// One row of the app's command table: its text, its key and what it does, written
// once and offered by the tray menu, the note panel toolbar's context menu and the
// keyboard alike.
struct Command {
    QString title;
    QKeySequence key;  // none: reached through the menus only
    std::function<void()> run;
    std::function<bool()> isEnabled;  // null: always
    bool startsGroup = false;         // a divider above it in the menus
    bool trayOnly = false;            // showing the note is the tray's business
};

// The app's menu commands. Each becomes one QAction; the menus and the windows share
// those actions, so a command greyed out in a menu is also dead on the keyboard.
class MainCommands : public QObject {
    Q_OBJECT
public:
    struct Dependencies {
        AppDelegate* delegate = nullptr;  // the note panel, the updater, the template panel
        MarkdownModel* model = nullptr;
        FileChooser* fileChooser = nullptr;  // null: "Open…" finds nothing chosen
        UrlOpener* urlOpener = nullptr;
        // The note browser's list of recently opened files.
        std::function<void(const QUrl& url, const QByteArray& bookmark)> addRecent;
        // Builds the settings window the first time "Settings…" runs.
        std::function<QWidget*()> makeSettingsWindow;
        // Builds the history window the first time "History…" runs.
        std::function<QWidget*()> makeHistoryWindow;
        std::function<void()> quit;   // null: the application's quit
        QString fallbackNotesFolder;  // empty: defaultFallbackNotesFolder()
    };

    static QString openNotesFolderTitle() { return QStringLiteral("Show Notes Folder"); }
    static QString historyTitle() { return QStringLiteral("History…"); }
    // Ctrl+H is find-and-replace in the editors people type notes in (gedit, VS Code,
    // LibreOffice); Ctrl+Shift+H is the browsers' full history.
    static QKeySequence historyShortcut() { return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H); }

    // Where "Show Notes Folder" goes before a notes folder is known: "Flintly" in the
    // user's documents folder.
    static QString defaultFallbackNotesFolder();

    explicit MainCommands(Dependencies deps, QObject* parent = nullptr);
    ~MainCommands() override;

    const std::vector<Command>& table() const { return table_; }
    // The action of the command with this title; null for an unknown one.
    QAction* action(const QString& title) const;
    QList<QAction*> keyboardActions() const;
    // Every command, for the status-area icon.
    QMenu* trayMenu() const { return trayMenu_.get(); }
    // The commands that concern the note, for the note panel's toolbar.
    QMenu* contextMenu() const { return contextMenu_.get(); }
    QWidget* settingsWindow() const { return settingsWindow_; }
    QWidget* historyWindow() const { return historyWindow_; }

    // Makes the command keys work while `window` has the keyboard; the note panel's
    // toolbar also gets the context menu.
    void adopt(QWidget* window);
    // Greys out what cannot run now (before the note panel exists, without a feed).
    void refresh();

    void newNote();
    void showNotesFolder();
    void openDocument();
    void saveDocument();
    void quickOpen();
    void insertTemplate();
    void showSettings();
    void showHistory();
    void checkForUpdates();
    void quit();

private:
    std::vector<Command> buildTable();
    std::unique_ptr<QMenu> buildMenu(bool forTray);
    bool hasPanel() const;
    void showOwnedWindow(QPointer<QWidget>& window, const std::function<QWidget*()>& make);

    Dependencies deps_;
    std::vector<Command> table_;
    std::vector<QAction*> actions_;  // children; one per row of the table, in order
    std::unique_ptr<QMenu> trayMenu_;
    std::unique_ptr<QMenu> contextMenu_;
    QPointer<QWidget> settingsWindow_;  // owned; kept, hidden, when closed
    QPointer<QWidget> historyWindow_;   // owned; kept, hidden, when closed
};

}  // namespace flintly
