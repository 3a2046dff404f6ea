#include "panels/SearchPanelController.h"

#include "document/MarkdownModel.h"

namespace flintly {

SearchPanelController& SearchPanelController::shared()
{
    static auto* controller = new SearchPanelController;
    return *controller;
}

void SearchPanelController::configure(MarkdownModel* model) { model_ = model; }

// The panel's window and the quick-open list arrive with the note browser; until then
// showing and hiding only keep the anchor.
void SearchPanelController::show(QWidget* attachedTo) { anchor_ = attachedTo; }

void SearchPanelController::hide() { anchor_ = nullptr; }

}  // namespace flintly
