#include "support/ManualTime.h"

#include <algorithm>

namespace flintly::test {

struct ManualTime::Entry {
    std::function<void()> fire;
    QDateTime deadline;
    bool active = false;
    bool once = false;  // runAfter: dropped after it ran
    QPointer<QObject> context;
    bool hasContext = false;
    quint64 order = 0;
};

namespace {
quint64 nextOrder()
{
    static quint64 n = 0;
    return ++n;
}

class ManualTimer final : public OneShotTimer {
public:
    ManualTimer(ManualTime& time, std::shared_ptr<ManualTime::Entry> entry) : time_(time), entry_(std::move(entry)) {}
    ~ManualTimer() override
    {
        entry_->active = false;
        entry_->fire = nullptr;
    }
    void start(int ms) override
    {
        entry_->deadline = time_.now().addMSecs(ms);
        entry_->order = nextOrder();
        entry_->active = true;
    }
    void stop() override { entry_->active = false; }
    bool isActive() const override { return entry_->active; }

private:
    ManualTime& time_;
    std::shared_ptr<ManualTime::Entry> entry_;
};
}  // namespace

ManualTime::ManualTime(QDateTime start) : now_(std::move(start)) {}

ManualTime::~ManualTime() = default;

std::unique_ptr<OneShotTimer> ManualTime::createTimer(std::function<void()> fire)
{
    auto entry = std::make_shared<Entry>();
    entry->fire = std::move(fire);
    entries_.push_back(entry);
    return std::make_unique<ManualTimer>(*this, entry);
}

void ManualTime::runAfter(int ms, QObject* context, std::function<void()> fn)
{
    if (!context)
        return;
    auto entry = std::make_shared<Entry>();
    entry->fire = std::move(fn);
    entry->deadline = now_.addMSecs(ms);
    entry->active = true;
    entry->once = true;
    entry->context = context;
    entry->hasContext = true;
    entry->order = nextOrder();
    entries_.push_back(entry);
}

qint64 ManualTime::nextDeadlineIn() const
{
    qint64 best = -1;
    for (const auto& e : entries_)
        if (e->active && e->fire) {
            const qint64 in = std::max<qint64>(0, now_.msecsTo(e->deadline));
            if (best < 0 || in < best)
                best = in;
        }
    return best;
}

void ManualTime::advance(int ms)
{
    const QDateTime target = now_.addMSecs(ms);
    for (;;) {
        entries_.remove_if([](const std::shared_ptr<Entry>& e) { return !e->fire || (e->once && !e->active); });
        std::shared_ptr<Entry> due;
        for (const auto& e : entries_)
            if (e->active && e->deadline <= target
                && (!due || e->deadline < due->deadline || (e->deadline == due->deadline && e->order < due->order)))
                due = e;
        if (!due)
            break;
        if (due->deadline > now_)
            now_ = due->deadline;
        due->active = false;
        if (due->hasContext && !due->context)
            continue;
        auto fire = due->fire;  // the timer may be destroyed while it runs
        fire();
    }
    now_ = target;
}

}  // namespace flintly::test
