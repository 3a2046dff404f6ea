#pragma once

#include <QUrl>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListView;
class QStackedWidget;

namespace flintly {

class TemplateEmptyState;
class TemplateListModel;
class TemplatePanelViewModel;

// The template browser: folder chips, the search field and the list of the current
// folder's templates, or, while the folder has none, what templates are and how to
// make some. A click on a row, or Return on the selected row, inserts that template.
// Below, the variables a template may use. All state beyond focus and selection is
// the view model's.
class TemplatePanelView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kContentWidth = 336;
    static constexpr int kContentHeight = 300;
    static constexpr int kSpacing = 12;
    static constexpr int kTopPadding = 18;
    static constexpr int kBottomPadding = 4;
    static constexpr int kChipSpacing = 6;

    explicit TemplatePanelView(TemplatePanelViewModel& vm, QWidget* parent = nullptr);

    // Each time the panel appears: the first template highlighted, the field focused.
    void appear();
    // The search field hands the keyboard to the list, highlighting the first template
    // when nothing is.
    void moveIntoList();
    // The window's bare Down arrow: out of the field into the list, or one row down.
    void navigateDown();

    QUrl selection() const { return selection_; }
    void setSelection(const QUrl& url);

    QLineEdit* searchField() const { return searchField_; }
    QListView* list() const { return list_; }
    QWidget* chipRow() const { return chipRow_; }
    TemplateEmptyState* emptyState() const { return emptyState_; }
    QLabel* variablesHint() const { return variablesHint_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuildChips();
    void keepSelectionAfterReset();
    void showListOrEmptyState();
    void insert(const QUrl& url);

    TemplatePanelViewModel& vm_;
    TemplateListModel* listModel_ = nullptr;
    QWidget* chipRow_ = nullptr;
    QHBoxLayout* chipLayout_ = nullptr;
    QLineEdit* searchField_ = nullptr;
    QListView* list_ = nullptr;
    QStackedWidget* listOrEmpty_ = nullptr;
    TemplateEmptyState* emptyState_ = nullptr;
    QLabel* variablesHint_ = nullptr;
    QUrl selection_;
};

}  // namespace flintly
