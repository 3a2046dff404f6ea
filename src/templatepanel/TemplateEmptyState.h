#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace flintly {

class TemplatePanelViewModel;

// What the template panel shows while its folder has no templates: what templates are,
// where they live, and three ways to make some.
class TemplateEmptyState : public QWidget {
    Q_OBJECT
public:
    explicit TemplateEmptyState(TemplatePanelViewModel& vm, QWidget* parent = nullptr);

    QLabel* folderLabel() const { return folder_; }
    QPushButton* newTemplateButton() const { return newTemplate_; }
    QPushButton* openFolderButton() const { return openFolder_; }
    QPushButton* addStartersButton() const { return addStarters_; }

    // Says where templates live now (the folder may change while shown).
    void refresh();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    TemplatePanelViewModel& vm_;
    QLabel* folder_ = nullptr;
    QPushButton* newTemplate_ = nullptr;
    QPushButton* openFolder_ = nullptr;
    QPushButton* addStarters_ = nullptr;
};

// The line under the panel's list naming the variables a template may use.
QString templateVariablesHint();

}  // namespace flintly
