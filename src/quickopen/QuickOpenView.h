#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
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
// opens the selected note (or creates the one the create row names), a double-click
// opens, a single click selects; Return in the field does nothing, Shift+Return there
// opens or creates the note named by the query. Reopened, the field has the last
// query selected, so typing replaces it.
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
    QLabel* indexStatus() const { return indexStatus_; }
    NoteRowDelegate* delegate() const { return delegate_; }

    void appeared();
    void disappeared();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void syncSelection();
    void showIndexProgress();
    void activate(const QModelIndex& index);
    void clearHover();

    QPointer<QuickOpenModel> browser_;
    QLineEdit* field_ = nullptr;
    QListView* list_ = nullptr;
    NoteListModel* listModel_ = nullptr;
    NoteRowDelegate* delegate_ = nullptr;
    FolderChipRow* chips_ = nullptr;
    SortChip* sortChip_ = nullptr;
    QLabel* indexStatus_ = nullptr;
    bool syncing_ = false;
};

}  // namespace flintly
