#pragma once

#include "browser/NoteIndex.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>

namespace flintly {

// One folder walk at a time off the GUI thread: starting another cancels the one
// running (its result is dropped), and only the latest delivers its notes, sorted, on
// the thread of the context object.
class BackgroundScan {
public:
    using Background = std::function<void(std::function<void()>)>;
    using Done = std::function<void(std::shared_ptr<NoteIndex>)>;

    BackgroundScan(Background background, std::function<void()> pause);
    ~BackgroundScan() { cancel(); }

    void start(const QString& folder, SortMode mode, QObject* context, Done done);
    void cancel();
    bool isRunning() const { return cancelled_ != nullptr; }

private:
    Background background_;
    std::function<void()> pause_;
    quint64 generation_ = 0;
    std::shared_ptr<std::atomic<bool>> cancelled_;
};

}  // namespace flintly
