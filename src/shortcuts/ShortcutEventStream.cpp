#include "shortcuts/ShortcutEventStream.h"

#include <utility>

namespace flintly::shortcuts {

ShortcutEventStream::ShortcutEventStream(std::optional<EventType> filter, std::function<void(const QUuid&)> ended)
    : ended_(std::move(ended)), id_(QUuid::createUuid()), filter_(filter)
{}

ShortcutEventStream::~ShortcutEventStream()
{
    if (ended_)
        ended_(id_);
}

void ShortcutEventStream::yield(EventType type)
{
    if (!filter_ || *filter_ == type)
        emit received(type);
}

}  // namespace flintly::shortcuts
