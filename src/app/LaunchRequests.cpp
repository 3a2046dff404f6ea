#include "app/LaunchRequests.h"

#include "app/AppDelegate.h"
#include "document/MarkdownModel.h"
#include "document/TextDecoding.h"
#include "platform/Log.h"

#include <utility>

namespace flintly {

LaunchRequests::LaunchRequests(Dependencies deps, QObject* parent) : QObject(parent), deps_(std::move(deps))
{
    connect(deps_.delegate, &AppDelegate::notesFolderRestored, this, [this] {
        for (auto& [text, answer] : std::exchange(waitingAppends_, {}))
            answer(appendToNote(*deps_.model, text));
    });
}

void LaunchRequests::handle(const InstanceRequest& request, SingleInstance::Answer answer)
{
    using Kind = InstanceRequest::Kind;
    switch (request.kind) {
    case Kind::toggle: deps_.delegate->togglePanel({0, request.activationToken}); break;
    case Kind::show: deps_.delegate->showPanel({0, request.activationToken}); break;
    case Kind::open:
        if (deps_.openNote) {
            if (const QString why = deps_.openNote(request.argument, request.activationToken); !why.isEmpty()) {
                answer({false, QStringLiteral("cannot open %1: %2").arg(request.argument, why), true});
                return;
            }
        }
        break;
    case Kind::hidden: break;
    case Kind::append:
        if (!deps_.delegate->hasRestoredNotesFolder()) {
            waitingAppends_.emplace_back(request.argument, std::move(answer));
            return;
        }
        answer(appendToNote(*deps_.model, request.argument));
        return;
    }
    answer({});
}

InstanceAnswer LaunchRequests::appendToNote(MarkdownModel& model, const QString& text)
{
    if (model.saveFolder().isEmpty())
        return {false, QStringLiteral("Flintly has no notes folder yet; choose one in its window first"), true};
    model.appendText(text);
    try {
        model.save();
    } catch (const std::exception& e) {
        log("🚨 Text from the command line is in the note but could not be saved:", e.what());
        return {false,
                QStringLiteral("the text is in the open note, but saving it failed (%1); Flintly keeps trying")
                    .arg(QString::fromUtf8(e.what())),
                true};
    }
    log("📥 Added from the command line:", graphemeCount(text), "characters to", model.filePath());
    return {};
}

}  // namespace flintly
