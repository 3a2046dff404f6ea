#pragma once

#include "platform/Log.h"

#include <QStringList>

#include <mutex>

namespace flintly::test {

// Collects the log lines printed while it lives (they are still printed).
class LogCapture {
public:
    LogCapture()
    {
        previous_ = setLogObserver([this](const QString& line) {
            std::lock_guard lock(mutex_);
            lines_.append(line);
        });
    }
    ~LogCapture() { setLogObserver(std::move(previous_)); }

    QStringList lines() const
    {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    bool contains(const QString& line) const { return lines().contains(line); }
    bool containsPrefix(const QString& prefix) const
    {
        for (const QString& l : lines())
            if (l.startsWith(prefix))
                return true;
        return false;
    }
    int count(const QString& line) const { return static_cast<int>(lines().count(line)); }
    void clear()
    {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

private:
    mutable std::mutex mutex_;
    QStringList lines_;
    LogObserver previous_;
};

}  // namespace flintly::test
