#include "analytics/SuperProperties.h"

#include "analytics/AnalyticsPersistence.h"

#include <algorithm>

namespace flintly::analytics {

void SuperProperties::restore(AnalyticsPersistence& persistence)
{
    persistence_ = &persistence;
    values_ = persistence.loadSuperProperties();
}

void SuperProperties::merge(const Properties& properties)
{
    values_.update(properties);
    save();
}

void SuperProperties::remove(const std::string& name)
{
    values_.erase(name);
    save();
}

void SuperProperties::clear()
{
    values_ = Properties::object();
    save();
}

void SuperProperties::addGroupId(const std::string& groupKey, const Value& groupID)
{
    auto& ids = values_[groupKey];
    if (!ids.is_array())
        ids = ids.is_null() ? nlohmann::json::array() : nlohmann::json::array({ids});
    if (std::find(ids.begin(), ids.end(), groupID) == ids.end())
        ids.push_back(groupID);
    save();
}

void SuperProperties::removeGroupId(const std::string& groupKey, const Value& groupID)
{
    const auto it = values_.find(groupKey);
    if (it == values_.end())
        return;
    if (it->is_array()) {
        auto& ids = *it;
        ids.erase(std::remove(ids.begin(), ids.end(), groupID), ids.end());
        if (ids.empty())
            values_.erase(groupKey);
    } else if (*it == groupID) {
        values_.erase(groupKey);
    }
    save();
}

void SuperProperties::save()
{
    if (persistence_)
        persistence_->saveSuperProperties(values_);
}

}  // namespace flintly::analytics
