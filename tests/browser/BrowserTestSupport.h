#pragma once

#include "browser/QuickOpenModel.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <deque>
#include <functional>

namespace flintly::test {

// Writes a note (and its folders) with the given size and modification time.
inline QString writeNote(const QString& path, int size = 10, const QDateTime& modified = {})
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(QByteArray(size, 'x'));
    f.close();
    if (modified.isValid()) {
        f.open(QIODevice::ReadWrite);
        f.setFileTime(modified, QFileDevice::FileModificationTime);
    }
    return path;
}

// The debounce, fired by the test instead of by time.
class ManualQueryTimer final : public QueryTimer {
public:
    void start(std::function<void()> fire) override { pending = std::move(fire); }
    void cancel() override { pending = nullptr; }
    std::function<void()> pending;
};

// Scan jobs kept until the test runs them, in any order.
struct ManualBackground {
    std::deque<std::function<void()>> jobs;
    std::function<void(std::function<void()>)> runner()
    {
        return [this](std::function<void()> job) { jobs.push_back(std::move(job)); };
    }
    void runFirst()
    {
        auto job = std::move(jobs.front());
        jobs.pop_front();
        job();
    }
    void runLast()
    {
        auto job = std::move(jobs.back());
        jobs.pop_back();
        job();
    }
};

inline QStringList names(const QList<FileInfo>& files)
{
    QStringList out;
    for (const FileInfo& f : files)
        out.append(f.name);
    return out;
}

}  // namespace flintly::test
