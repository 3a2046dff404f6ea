#pragma once

#include "shortcuts/Name.h"
#include "shortcuts/ShortcutEventStream.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

namespace flintly::shortcuts {

// Who listens to which name: actions run on a press or a release for as long as their
// context lives, and event streams. It knows names only; which shortcut a name has and
// whether its hotkey stays grabbed is for the owner to decide when it hears, through
// `released`, that some listeners of a name went.
class ShortcutListeners : public QObject {
public:
    using Released = std::function<void(const QSet<Name>& names)>;

    explicit ShortcutListeners(Released released, QObject* parent = nullptr);
    ~ShortcutListeners() override;

    // Without a context the action lives as long as these listeners.
    void add(EventType type, const Name& name, QObject* context, std::function<void()> action);
    std::unique_ptr<ShortcutEventStream> stream(std::optional<EventType> filter, const Name& name);
    // Drops every action (streams stay); returns the names that had any.
    QSet<Name> dropActions();

    // Every name something listens to.
    QSet<Name> names() const;
    // Runs the actions, then feeds the streams, of the names `matches` picks.
    void notify(EventType type, const std::function<bool(const Name&)>& matches);

private:
    struct Action {
        QPointer<QObject> context;
        // Only compared, never used: tells whose actions to drop when a context goes.
        const QObject* owner = nullptr;
        std::function<void()> run;
    };
    using ActionTable = QHash<Name, QList<Action>>;
    using StreamTable = QHash<Name, QHash<QUuid, QPointer<ShortcutEventStream>>>;

    // Drops the actions of a destroyed context (and of any other context gone meanwhile).
    void dropActionsOf(const QObject* context);
    void endStream(const QUuid& id);

    Released released_;
    ActionTable keyDownActions_;
    ActionTable keyUpActions_;
    StreamTable keyDownStreams_;
    StreamTable keyUpStreams_;
};

}  // namespace flintly::shortcuts
