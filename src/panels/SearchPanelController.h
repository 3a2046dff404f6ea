#pragma once

#include <QObject>
#include "document/MarkdownModel.h"

#include <QPointer>

#include <QWidget>

namespace flintly {

class MarkdownModel;

// The quick-open search panel, attached to the note panel. Shared by the toolbar
// button and the menu command so both see one shown/hidden state.
class SearchPanelController : public QObject {
    Q_OBJECT
public:
    static SearchPanelController& shared();

    void configure(MarkdownModel* model);
    MarkdownModel* model() const { return model_; }

    bool isShown() const { return isShown_; }
    void setShown(bool shown) { isShown_ = shown; }

    void show(QWidget* attachedTo);
    void hide();

private:
    QPointer<MarkdownModel> model_;
    QPointer<QWidget> anchor_;
    bool isShown_ = false;
};

}  // namespace flintly
