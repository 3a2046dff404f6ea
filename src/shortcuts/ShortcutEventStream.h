#pragma once

#include <QObject>
#include <QPointer>
#include <QUuid>

#include <optional>

namespace flintly::shortcuts {

class GlobalShortcuts;

enum class EventType { keyDown, keyUp };

// The presses and releases of one name's shortcut, as a signal, for as long as the
// stream lives; destroying it ends the subscription (and releases the hotkey when
// nothing else listens for it).
class ShortcutEventStream : public QObject {
    Q_OBJECT
public:
    ~ShortcutEventStream() override;

    QUuid id() const { return id_; }
    std::optional<EventType> filter() const { return filter_; }

signals:
    void received(flintly::shortcuts::EventType type);

private:
    friend class GlobalShortcuts;
    ShortcutEventStream(GlobalShortcuts* owner, std::optional<EventType> filter);
    void yield(EventType type);

    QPointer<GlobalShortcuts> owner_;
    QUuid id_;
    std::optional<EventType> filter_;
};

}  // namespace flintly::shortcuts
