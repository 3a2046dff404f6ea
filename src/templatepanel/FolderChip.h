#pragma once

#include <QAbstractButton>
#include <QUrl>

#include <functional>

namespace flintly {

// One template folder in the panel's chip row: its name on a rounded background,
// tinted when it is the folder being listed, its full path as the tooltip, and a small
// remove button at the top-trailing corner while the pointer is over it.
class FolderChip : public QAbstractButton {
    Q_OBJECT
public:
    FolderChip(const QUrl& url, bool selected, std::function<void()> tap, std::function<void()> remove,
               QWidget* parent = nullptr);

    QUrl url() const { return url_; }
    bool isSelected() const { return selected_; }
    bool isHovering() const { return hovering_; }
    QAbstractButton* removeButton() const { return removeButton_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setHovering(bool hovering);

    QUrl url_;
    bool selected_ = false;
    bool hovering_ = false;
    QAbstractButton* removeButton_ = nullptr;
    std::function<void()> remove_;
};

}  // namespace flintly
