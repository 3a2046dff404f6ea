#include "app/CombinedPrefs.h"

#include "app/FormGroup.h"
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
#include "widgets/SymbolIcon.h"

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

namespace {
constexpr int kSymbolSize = 16;
constexpr int kRowHeight = 34;

QString escaped(const QString& text) { return text.toHtmlEscaped(); }
}  // namespace

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
    saveFolderLabel_ = makeValue();
    saveFolderLabel_->setForegroundRole(QPalette::PlaceholderText);
    changeFolderButton_ = new QPushButton(QStringLiteral("Change…"));
    connect(changeFolderButton_, &QPushButton::clicked, this, &CombinedPrefs::changeFolder);
    auto* folderValue = new QWidget;
    auto* folderLayout = new QHBoxLayout(folderValue);
    folderLayout->setContentsMargins(0, 0, 0, 0);
    folderLayout->addWidget(saveFolderLabel_);
    folderLayout->addWidget(changeFolderButton_);
    revealLink_ = makeLink(QStringLiteral("Show in File Manager"), [this] {
        if (model_ && deps_.urlOpener && !model_->saveFolder().isEmpty())
            deps_.urlOpener->revealInFileManager(QDir::cleanPath(model_->saveFolder().toLocalFile()));
    });

    // Stats
    notesValue_ = makeValue();
    charactersValue_ = makeValue();
    focusTimeValue_ = makeValue();
    todosValue_ = makeValue();

    // Developer
    const QString email = deps_.developerEmail;
    emailLink_ = makeLink(email, [email] {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(email);
    });
    emailLink_->setToolTip(QStringLiteral("Click to copy"));
    const QUrl site(deps_.developerUrl);
    blogLink_ = makeLink(site.toString(), [this, site] {
        if (deps_.urlOpener)
            deps_.urlOpener->openUrl(site);
    });
    auto* name = makeValue();
    name->setText(deps_.developerName);

    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(20, 8, 20, 20);
    column->setSpacing(6);
    column->addWidget(makeSection(
        QStringLiteral("App"),
        {
            {makeRowLabel(QStringLiteral("Theme"), QStringLiteral("paintbrush")), themePicker_},
            {makeRowLabel(QStringLiteral("Show Flintly folder in Favorites"), QStringLiteral("folder")),
             favoritesToggle_},
            {makeRowLabel(QStringLiteral("Note Window Shortcut"), QStringLiteral("keyboard")), shortcutValue},
            {nullptr, hotkeyFallback_},
            {makeRowLabel(QStringLiteral("Open at Login"), QStringLiteral("power")), openAtLoginToggle_},
        }));
    QWidget* fallbackRow = hotkeyFallback_->parentWidget();
    fallbackRow->setVisible(hotkeyFallback_->isNeeded());
    connect(hotkeyFallback_, &HotkeyFallbackView::neededChanged, fallbackRow, &QWidget::setVisible);
    column->addWidget(
        makeSection(QStringLiteral("Storage"),
                    {
                        {makeRowLabel(QStringLiteral("Save Folder"), QStringLiteral("folder.fill")), folderValue},
                        {nullptr, revealLink_},
                    }));
    revealRow_ = revealLink_->parentWidget();
    column->addWidget(makeSection(
        QStringLiteral("Stats"),
        {
            {makeRowLabel(QStringLiteral("Notes"), QStringLiteral("doc.plaintext")), notesValue_},
            {makeRowLabel(QStringLiteral("Characters"), QStringLiteral("character.cursor.ibeam")), charactersValue_},
            {makeRowLabel(QStringLiteral("Focus Time"), QStringLiteral("timer")), focusTimeValue_},
            {makeRowLabel(QStringLiteral("Todos Done"), QStringLiteral("checkmark.square")), todosValue_},
        }));
    developerSection_ = makeSection(QStringLiteral("Developer"),
                                    {
                                        {makeRowLabel(QStringLiteral("Name"), QStringLiteral("person")), name},
                                        {makeRowLabel(QStringLiteral("Email"), QStringLiteral("envelope")), emailLink_},
                                        {makeRowLabel(QStringLiteral("Blog"), QStringLiteral("link")), blogLink_},
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

QWidget* CombinedPrefs::makeSection(const QString& title, const std::vector<std::pair<QWidget*, QWidget*>>& rows)
{
    auto* section = new QWidget;
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 10, 0, 0);
    layout->setSpacing(6);
    auto* header = new QLabel(title);
    QFont bold = header->font();
    bold.setWeight(QFont::DemiBold);
    header->setFont(bold);
    header->setContentsMargins(4, 0, 0, 0);
    layout->addWidget(header);

    auto* group = new FormGroup;
    auto* rowsLayout = new QVBoxLayout(group);
    rowsLayout->setContentsMargins(12, 2, 12, 2);
    rowsLayout->setSpacing(0);
    for (const auto& [label, value] : rows) {
        auto* row = new QWidget;
        row->setMinimumHeight(kRowHeight);
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 2, 0, 2);
        if (label)
            h->addWidget(label);
        if (value->sizePolicy().horizontalPolicy() == QSizePolicy::Expanding) {
            h->addWidget(value, 1);
        } else {
            h->addStretch(1);
            h->addWidget(value, 0, Qt::AlignVCenter);
        }
        rowsLayout->addWidget(row);
    }
    layout->addWidget(group);
    return section;
}

QWidget* CombinedPrefs::makeRowLabel(const QString& text, const QString& symbol)
{
    auto* label = new QWidget;
    auto* h = new QHBoxLayout(label);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(8);
    auto* icon = new QLabel;
    icon->setFixedSize(kSymbolSize, kSymbolSize);
    h->addWidget(icon);
    h->addWidget(new QLabel(text));
    symbols_.push_back({icon, symbol});
    return label;
}

QLabel* CombinedPrefs::makeValue()
{
    auto* value = new QLabel;
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return value;
}

QLabel* CombinedPrefs::makeLink(const QString& text, std::function<void()> activated)
{
    auto* link = new QLabel;
    link->setTextFormat(Qt::RichText);
    links_.push_back({link, text});
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    link->setCursor(Qt::PointingHandCursor);
    link->setAccessibleName(text);
    connect(link, &QLabel::linkActivated, this, [activated = std::move(activated)] { activated(); });
    return link;
}

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
    const QColor color = palette().color(QPalette::WindowText);
    const qreal dpr = devicePixelRatioF();
    for (const Symbol& s : symbols_)
        s.label->setPixmap(symbolPixmap(s.name, color, QSize(kSymbolSize, kSymbolSize), dpr));
    // Rich text takes a link's colour from the application's palette when it is set,
    // not from ours: name it, so links stay readable on a dark window.
    const QString link = palette().color(QPalette::Link).name();
    for (const Symbol& l : links_)
        l.label->setText(QStringLiteral("<a href=\"#\" style=\"color:%1\">%2</a>").arg(link, escaped(l.name)));
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
