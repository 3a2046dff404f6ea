#include "analytics/TimedEvents.h"

#include "analytics/AnalyticsPersistence.h"

#include <utility>

namespace flintly::analytics {

void TimedEvents::restore(AnalyticsPersistence& persistence)
{
    persistence_ = &persistence;
    starts_ = persistence.loadTimedEvents();
}

void TimedEvents::start(const std::string& event, double startTime)
{
    starts_[event] = startTime;
    save();
}

void TimedEvents::clear(const std::string& event)
{
    starts_.erase(event);
    save();
}

void TimedEvents::clearAll()
{
    starts_.clear();
    save();
}

std::optional<double> TimedEvents::take(const std::string& event)
{
    const auto it = starts_.find(event);
    if (it == starts_.end())
        return std::nullopt;
    const double start = it->second;
    starts_.erase(it);
    taken_ = true;
    return start;
}

void TimedEvents::saveTaken()
{
    // Most events are not timed: rewriting an unchanged suite file for each would cost
    // a sync to disk every time.
    if (std::exchange(taken_, false))
        save();
}

void TimedEvents::save()
{
    taken_ = false;
    if (persistence_)
        persistence_->saveTimedEvents(starts_);
}

}  // namespace flintly::analytics
