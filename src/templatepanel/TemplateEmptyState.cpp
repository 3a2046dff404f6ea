#include "templatepanel/TemplateEmptyState.h"

#include "templates/TemplatePanelViewModel.h"
#include "templates/TemplateVariables.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace flintly {

namespace {
// "~/…" for a folder in the home folder: shorter, and what users call it.
QString shownPath(const QString& path)
{
    const QString home = QDir::homePath();
    const QString clean = QDir::cleanPath(path);
    return clean.startsWith(home + QLatin1Char('/')) ? QStringLiteral("~") + clean.mid(home.size()) : clean;
}
}  // namespace

QString templateVariablesHint()
{
    QStringList filled = templateVariables();
    const QString cursor = filled.takeLast();
    return QStringLiteral("Filled in when inserted: ") + filled.join(QStringLiteral(", ")) + QStringLiteral("; ")
        + cursor + QStringLiteral(" marks where typing goes on.");
}

TemplateEmptyState::TemplateEmptyState(TemplatePanelViewModel& vm, QWidget* parent) : QWidget(parent), vm_(vm)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 8, 4, 0);
    column->setSpacing(8);

    auto* title = new QLabel(QStringLiteral("No templates yet"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    column->addWidget(title);

    auto* about = new QLabel(QStringLiteral("Templates are Markdown files that go into the note with one click. "
                                            "Flintly keeps them in this folder:"),
                             this);
    about->setWordWrap(true);
    column->addWidget(about);

    // A path has no spaces to wrap at: it is shortened in the middle instead, whole
    // in its tooltip, so no part of the panel's text is cut off.
    folder_ = new QLabel(this);
    folder_->setObjectName(QStringLiteral("templatesFolder"));
    folder_->setForegroundRole(QPalette::PlaceholderText);
    folder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(folder_);
    column->addSpacing(4);

    auto addButton = [this, column](const QString& text, auto action) {
        auto* button = new QPushButton(text, this);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, &vm_, action);
        column->addWidget(button);
        return button;
    };
    newTemplate_ = addButton(QStringLiteral("New Template"), &TemplatePanelViewModel::newTemplate);
    openFolder_ = addButton(QStringLiteral("Open Templates Folder"), &TemplatePanelViewModel::openTemplatesFolder);
    addStarters_ = addButton(QStringLiteral("Add Starter Templates"), &TemplatePanelViewModel::addStarterTemplates);
    addStarters_->setToolTip(QStringLiteral("A daily note, meeting notes and a checklist"));
    column->addStretch(1);
    refresh();
}

void TemplateEmptyState::refresh()
{
    const QString path = shownPath(vm_.templatesHome());
    folder_->setToolTip(path);
    folder_->setAccessibleName(QStringLiteral("Templates folder: ") + path);
    folder_->setText(folder_->fontMetrics().elidedText(path, Qt::ElideMiddle, std::max(folder_->width(), 40)));
}

void TemplateEmptyState::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    refresh();
}

}  // namespace flintly
