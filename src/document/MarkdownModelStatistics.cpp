// Writing statistics of the notes folder and focus time, for the settings window.
#include "document/MarkdownModel.h"

#include "core/AppEvents.h"
#include "document/NoteStatistics.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/SettingsStore.h"

#include <QFileInfo>
#include <QThreadPool>

#include <cmath>
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

void MarkdownModel::recomputeStatistics()
{
    if (saveFolder_.isEmpty())
        return;
    const QString folder = saveFolderPath();
    std::weak_ptr<SharedState> weak = state_;
    // Saves come every half-second pause; a pass still counting for an older save is
    // abandoned in favour of the newest, whose figures would replace it anyway.
    auto generation = statisticsGeneration_;
    const quint64 mine = ++*generation;
    statisticsPool().start([weak, folder, generation, mine] {
        lowerThisThreadsPriority();
        auto keepGoing = [&] {
            if (generation->load() != mine)
                return false;
            const auto state = weak.lock();
            if (!state)
                return false;
            std::lock_guard lock(state->mutex);
            return state->model != nullptr;
        };
        if (!keepGoing())
            return;
        const std::optional<FolderStatistics> figures = computeFolderStatistics(folder, keepGoing);
        if (!figures)
            return;
        runOnMainThread([weak, figures = *figures] {
            const auto state = weak.lock();
            if (!state || !state->model)
                return;
            MarkdownModel* model = state->model;
            model->deps_.settings->setValue(QStringLiteral("statsNoteCount"), figures.noteCount);
            model->deps_.settings->setValue(QStringLiteral("statsCharCount"), figures.charCount);
            model->deps_.settings->setValue(QStringLiteral("statsTodoDone"), figures.todoDone);
            log(QStringLiteral("📊 통계 업데이트 완료: 노트 %1개, 문자 %2개, 완료된 TODO %3개")
                    .arg(figures.noteCount)
                    .arg(figures.charCount)
                    .arg(figures.todoDone));
            emit model->statisticsUpdated();
        });
    });
}

void MarkdownModel::startFocusSession()
{
    const QDateTime t = now();
    sessionStart_ = t;
    deps_.settings->setValue(QStringLiteral("statsSessionStart"), t.toMSecsSinceEpoch() / 1000.0);
}

void MarkdownModel::endFocusSession()
{
    if (!sessionStart_)
        return;
    const qint64 duration = std::max<qint64>(0, sessionStart_->msecsTo(now()) / 1000);
    const qint64 total = deps_.settings->intValue(QStringLiteral("statsFocusSeconds")).value_or(0) + duration;
    deps_.settings->setValue(QStringLiteral("statsFocusSeconds"), total);

    const bool external = !isScratch_ && !saveFolder_.isEmpty() && !filePath_.isEmpty()
        && !isInNotesFolderByPrefix(filePath_);
    events::focusSessionEnd(tracker(), debugIDString().toStdString(), static_cast<double>(duration), external);
    deps_.settings->remove(QStringLiteral("statsSessionStart"));
    sessionStart_.reset();
}

}  // namespace flintly
