#include "panels/FileTitleView.h"

#include "document/MarkdownModel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStackedLayout>

namespace flintly {

FileTitleView::FileTitleView(MarkdownModel* model, QWidget* parent) : QWidget(parent), model_(model)
{
    QFont font = this->font();
    font.setPixelSize(12);
    label_ = new QLabel(this);
    label_->setFont(font);
    label_->setAlignment(Qt::AlignCenter);
    label_->setForegroundRole(QPalette::PlaceholderText);  // the secondary text colour
    label_->setCursor(Qt::IBeamCursor);
    label_->setAccessibleName(QStringLiteral("Note name"));
    field_ = new QLineEdit(this);
    field_->setFont(font);
    field_->setFrame(false);
    field_->setMaximumWidth(140);
    field_->setAlignment(Qt::AlignCenter);
    field_->setAttribute(Qt::WA_MacShowFocusRect, false);
    field_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    field_->installEventFilter(this);

    // Shown while saves fail, so the user knows the text is only in memory for now.
    marker_ = new QLabel(QStringLiteral("●"), this);
    marker_->setFont(font);
    marker_->setStyleSheet(QStringLiteral("QLabel { color: #d93a2b; }"));
    marker_->setAccessibleName(QStringLiteral("Not saved"));
    marker_->setToolTip(QStringLiteral("Not saved yet: Flintly keeps trying to save this note."));
    marker_->hide();

    stack_ = new QStackedLayout;
    stack_->addWidget(label_);
    stack_->addWidget(field_);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(4);
    row->addWidget(marker_);
    row->addLayout(stack_);

    if (model_) {
        label_->setText(model_->currentFileName());
        connect(model_, &MarkdownModel::currentFileNameChanged, label_, &QLabel::setText);
        marker_->setVisible(model_->saveFailing());
        connect(model_, &MarkdownModel::saveFailingChanged, marker_, &QLabel::setVisible);
    }
    connect(field_, &QLineEdit::returnPressed, this, &FileTitleView::commit);
    connect(field_, &QLineEdit::editingFinished, this, [this] {
        // Focus moving elsewhere ends editing like Escape: nothing is renamed by accident.
        if (isEditing_ && !field_->hasFocus())
            cancel();
    });
}

QString FileTitleView::draft() const { return field_->text(); }

QString FileTitleView::shownName() const { return label_->text(); }

void FileTitleView::mousePressEvent(QMouseEvent* event)
{
    if (!isEditing_ && event->button() == Qt::LeftButton)
        beginEditing();
    QWidget::mousePressEvent(event);
}

void FileTitleView::beginEditing()
{
    field_->setText(model_ ? model_->currentFileName() : QString());
    setEditing(true);
    field_->setFocus(Qt::MouseFocusReason);
    field_->selectAll();
}

void FileTitleView::commit()
{
    if (!isEditing_)
        return;
    const QString name = field_->text().trimmed();
    setEditing(false);
    if (!name.isEmpty() && model_)
        model_->rename(name);
}

void FileTitleView::cancel() { setEditing(false); }

bool FileTitleView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == field_ && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        cancel();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FileTitleView::setEditing(bool editing)
{
    isEditing_ = editing;
    stack_->setCurrentWidget(editing ? static_cast<QWidget*>(field_) : label_);
}

}  // namespace flintly
