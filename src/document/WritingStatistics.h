#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace flintly {

class SettingsStore;
class TimeSource;
class UsageTracker;

// How much the user writes, for the settings window: the notes folder's figures,
// counted in the background after each save, and focus time, measured in sessions that
// begin and end as the open note changes. Everything lands in the settings store.
class WritingStatistics : public QObject {
    Q_OBJECT
public:
    WritingStatistics(SettingsStore& settings, TimeSource& time, QObject* parent = nullptr);
    ~WritingStatistics() override;

    // Counts `folder` in the background (nothing when it is empty). A newer pass
    // supersedes one still running: its figures would be replaced anyway.
    void recompute(const QString& folder);

    void startFocusSession();
    // Adds the running session's whole seconds to the total and reports it as
    // "focus_session_end" for `noteId`; `external` tells where the note lives.
    void endFocusSession(UsageTracker& tracker, const std::string& noteId, bool external);
    std::optional<QDateTime> sessionStart() const { return sessionStart_; }

signals:
    // A pass finished and stored its figures.
    void updated();

private:
    // What the counting thread may touch: whether its owner still exists.
    struct Shared {
        std::mutex mutex;
        WritingStatistics* owner = nullptr;
        std::atomic<quint64> generation{0};
    };

    SettingsStore& settings_;
    TimeSource& time_;
    std::shared_ptr<Shared> shared_;
    std::optional<QDateTime> sessionStart_;
};

}  // namespace flintly
