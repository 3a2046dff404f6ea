#include "document/AutosaveService.h"

#include "document/MarkdownModel.h"
#include "platform/Log.h"
#include "platform/MainThread.h"

#include <cmath>

namespace flintly {

AutosaveService::AutosaveService(MarkdownModel* model, double intervalSeconds, QObject* parent, TimeSource* time)
    : QObject(parent), model_(model)
{
    debouncer_ = new Debouncer(
        static_cast<int>(std::lround(intervalSeconds * 1000)), [this] { fire(); }, this, time);
    // Only changes after this moment count: the text current now is not "new".
    // textChanged fires for real changes only, so equal values never restart the wait.
    if (model)
        cancellable_ = connect(model, &MarkdownModel::textChanged, this, [this] { debouncer_->trigger(); });
}

void AutosaveService::fire()
{
    if (!model_)
        return;
    try {
        model_->save();
    } catch (const std::exception& e) {
        log("❌ Autosave failed:", e.what());
    }
}

}  // namespace flintly
