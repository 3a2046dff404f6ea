#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <type_traits>

namespace flintly {

// Log lines are part of the app's observable behaviour (scripts and support read them),
// so they go to standard output verbatim: the items joined by single spaces, one line
// per call, flushed at once so a crash never loses the line before it.
namespace logdetail {
inline QString item(const QString& s) { return s; }
inline QString item(const char* s) { return QString::fromUtf8(s); }
inline QString item(const std::string& s) { return QString::fromStdString(s); }
inline QString item(const QByteArray& s) { return QString::fromUtf8(s); }
inline QString item(bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); }
template <typename T>
requires std::is_arithmetic_v<T> QString item(T n) { return QString::number(n); }
}  // namespace logdetail

void writeLogLine(const QString& line);

template <typename... Items> void log(const Items&... items)
{
    QStringList parts{logdetail::item(items)...};
    writeLogLine(parts.join(QLatin1Char(' ')));
}

// Tests observe log lines through this; it sees every line after it is printed.
// Returns the previous observer.
using LogObserver = std::function<void(const QString&)>;
LogObserver setLogObserver(LogObserver observer);

}  // namespace flintly
