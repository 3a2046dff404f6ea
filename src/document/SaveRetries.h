#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace flintly {

class OneShotTimer;
class TimeSource;

// When a note is written besides the half-second pause: again and again after a failed
// save, backing off from 1 s to 30 s, until one lands; and at least every 5 s while the
// user types without pausing, so a crash never takes more than that.
class SaveRetries : public QObject {
    Q_OBJECT
public:
    static constexpr int kCeilingMs = 5000;
    static constexpr int kFirstRetryMs = 1000;
    static constexpr int kLongestRetryMs = 30000;

    // `save` runs when a retry or the ceiling is due; it reports back with saved() or
    // failed().
    SaveRetries(TimeSource& time, std::function<void()> save, QObject* parent = nullptr);
    ~SaveRetries() override;

    // The text changed: the ceiling starts counting if it is not already.
    void edited();
    // A save landed, or nothing is left to write: no more tries, the back-off starts over.
    void settled();
    // A save failed while edits were pending: logged, and tried again later.
    void failed(const QString& reason);
    bool failing() const { return failing_; }

signals:
    void failingChanged(bool failing);
    // The first failure of a run, for telling the user once rather than at every try.
    void startedFailing(const QString& reason);

private:
    void setFailing(bool failing);

    std::unique_ptr<OneShotTimer> retry_;
    std::unique_ptr<OneShotTimer> ceiling_;
    int nextRetryMs_ = kFirstRetryMs;
    bool failing_ = false;
};

}  // namespace flintly
