#include "shortcuts/ShortcutListeners.h"

#include <iterator>
#include <utility>

namespace flintly::shortcuts {

ShortcutListeners::ShortcutListeners(Released released, QObject* parent)
    : QObject(parent), released_(std::move(released))
{}

ShortcutListeners::~ShortcutListeners()
{
    // Streams outliving us end quietly instead of calling back into a dead object.
    for (const StreamTable* table : {&keyDownStreams_, &keyUpStreams_})
        for (const auto& streams : *table)
            for (const auto& stream : streams)
                if (stream)
                    stream->ended_ = nullptr;
}

void ShortcutListeners::add(EventType type, const Name& name, QObject* context, std::function<void()> action)
{
    QObject* owner = context ? context : this;
    ActionTable& table = type == EventType::keyDown ? keyDownActions_ : keyUpActions_;
    table[name].append(Action{owner, owner, std::move(action)});
    // A listener that is gone must not keep its key grabbed from every other program
    // until the app exits.
    if (owner != this)
        connect(owner, &QObject::destroyed, this, [this](QObject* gone) { dropActionsOf(gone); });
}

std::unique_ptr<ShortcutEventStream> ShortcutListeners::stream(std::optional<EventType> filter, const Name& name)
{
    std::unique_ptr<ShortcutEventStream> stream(
        new ShortcutEventStream(filter, [self = QPointer(this)](const QUuid& id) {
            if (self)
                self->endStream(id);
        }));
    keyDownStreams_[name].insert(stream->id(), stream.get());
    keyUpStreams_[name].insert(stream->id(), stream.get());
    return stream;
}

QSet<Name> ShortcutListeners::dropActions()
{
    QSet<Name> names;
    for (const ActionTable* table : {&keyDownActions_, &keyUpActions_})
        for (auto it = table->keyBegin(); it != table->keyEnd(); ++it)
            names.insert(*it);
    keyDownActions_.clear();
    keyUpActions_.clear();
    return names;
}

QSet<Name> ShortcutListeners::names() const
{
    // A name stays in a table only while its list has an entry.
    QSet<Name> names;
    for (const ActionTable* table : {&keyDownActions_, &keyUpActions_})
        for (auto it = table->keyBegin(); it != table->keyEnd(); ++it)
            names.insert(*it);
    for (const StreamTable* table : {&keyDownStreams_, &keyUpStreams_})
        for (auto it = table->keyBegin(); it != table->keyEnd(); ++it)
            names.insert(*it);
    return names;
}

void ShortcutListeners::dropActionsOf(const QObject* context)
{
    QSet<Name> dropped;
    for (ActionTable* table : {&keyDownActions_, &keyUpActions_}) {
        for (auto it = table->begin(); it != table->end();) {
            if (it->removeIf([context](const Action& action) { return action.owner == context || !action.context; })
                > 0)
                dropped.insert(it.key());
            it = it->isEmpty() ? table->erase(it) : std::next(it);
        }
    }
    if (!dropped.isEmpty() && released_)
        released_(dropped);
}

void ShortcutListeners::endStream(const QUuid& id)
{
    std::optional<Name> owner;
    for (StreamTable* table : {&keyDownStreams_, &keyUpStreams_}) {
        for (auto it = table->begin(); it != table->end();) {
            if (it->remove(id))
                owner = it.key();
            it = it->isEmpty() ? table->erase(it) : std::next(it);
        }
    }
    if (owner && released_)
        released_({*owner});
}

void ShortcutListeners::notify(EventType type, const std::function<bool(const Name&)>& matches)
{
    QPointer<ShortcutListeners> self(this);
    const ActionTable& actions = type == EventType::keyDown ? keyDownActions_ : keyUpActions_;
    QList<Action> toRun;
    for (auto it = actions.cbegin(); it != actions.cend(); ++it)
        if (matches(it.key()))
            toRun += it.value();
    // Collected first: an action may add or remove listeners (or close the app).
    for (const Action& action : toRun)
        if (action.context && action.run)
            action.run();
    if (!self)
        return;

    const StreamTable& streams = type == EventType::keyDown ? keyDownStreams_ : keyUpStreams_;
    QList<QPointer<ShortcutEventStream>> receivers;
    for (auto it = streams.cbegin(); it != streams.cend(); ++it)
        if (matches(it.key()))
            receivers += it.value().values();
    for (const auto& stream : receivers)
        if (stream)
            stream->yield(type);
}

}  // namespace flintly::shortcuts
