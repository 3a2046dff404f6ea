#include "app/CombinedPrefs.h"

#include "app/HotkeyStatus.h"
#include "app/StatisticsFigures.h"
#include "desktop/AutostartEntry.h"
#include "document/MarkdownModel.h"
#include "editor/AppTheme.h"
#include "editor/ColorScheme.h"
#include "platform/AppInfo.h"
#include "platform/Dialogs.h"
#include "platform/MainThread.h"
#include "platform/SettingsStore.h"
#include "platform/TimeSource.h"
#include "shortcuts/GlobalShortcuts.h"
#include "shortcuts/Recorder.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

// Resources compiled into a static library are only registered when asked for.
static void ensurePrefsSymbols()
{
    static const bool once = [] {
        Q_INIT_RESOURCE(prefs_symbols);
        return true;
    }();
    (void)once;
}

namespace flintly {

CombinedPrefs::CombinedPrefs(Dependencies deps, QWidget* parent)
    : QWidget(parent, Qt::Window), deps_(std::move(deps)), model_(deps_.model)
{
    Q_ASSERT(deps_.settings && deps_.model);
    ensurePrefsSymbols();
    if (!deps_.time)
        deps_.time = &TimeSource::system();
    if (!deps_.recorder.shortcuts)
        deps_.recorder = shortcuts::RecorderServices::standard();
    setWindowTitle(QStringLiteral("Flintly Settings"));
    setFixedSize(kWidth, kHeight);

    auto* close = new QAction(this);
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);

    // App
    themePicker_ = new QComboBox;
    for (AppTheme theme : allAppThemes())
        themePicker_->addItem(label(theme), static_cast<int>(theme));
    connect(themePicker_, &QComboBox::activated, this, [this](int index) {
        deps_.settings->setValue(settingskeys::appTheme, themePicker_->itemData(index).toInt());
    });
    favoritesToggle_ = new QCheckBox;
    favoritesToggle_->setAccessibleName(QStringLiteral("Show Flintly folder in Favorites"));
    connect(favoritesToggle_, &QCheckBox::toggled, this,
            [this](bool on) { deps_.settings->setValue(settingskeys::showDefaultFolder, on); });
    recorder_ = new shortcuts::Recorder(shortcuts::Name(QStringLiteral("showNote")), {}, QString(), deps_.recorder);
    recorder_->control()->setAccessibleName(QStringLiteral("Note Window Shortcut"));
    // The recorded key, and under it which path carries it.
    hotkeyStatus_ = new HotkeyStatus(*deps_.recorder.shortcuts);
    auto* shortcutValue = new QWidget;
    auto* shortcutColumn = new QVBoxLayout(shortcutValue);
    shortcutColumn->setContentsMargins(0, 0, 0, 0);
    shortcutColumn->setSpacing(2);
    shortcutColumn->addWidget(recorder_, 0, Qt::AlignRight);
    shortcutColumn->addWidget(hotkeyStatus_);
    if (!deps_.hotkeyFallback.shortcuts)
        deps_.hotkeyFallback.shortcuts = deps_.recorder.shortcuts;
    hotkeyFallback_ = new HotkeyFallbackView(deps_.hotkeyFallback);
    hotkeyFallback_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    if (!deps_.autostart) {
        ownAutostart_ = std::make_unique<desktop::AutostartEntry>(desktop::AutostartEntry::defaultCommand());
        deps_.autostart = ownAutostart_.get();
    }
    openAtLoginToggle_ = new QCheckBox;
    openAtLoginToggle_->setAccessibleName(QStringLiteral("Open at Login"));
    connect(openAtLoginToggle_, &QCheckBox::toggled, this, [this](bool on) {
        deps_.autostart->setEnabled(on);
        showChoices();  // what the entry's file now says, written or not
    });

    // Storage
    saveFolderLabel_ = SettingsForm::value();
    saveFolderLabel_->setForegroundRole(QPalette::PlaceholderText);
    changeFolderButton_ = new QPushButton(QStringLiteral("Change…"));
    connect(changeFolderButton_, &QPushButton::clicked, this, &CombinedPrefs::changeFolder);
    auto* folderValue = new QWidget;
    auto* folderLayout = new QHBoxLayout(folderValue);
    folderLayout->setContentsMargins(0, 0, 0, 0);
    folderLayout->addWidget(saveFolderLabel_);
    folderLayout->addWidget(changeFolderButton_);
    revealLink_ = form_.link(QStringLiteral("Show in File Manager"), this, [this] {
        if (model_ && deps_.urlOpener && !model_->saveFolder().isEmpty())
            deps_.urlOpener->revealInFileManager(QDir::cleanPath(model_->saveFolder().toLocalFile()));
    });

    // Stats
    notesValue_ = SettingsForm::value();
    charactersValue_ = SettingsForm::value();
    focusTimeValue_ = SettingsForm::value();
    todosValue_ = SettingsForm::value();

    // Developer
    const QString email = deps_.developerEmail;
    emailLink_ = form_.link(email, this, [email] {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(email);
    });
    emailLink_->setToolTip(QStringLiteral("Click to copy"));
    const QUrl site(deps_.developerUrl);
    blogLink_ = form_.link(site.toString(), this, [this, site] {
        if (deps_.urlOpener)
            deps_.urlOpener->openUrl(site);
    });
    auto* name = SettingsForm::value();
    name->setText(deps_.developerName);

    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(20, 8, 20, 20);
    column->setSpacing(6);
    column->addWidget(form_.section(
        QStringLiteral("App"),
        {
            {form_.rowLabel(QStringLiteral("Theme"), QStringLiteral("paintbrush")), themePicker_},
            {form_.rowLabel(QStringLiteral("Show Flintly folder in Favorites"), QStringLiteral("folder")),
             favoritesToggle_},
            {form_.rowLabel(QStringLiteral("Note Window Shortcut"), QStringLiteral("keyboard")), shortcutValue},
            {nullptr, hotkeyFallback_},
            {form_.rowLabel(QStringLiteral("Open at Login"), QStringLiteral("power")), openAtLoginToggle_},
        }));
    QWidget* fallbackRow = hotkeyFallback_->parentWidget();
    fallbackRow->setVisible(hotkeyFallback_->isNeeded());
    connect(hotkeyFallback_, &HotkeyFallbackView::neededChanged, fallbackRow, &QWidget::setVisible);
    column->addWidget(
        form_.section(QStringLiteral("Storage"),
                      {
                          {form_.rowLabel(QStringLiteral("Save Folder"), QStringLiteral("folder.fill")), folderValue},
                          {nullptr, revealLink_},
                      }));
    revealRow_ = revealLink_->parentWidget();
    column->addWidget(form_.section(
        QStringLiteral("Stats"),
        {
            {form_.rowLabel(QStringLiteral("Notes"), QStringLiteral("doc.plaintext")), notesValue_},
            {form_.rowLabel(QStringLiteral("Characters"), QStringLiteral("character.cursor.ibeam")), charactersValue_},
            {form_.rowLabel(QStringLiteral("Focus Time"), QStringLiteral("timer")), focusTimeValue_},
            {form_.rowLabel(QStringLiteral("Todos Done"), QStringLiteral("checkmark.square")), todosValue_},
        }));
    developerSection_ =
        form_.section(QStringLiteral("Developer"),
                      {
                          {form_.rowLabel(QStringLiteral("Name"), QStringLiteral("person")), name},
                          {form_.rowLabel(QStringLiteral("Email"), QStringLiteral("envelope")), emailLink_},
                          {form_.rowLabel(QStringLiteral("Blog"), QStringLiteral("link")), blogLink_},
                      });
    column->addWidget(developerSection_);
    // A build that names no address or site shows none: a made-up one would send
    // people nowhere.
    name->parentWidget()->setVisible(!deps_.developerName.isEmpty());
    emailLink_->parentWidget()->setVisible(!deps_.developerEmail.isEmpty());
    blogLink_->parentWidget()->setVisible(!deps_.developerUrl.isEmpty());
    developerSection_->setVisible(!deps_.developerName.isEmpty() || !deps_.developerEmail.isEmpty()
                                  || !deps_.developerUrl.isEmpty());
    column->addStretch(1);

    auto* scroll = new QScrollArea;
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The rows are the tab stops; Tab scrolls the one it reaches into view.
    scroll->setFocusPolicy(Qt::NoFocus);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    refreshTimer_ = deps_.time->createTimer([this] {
        refreshStatistics();
        refreshTimer_->start(kRefreshMs);
    });
    connect(deps_.settings, &SettingsStore::changed, this, [this](const QString& key) {
        if (key == settingskeys::appTheme) {
            applyTheme();
            showChoices();
        } else if (key == settingskeys::showDefaultFolder) {
            showChoices();
        } else if (key.startsWith(QLatin1String("stats"))) {
            refreshStatistics();
        }
    });
    connect(deps_.model, &MarkdownModel::saveFolderChanged, this, &CombinedPrefs::refreshFolder);
    applyTheme();
    refresh();
}

CombinedPrefs::~CombinedPrefs() = default;

void CombinedPrefs::refresh()
{
    showChoices();
    hotkeyFallback_->refresh();
    refreshFolder();
    refreshStatistics();
}

void CombinedPrefs::showChoices()
{
    // Showing a setting is not choosing it: nothing is written back from here.
    const QSignalBlocker quietPicker(themePicker_);
    const QSignalBlocker quietToggle(favoritesToggle_);
    const QSignalBlocker quietLogin(openAtLoginToggle_);
    themePicker_->setCurrentIndex(
        themePicker_->findData(static_cast<int>(appThemeForStored(storedAppThemeRaw(*deps_.settings)))));
    favoritesToggle_->setChecked(deps_.settings->get(settingskeys::showDefaultFolder));
    openAtLoginToggle_->setChecked(deps_.autostart->isEnabled());
}

void CombinedPrefs::refreshFolder()
{
    const QUrl folder = model_ ? model_->saveFolder() : QUrl();
    if (folder.isEmpty()) {
        saveFolderLabel_->setText(QStringLiteral("Not set"));
        saveFolderLabel_->setToolTip(QString());
    } else {
        const QString path = QDir::cleanPath(folder.toLocalFile());
        const QString last = QFileInfo(path).fileName();
        saveFolderLabel_->setText(last.isEmpty() ? path : last);
        saveFolderLabel_->setToolTip(path);
    }
    revealRow_->setVisible(!folder.isEmpty());
}

void CombinedPrefs::refreshStatistics()
{
    const StatisticsFigures stats = StatisticsFigures::read(*deps_.settings, deps_.time->now());
    notesValue_->setText(QString::number(stats.notes));
    charactersValue_->setText(countText(stats.characters, deps_.locale));
    focusTimeValue_->setText(focusTimeText(stats.focusSeconds));
    todosValue_->setText(QString::number(stats.todosDone));
}

void CombinedPrefs::showEvent(QShowEvent* event)
{
    // Coming back after a while: the figures, the live focus time above all, moved on.
    refresh();
    refreshTimer_->start(kRefreshMs);
    QWidget::showEvent(event);
}

void CombinedPrefs::hideEvent(QHideEvent* event)
{
    refreshTimer_->stop();
    QWidget::hideEvent(event);
}

void CombinedPrefs::applyTheme()
{
    const auto scheme = preferredColorScheme(appThemeForStored(storedAppThemeRaw(*deps_.settings)));
    // Automatic drops our palette, so the window follows the desktop's again.
    setPalette(scheme ? paletteFor(*scheme) : QPalette());
    paintSymbols();
}

void CombinedPrefs::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && !paintingSymbols_)
        paintSymbols();
    QWidget::changeEvent(event);
}

void CombinedPrefs::paintSymbols()
{
    paintingSymbols_ = true;
    form_.paint(palette(), devicePixelRatioF());
    paintingSymbols_ = false;
}

void CombinedPrefs::changeFolder()
{
    if (!model_)
        return;
    model_->endFocusSession();
    QPointer<MarkdownModel> model = model_;
    // Chosen or not, the user starts afresh in a new note.
    model_->chooseSaveFolder([model](std::optional<QUrl>) {
        runOnMainThread([model] {
            if (model)
                model->newNote();
        });
    });
}

}  // namespace flintly
