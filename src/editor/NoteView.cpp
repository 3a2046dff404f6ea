#include "editor/NoteView.h"

#include "document/MarkdownModel.h"
#include "editor/VisualEffectBlur.h"
#include "platform/Log.h"

#include <QPainter>
#include <QShowEvent>

namespace flintly {

class NoteView::Tint : public QWidget {
public:
    explicit Tint(NoteView* owner) : QWidget(owner), owner_(owner)
    {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), owner_->tintColor());
    }

private:
    NoteView* owner_;
};

NoteView::NoteView(MarkdownModel& model, QWidget* parent) : NoteView(model, WebView::Options{}, parent) {}

NoteView::NoteView(MarkdownModel& model, WebView::Options options, QWidget* parent) : QWidget(parent), model_(model)
{
    setAttribute(Qt::WA_TranslucentBackground);
    // Back to front: material, tint, editor.
    background_ = new VisualEffectBlur(VisualEffectBlur::Material::underWindowBackground, this);
    tint_ = new Tint(this);
    editor_ = new WebView(model_, options, this);
    setMinimumSize(kWidth, kMinimumHeight);
    setMaximumWidth(kWidth);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

void NoteView::setColorScheme(ColorScheme scheme)
{
    if (scheme == cs_)
        return;
    cs_ = scheme;
    // Only the painted layers change; the editor keeps its page.
    tint_->update();
    background_->update();
}

QColor NoteView::tintColor() const
{
    return cs_ == ColorScheme::dark ? QColor(0, 0, 0, qRound(255 * 0.30)) : QColor(255, 255, 255, qRound(255 * 0.10));
}

QSize NoteView::sizeHint() const { return {kWidth, kMinimumHeight}; }

void NoteView::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        log("🪵 NoteView sees →", model_.debugIDString());
    QWidget::showEvent(event);
}

void NoteView::resizeEvent(QResizeEvent* event)
{
    background_->setGeometry(rect());
    tint_->setGeometry(rect());
    editor_->setGeometry(rect().marginsRemoved(kEditorPadding));
    QWidget::resizeEvent(event);
}

}  // namespace flintly
