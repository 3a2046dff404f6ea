#pragma once

#include "browser/QuickOpenModel.h"

#include <QTimer>

namespace flintly {

// The quick-open debounce on a Qt timer.
class DebounceTimer final : public QueryTimer {
public:
    explicit DebounceTimer(int intervalMs);
    void start(std::function<void()> fire) override;
    void cancel() override;

private:
    QTimer timer_;
    std::function<void()> fire_;
};

}  // namespace flintly
