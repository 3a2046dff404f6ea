#pragma once

#include <QAbstractButton>

#include <functional>

namespace flintly {

// A 24 × 24 symbol button of the note panel's toolbar: the symbol in the secondary
// text colour, and a faint rounded background while the pointer is over it.
class ToolbarButton : public QAbstractButton {
    Q_OBJECT
public:
    ToolbarButton(const QString& systemName, const QString& tooltip, std::function<void()> action,
                  QWidget* parent = nullptr);

    QString systemName() const { return systemName_; }
    bool isButtonHovered() const { return isButtonHovered_; }
    QSize sizeHint() const override { return {24, 24}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString systemName_;
    std::function<void()> action_;
    bool isButtonHovered_ = false;
};

}  // namespace flintly
