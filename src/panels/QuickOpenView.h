#pragma once

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QListView;

namespace flintly {

class FolderChipRow;
class NoteListModel;
class NoteRowDelegate;
class QuickOpenModel;
class SortChip;

// The quick-open browser inside the search panel: the search field with the sort
// chip, the pinned-folder chips, and the note list (one list view, rows painted by a
// delegate). Keys: Down in the field moves into the list, Return or Enter in the list
// opens the selected note, a double-click opens, a single click selects; Return in
// the field does nothing.
class QuickOpenView : public QWidget {
    Q_OBJECT
public:
    QuickOpenView(QuickOpenModel* browser, int topPadding, QWidget* parent = nullptr);
    ~QuickOpenView() override;

    QuickOpenModel* browser() const;
    QLineEdit* searchField() const { return field_; }
    QListView* list() const { return list_; }
    NoteListModel* listModel() const { return listModel_; }
    FolderChipRow* chips() const { return chips_; }
    SortChip* sortChip() const { return sortChip_; }
    NoteRowDelegate* delegate() const { return delegate_; }

    void appeared();
    void disappeared();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void syncSelection();
    void clearHover();

    QPointer<QuickOpenModel> browser_;
    QLineEdit* field_ = nullptr;
    QListView* list_ = nullptr;
    NoteListModel* listModel_ = nullptr;
    NoteRowDelegate* delegate_ = nullptr;
    FolderChipRow* chips_ = nullptr;
    SortChip* sortChip_ = nullptr;
    bool syncing_ = false;
};

}  // namespace flintly
