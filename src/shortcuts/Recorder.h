#pragma once

#include "shortcuts/RecorderControl.h"

#include <QWidget>

class QLabel;

namespace flintly::shortcuts {

// A recorder for embedding in a form: the control, with an optional label before it
// ("Note Window Shortcut").
class Recorder : public QWidget {
    Q_OBJECT
public:
    Recorder(const Name& name, RecorderControl::OnChange onChange = {}, const QString& label = {},
             RecorderServices services = RecorderServices::standard(), QWidget* parent = nullptr);

    void setName(const Name& name) { control_->setShortcutName(name); }
    bool hasLabel() const { return label_ != nullptr; }
    RecorderControl* control() const { return control_; }

private:
    QLabel* label_ = nullptr;
    RecorderControl* control_;
};

}  // namespace flintly::shortcuts
