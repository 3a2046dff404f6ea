#include "browser/BackgroundScan.h"

#include "browser/FolderScanner.h"
#include "platform/MainThread.h"

namespace flintly {

BackgroundScan::BackgroundScan(Background background, std::function<void()> pause)
    : background_(std::move(background)), pause_(std::move(pause))
{}

void BackgroundScan::cancel()
{
    if (cancelled_)
        cancelled_->store(true);
    cancelled_.reset();
    ++generation_;
}

void BackgroundScan::start(const QString& folder, SortMode mode, QObject* context, Done done)
{
    cancel();
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    cancelled_ = cancelled;
    const quint64 generation = generation_;
    QPointer<QObject> target(context);
    background_([this, target, cancelled, generation, folder, mode, pause = pause_, done = std::move(done)] {
        ScanControl control;
        control.pause = pause;
        control.cancelled = cancelled.get();
        std::vector<FileInfo> found = scanFolder(folder, control);
        if (cancelled->load())
            return;
        std::shared_ptr<NoteIndex> index = NoteIndex::sortedBy(std::move(found), mode);
        runOnMainThread([this, target, cancelled, generation, index, done] {
            // The scan object lives as long as its context; a cancelled walk never reports.
            if (!target || cancelled->load() || generation != generation_)
                return;
            cancelled_.reset();
            done(index);
        });
    });
}

}  // namespace flintly
