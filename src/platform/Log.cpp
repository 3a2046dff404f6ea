#include "platform/Log.h"

#include <cstdio>
#include <mutex>

namespace flintly {

namespace {
std::mutex& logMutex()
{
    static std::mutex m;
    return m;
}
LogObserver& observer()
{
    static LogObserver o;
    return o;
}
}  // namespace

void writeLogLine(const QString& line)
{
    const QByteArray bytes = line.toUtf8();
    std::lock_guard lock(logMutex());
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    if (observer())
        observer()(line);
}

LogObserver setLogObserver(LogObserver o)
{
    std::lock_guard lock(logMutex());
    LogObserver previous = std::move(observer());
    observer() = std::move(o);
    return previous;
}

}  // namespace flintly
