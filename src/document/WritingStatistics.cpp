#include "document/WritingStatistics.h"

#include "core/AppEvents.h"
#include "document/NoteStatistics.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/SettingsStore.h"
#include "platform/TimeSource.h"

#include <QThreadPool>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace flintly {

namespace {
QThreadPool& statisticsPool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(1);
        p->setExpiryTimeout(10'000);
        return p;
    }();
    return *pool;
}

void lowerThisThreadsPriority() { setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10); }
}  // namespace

WritingStatistics::WritingStatistics(SettingsStore& settings, TimeSource& time, QObject* parent)
    : QObject(parent), settings_(settings), time_(time), shared_(std::make_shared<Shared>())
{
    shared_->owner = this;
}

WritingStatistics::~WritingStatistics()
{
    std::lock_guard lock(shared_->mutex);
    shared_->owner = nullptr;
}

void WritingStatistics::recompute(const QString& folder)
{
    if (folder.isEmpty())
        return;
    std::weak_ptr<Shared> weak = shared_;
    const quint64 mine = ++shared_->generation;
    statisticsPool().start([weak, folder, mine] {
        lowerThisThreadsPriority();
        auto keepGoing = [&] {
            const auto shared = weak.lock();
            if (!shared || shared->generation.load() != mine)
                return false;
            std::lock_guard lock(shared->mutex);
            return shared->owner != nullptr;
        };
        if (!keepGoing())
            return;
        const std::optional<FolderStatistics> figures = computeFolderStatistics(folder, keepGoing);
        if (!figures)
            return;
        runOnMainThread([weak, figures = *figures] {
            const auto shared = weak.lock();
            if (!shared || !shared->owner)
                return;
            WritingStatistics* self = shared->owner;
            self->settings_.setValue(settingskeys::statsNoteCount, figures.noteCount);
            self->settings_.setValue(settingskeys::statsCharCount, figures.charCount);
            self->settings_.setValue(settingskeys::statsTodoDone, figures.todoDone);
            log(QStringLiteral("📊 통계 업데이트 완료: 노트 %1개, 문자 %2개, 완료된 TODO %3개")
                    .arg(figures.noteCount)
                    .arg(figures.charCount)
                    .arg(figures.todoDone));
            emit self->updated();
        });
    });
}

void WritingStatistics::startFocusSession()
{
    const QDateTime t = time_.now();
    sessionStart_ = t;
    settings_.setValue(settingskeys::statsSessionStart, t.toMSecsSinceEpoch() / 1000.0);
}

void WritingStatistics::endFocusSession(UsageTracker& tracker, const std::string& noteId, bool external)
{
    if (!sessionStart_)
        return;
    const qint64 duration = std::max<qint64>(0, sessionStart_->msecsTo(time_.now()) / 1000);
    const qint64 total = settings_.get(settingskeys::statsFocusSeconds) + duration;
    settings_.setValue(settingskeys::statsFocusSeconds, total);
    events::focusSessionEnd(tracker, noteId, static_cast<double>(duration), external);
    settings_.remove(settingskeys::statsSessionStart);
    sessionStart_.reset();
}

}  // namespace flintly
