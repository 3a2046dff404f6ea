#include "shortcuts/Recorder.h"

#include <QHBoxLayout>
#include <QLabel>

namespace flintly::shortcuts {

Recorder::Recorder(const Name& name, RecorderControl::OnChange onChange, const QString& label,
                   RecorderServices services, QWidget* parent)
    : QWidget(parent), control_(new RecorderControl(name, std::move(onChange), services, this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (!label.isEmpty()) {
        label_ = new QLabel(label, this);
        label_->setBuddy(control_);
        layout->addWidget(label_);
    }
    layout->addWidget(control_);
}

}  // namespace flintly::shortcuts
