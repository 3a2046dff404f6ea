#pragma once

#include <QWidget>

namespace flintly {

// The rounded group behind a settings section's rows, as a grouped form draws it.
class FormGroup : public QWidget {
public:
    explicit FormGroup(QWidget* parent = nullptr) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace flintly
