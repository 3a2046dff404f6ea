#pragma once

#include "document/MarkdownModel.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QStackedLayout;

namespace flintly {

class MarkdownModel;

// The note's name in the middle of the toolbar. A click (or Return, Space or F2 when Tab
// brought the focus here) turns it into a field: Return renames the file (trimmed; an
// empty name changes nothing), Escape discards the draft. Either way the keyboard goes
// back where it was before.
class FileTitleView : public QWidget {
    Q_OBJECT
public:
    explicit FileTitleView(MarkdownModel* model, QWidget* parent = nullptr);

    bool isEditing() const { return isEditing_; }
    QString draft() const;
    QString shownName() const;
    QLineEdit* field() const { return field_; }
    // The "not saved" mark beside the name, visible while saving fails.
    QLabel* unsavedMarker() const { return marker_; }

    void beginEditing();
    void commit();
    void cancel();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setEditing(bool editing);
    void describe(const QString& name);

    QPointer<MarkdownModel> model_;
    bool isEditing_ = false;
    QLabel* label_ = nullptr;
    QLabel* marker_ = nullptr;
    QLineEdit* field_ = nullptr;
    QStackedLayout* stack_ = nullptr;
    QPointer<QWidget> focusBefore_;  // the editor, or this view; either may go first
};

}  // namespace flintly
