#include "notepanel/FileTitleView.h"

#include "document/MarkdownModel.h"
#include "widgets/FocusRing.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStackedLayout>

namespace flintly {

FileTitleView::FileTitleView(MarkdownModel* model, QWidget* parent) : QWidget(parent), model_(model)
{
    QFont font = this->font();
    font.setPixelSize(12);
    setFocusPolicy(Qt::TabFocus);
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
        describe(model_->currentFileName());
        connect(model_, &MarkdownModel::currentFileNameChanged, label_, &QLabel::setText);
        connect(model_, &MarkdownModel::currentFileNameChanged, this, &FileTitleView::describe);
        marker_->setVisible(model_->saveFailing());
        connect(model_, &MarkdownModel::saveFailingChanged, marker_, &QLabel::setVisible);
    }
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

void FileTitleView::describe(const QString& name)
{
    setAccessibleName(QStringLiteral("Note name: ") + name);
    setAccessibleDescription(QStringLiteral("Return renames the note"));
}

void FileTitleView::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (!isEditing_ && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space || key == Qt::Key_F2)) {
        beginEditing();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FileTitleView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    drawFocusRing(p, *this, QRectF(rect()), 5);
}

void FileTitleView::beginEditing()
{
    focusBefore_ = QApplication::focusWidget();
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
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        // Taken here, not from returnPressed: the field lets Return on to its parent,
        // which would start editing again.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            cancel();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            commit();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FileTitleView::setEditing(bool editing)
{
    // Hiding the focused field would hand the keyboard to whatever comes next in the
    // chain (a toolbar button): it goes back where it was before instead.
    const bool hadKeyboard = !editing && field_->hasFocus();
    isEditing_ = editing;
    stack_->setCurrentWidget(editing ? static_cast<QWidget*>(field_) : label_);
    if (hadKeyboard && focusBefore_ && focusBefore_ != field_)
        focusBefore_->setFocus(Qt::OtherFocusReason);
}

}  // namespace flintly
