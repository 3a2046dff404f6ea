#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>

#include <functional>

namespace flintly::test {

// The per-process temporary home of a test run: XDG_CONFIG_HOME and XDG_CACHE_HOME
// point inside it, so no test reads or writes the user's settings.
QString temporaryRoot();

// Spins the event loop until `done` holds or the time runs out; returns whether it held.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Spins the event loop for the given time (timers and queued calls run meanwhile).
void spin(int ms);

}  // namespace flintly::test
