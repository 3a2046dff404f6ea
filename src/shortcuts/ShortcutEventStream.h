#pragma once

#include <QObject>
#include <QUuid>

#include <functional>
#include <optional>

namespace flintly::shortcuts {

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
    friend class ShortcutListeners;
    // `ended` runs when the stream is destroyed, unless the listeners cleared it first.
    ShortcutEventStream(std::optional<EventType> filter, std::function<void(const QUuid&)> ended);
    void yield(EventType type);

    std::function<void(const QUuid&)> ended_;
    QUuid id_;
    std::optional<EventType> filter_;
};

}  // namespace flintly::shortcuts
