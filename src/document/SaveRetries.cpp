#include "document/SaveRetries.h"

#include "platform/Log.h"
#include "platform/TimeSource.h"

#include <algorithm>

namespace flintly {

SaveRetries::SaveRetries(TimeSource& time, std::function<void()> save, QObject* parent) : QObject(parent)
{
    retry_ = time.createTimer(save);
    ceiling_ = time.createTimer(save);
}

SaveRetries::~SaveRetries() = default;

void SaveRetries::edited()
{
    if (!ceiling_->isActive())
        ceiling_->start(kCeilingMs);
}

void SaveRetries::settled()
{
    retry_->stop();
    ceiling_->stop();
    nextRetryMs_ = kFirstRetryMs;
    setFailing(false);
}

void SaveRetries::failed(const QString& reason)
{
    const bool first = !failing_;
    setFailing(true);
    if (!retry_->isActive()) {
        log(QStringLiteral("❌ 저장 실패 - %1초 후 다시 시도:").arg(nextRetryMs_ / 1000), reason);
        retry_->start(nextRetryMs_);
        nextRetryMs_ = std::min(nextRetryMs_ * 2, kLongestRetryMs);
    }
    if (first)
        emit startedFailing(reason);
}

void SaveRetries::setFailing(bool failing)
{
    if (failing == failing_)
        return;
    failing_ = failing;
    emit failingChanged(failing);
}

}  // namespace flintly
