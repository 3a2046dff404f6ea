#include "analytics/Analytics.h"

#include "analytics/AnalyticsLogger.h"

#include <map>
#include <mutex>

namespace flintly::analytics::Analytics {

namespace {
struct Registry {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<AnalyticsInstance>> instances;
    std::shared_ptr<AnalyticsInstance> main;
};

Registry& registry()
{
    static Registry r;
    return r;
}
}  // namespace

std::shared_ptr<AnalyticsInstance> initialize(InstanceOptions options)
{
    const std::string name = options.instanceName.value_or(options.token);
    std::lock_guard lock(registry().mutex);
    auto& slot = registry().instances[name];
    if (!slot)
        slot = std::make_shared<AnalyticsInstance>(std::move(options));
    registry().main = slot;
    return slot;
}

std::shared_ptr<AnalyticsInstance> mainInstance()
{
    {
        std::lock_guard lock(registry().mutex);
        if (registry().main)
            return registry().main;
    }
    return initialize(InstanceOptions{});
}

std::shared_ptr<AnalyticsInstance> safeMainInstance()
{
    std::lock_guard lock(registry().mutex);
    if (!registry().main)
        ANALYTICS_WARNING("WARNING: Analytics main instance is NOT initialized. Call Analytics.initialize(...) first.");
    return registry().main;
}

std::shared_ptr<AnalyticsInstance> getInstance(const std::string& name)
{
    std::lock_guard lock(registry().mutex);
    const auto it = registry().instances.find(name);
    if (it == registry().instances.end()) {
        ANALYTICS_WARNING("no such instance: " + name);
        return nullptr;
    }
    return it->second;
}

void setMainInstance(const std::string& name)
{
    std::lock_guard lock(registry().mutex);
    const auto it = registry().instances.find(name);
    if (it != registry().instances.end())
        registry().main = it->second;
}

void removeInstance(const std::string& name)
{
    std::shared_ptr<AnalyticsInstance> removed;
    {
        std::lock_guard lock(registry().mutex);
        const auto it = registry().instances.find(name);
        if (it == registry().instances.end())
            return;
        removed = std::move(it->second);
        registry().instances.erase(it);
        if (registry().main == removed)
            registry().main.reset();
    }
    // Destroyed (queues drained) outside the lock.
}

void shutdown()
{
    std::map<std::string, std::shared_ptr<AnalyticsInstance>> ending;
    {
        std::lock_guard lock(registry().mutex);
        ending.swap(registry().instances);
        registry().main.reset();
    }
    // Each destructor drains its queues; a holder elsewhere would keep its client alive
    // past this point, which nothing in the app does.
    ending.clear();
}

}  // namespace flintly::analytics::Analytics
