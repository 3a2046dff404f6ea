#include "app/OnboardingWindow.h"

#include "platform/Log.h"
#include "widgets/CompositorWatcher.h"
#include "widgets/PanelSurface.h"
#include "widgets/SymbolIcon.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace flintly {

namespace {
constexpr int kFadeMs = 150;
constexpr qreal kCornerRadius = 28;
}  // namespace

QString OnboardingWindow::displayFamily()
{
    for (const QString& family : QFontDatabase::families())
        if (family.compare(QStringLiteral("Pretendard"), Qt::CaseInsensitive) == 0)
            return family;
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

OnboardingWindow::OnboardingWindow(std::function<void()> pickFolder)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      pickFolder_(std::move(pickFolder))
{
    setWindowTitle(QStringLiteral("Welcome to Flintly"));
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(400, 550);
    surface_ = new PanelSurface(this, kCornerRadius, 0, CompositorWatcher::shared());
    QFont base(displayFamily());
    base.setPixelSize(15);
    setFont(base);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(36, 32, 36, 32);
    backButton_ = new QPushButton(this);
    backButton_->setFlat(true);
    backButton_->setFixedSize(28, 28);
    backButton_->setCursor(Qt::PointingHandCursor);
    backButton_->setAccessibleName(QStringLiteral("Back"));
    backButton_->setAttribute(Qt::WA_Hover);
    backButton_->installEventFilter(this);
    connect(backButton_, &QPushButton::clicked, this, [this] { setStep(Step::welcome); });
    outer->addWidget(backButton_, 0, Qt::AlignLeft);

    stack_ = new QStackedWidget(this);
    stack_->addWidget(makeWelcomeCard());
    stack_->addWidget(makeFolderCard());
    outer->addWidget(stack_, 1);

    applyScheme();
    setStep(Step::welcome);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QLabel* OnboardingWindow::makeText(const QString& text, int pixelSize, bool title)
{
    auto* label = new QLabel(text);
    QFont f = font();
    f.setPixelSize(pixelSize);
    f.setWeight(title ? QFont::Bold : QFont::Normal);
    label->setFont(f);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QPushButton* OnboardingWindow::makePrimaryButton(const QString& text)
{
    auto* button = new QPushButton(text);
    QFont f = font();
    f.setPixelSize(15);
    f.setWeight(QFont::DemiBold);
    button->setFont(f);
    button->setCursor(Qt::PointingHandCursor);
    button->setMinimumHeight(40);
    button->setObjectName(QStringLiteral("primary"));
    return button;
}

QWidget* OnboardingWindow::makeWelcomeCard()
{
    auto* card = new QWidget;
    auto* v = new QVBoxLayout(card);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(12);
    logo_ = new QLabel;
    logo_->setAlignment(Qt::AlignCenter);
    v->addWidget(logo_);
    v->addWidget(makeText(QStringLiteral("Ideas Don’t Queue"), 23, true));
    v->addWidget(
        makeText(QStringLiteral("Hey, Markdown nerd!\n\nHit the hotkey to capture the thought before it slips."), 14));
    const std::pair<const char*, const char*> bullets[] = {
        {"lock", "Local Only"},
        {"number", "Pure Markdown"},
        {"command", "Keyboard‑first flow"},
        {"square.fill.on.square.fill", "Plug‑and‑play. Just add your vault"},
    };
    auto* list = new QVBoxLayout;
    list->setSpacing(6);
    for (const auto& [icon, text] : bullets) {
        auto* row = new QHBoxLayout;
        auto* symbol = new QLabel;
        symbol->setObjectName(QString::fromLatin1(icon));
        symbol->setProperty("symbol", QString::fromLatin1(icon));
        symbol->setFixedSize(18, 18);
        row->addWidget(symbol);
        auto* label = makeText(QString::fromUtf8(text), 14);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        row->addWidget(label, 1);
        list->addLayout(row);
    }
    auto* listHolder = new QWidget;
    listHolder->setLayout(list);
    v->addWidget(listHolder, 0, Qt::AlignHCenter);
    v->addWidget(makeText(QStringLiteral("More goodies are on the way!ㅡTable, Backlink, AI sth :)"), 14));
    v->addWidget(makeText(
        QStringLiteral(
            "Found a bug—or itching to unload some creative profanity? Smash the email in Settings and let it rip."),
        14));
    v->addStretch(1);
    nextButton_ = makePrimaryButton(QStringLiteral("Let's set the folder"));
    connect(nextButton_, &QPushButton::clicked, this, [this] { setStep(Step::chooseFolder); });
    v->addWidget(nextButton_);
    return card;
}

QWidget* OnboardingWindow::makeFolderCard()
{
    auto* card = new QWidget;
    auto* v = new QVBoxLayout(card);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(14);
    v->addStretch(1);
    auto* art = new QLabel;
    art->setAlignment(Qt::AlignCenter);
    art->setPixmap(imagePixmap(QStringLiteral("flintlynfolder"), QSize(220, 148), devicePixelRatioF()));
    v->addWidget(art);
    v->addWidget(makeText(QStringLiteral("Choose your home base"), 20, true));
    v->addWidget(
        makeText(QStringLiteral("Flintly stores notes in this folder.\nYou can change it anytime in settings."), 15));
    v->addStretch(1);
    // The hotkey only works while Flintly runs.
    openAtLogin_ = new QCheckBox(QStringLiteral("Open Flintly at login, so the hotkey always works"));
    QFont small = font();
    small.setPixelSize(13);
    openAtLogin_->setFont(small);
    v->addWidget(openAtLogin_, 0, Qt::AlignHCenter);
    pickButton_ = makePrimaryButton(QStringLiteral("Select Folder…"));
    connect(pickButton_, &QPushButton::clicked, this, [this] {
        if (pickFolder_)
            pickFolder_();
    });
    v->addWidget(pickButton_);
    return card;
}

bool OnboardingWindow::isDark() const { return palette().color(QPalette::Window).lightness() < 128; }

void OnboardingWindow::applyScheme()
{
    if (applyingScheme_)
        return;
    applyingScheme_ = true;
    const bool dark = isDark();
    const QColor text = dark ? Qt::white : Qt::black;
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, text);
    setPalette(pal);
    // The primary button inverts the scheme: white on dark, near-black on light.
    setStyleSheet(
        dark ? QStringLiteral("QPushButton#primary { background: white; color: black; border-radius: 10px; }"
                              "QPushButton#primary:pressed { background: rgba(255,255,255,204); }")
             : QStringLiteral("QPushButton#primary { background: rgb(38,38,38); color: white; border-radius: 10px; }"
                              "QPushButton#primary:pressed { background: rgba(38,38,38,204); }"));
    const qreal dpr = devicePixelRatioF();
    QPixmap logo = imagePixmap(QStringLiteral("flintly-white"), QSize(35, 32), dpr);
    if (!dark) {  // the white mark would vanish on a light card
        QPainter p(&logo);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(logo.rect(), Qt::black);
    }
    if (logo_)
        logo_->setPixmap(logo);
    for (QLabel* symbol : findChildren<QLabel*>())
        if (symbol->property("symbol").isValid())
            symbol->setPixmap(symbolPixmap(symbol->property("symbol").toString(), text, QSize(18, 18), dpr));
    const bool hovered = backButton_->underMouse();
    QColor arrow = text;
    arrow.setAlphaF(hovered ? 0.9f : 0.6f);
    backButton_->setIcon(QIcon(symbolPixmap(QStringLiteral("arrow.left"), arrow, QSize(15, 15), dpr)));
    update();
    applyingScheme_ = false;
}

void OnboardingWindow::setStep(Step step)
{
    step_ = step;
    stack_->setCurrentIndex(step == Step::welcome ? 0 : 1);
    backButton_->setVisible(step == Step::chooseFolder);
    auto* effect = new QGraphicsOpacityEffect(stack_->currentWidget());
    stack_->currentWidget()->setGraphicsEffect(effect);
    auto* anim = new QPropertyAnimation(effect, "opacity", effect);
    anim->setDuration(kFadeMs);
    anim->setStartValue(0.0);
    anim->setEndValue(1.0);
    anim->setEasingCurve(QEasingCurve::InOutQuad);
    connect(anim, &QPropertyAnimation::finished, effect,
            [w = stack_->currentWidget()] { w->setGraphicsEffect(nullptr); });
    anim->start();
}

void OnboardingWindow::fade(qreal from, qreal to, std::function<void()> done)
{
    setWindowOpacity(from);
    auto* anim = new QPropertyAnimation(this, "windowOpacity", this);
    anim->setDuration(kFadeMs);
    anim->setStartValue(from);
    anim->setEndValue(to);
    anim->setEasingCurve(QEasingCurve::InOutQuad);
    connect(anim, &QPropertyAnimation::finished, this, [anim, done = std::move(done)] {
        anim->deleteLater();
        if (done)
            done();
    });
    anim->start();
}

void OnboardingWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath path = surface_->bodyPath();
    // A thin, mostly opaque material: readable without a compositor's blur. Without a
    // compositor nothing shows through and transparent pixels would be black: opaque,
    // every pixel, and the shape cuts the corners.
    QColor material = isDark() ? QColor(30, 30, 34) : QColor(250, 250, 252);
    if (surface_->isComposited()) {
        material.setAlpha(235);
        p.fillPath(path, material);
    } else {
        p.fillRect(rect(), material);
    }
    p.setPen(QPen(isDark() ? QColor(255, 255, 255, 40) : QColor(0, 0, 0, 30), 1));
    p.drawPath(path);
}

void OnboardingWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (loggedFonts_)
        return;
    loggedFonts_ = true;
    QStringList variants;
    for (const QString& family : QFontDatabase::families())
        if (family.contains(QStringLiteral("Pretendard"), Qt::CaseInsensitive))
            for (const QString& style : QFontDatabase::styles(family))
                variants.append(QString(family).remove(QLatin1Char(' ')) + QLatin1Char('-')
                                + QString(style).remove(QLatin1Char(' ')));
    log("🅿️ Pretendard variants found →",
        QStringLiteral("[") + variants.join(QStringLiteral(", ")) + QStringLiteral("]"));
}

bool OnboardingWindow::event(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        applyScheme();
    return QWidget::event(event);
}

bool OnboardingWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == backButton_ && (event->type() == QEvent::HoverEnter || event->type() == QEvent::HoverLeave))
        applyScheme();
    return QWidget::eventFilter(watched, event);
}

}  // namespace flintly
