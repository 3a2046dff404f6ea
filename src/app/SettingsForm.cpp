#include "app/SettingsForm.h"

#include "app/FormGroup.h"
#include "widgets/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QVBoxLayout>

namespace flintly {

namespace {
constexpr int kSymbolSize = 16;
constexpr int kRowHeight = 34;
}  // namespace

QWidget* SettingsForm::section(const QString& title, const std::vector<Row>& rows) const
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

QWidget* SettingsForm::rowLabel(const QString& text, const QString& symbol)
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

QLabel* SettingsForm::value()
{
    auto* value = new QLabel;
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return value;
}

QLabel* SettingsForm::link(const QString& text, QObject* context, std::function<void()> activated)
{
    auto* link = new QLabel;
    link->setTextFormat(Qt::RichText);
    links_.push_back({link, text});
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    link->setCursor(Qt::PointingHandCursor);
    link->setAccessibleName(text);
    QObject::connect(link, &QLabel::linkActivated, context, [activated = std::move(activated)] { activated(); });
    return link;
}

void SettingsForm::paint(const QPalette& palette, qreal devicePixelRatio) const
{
    const QColor color = palette.color(QPalette::WindowText);
    for (const Painted& s : symbols_)
        s.label->setPixmap(symbolPixmap(s.name, color, QSize(kSymbolSize, kSymbolSize), devicePixelRatio));
    // Rich text takes a link's colour from the application's palette when it is set,
    // not from ours: name it, so links stay readable on a dark window.
    const QString link = palette.color(QPalette::Link).name();
    for (const Painted& l : links_)
        l.label->setText(QStringLiteral("<a href=\"#\" style=\"color:%1\">%2</a>").arg(link, l.name.toHtmlEscaped()));
}

}  // namespace flintly
