#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace flintly {

class SettingsStore;

// The writing statistics as the settings window shows them. The note model writes
// the figures ("statsNoteCount", ...); these only read and format them.
struct StatisticsFigures {
    qint64 notes = 0;
    qint64 characters = 0;
    qint64 todosDone = 0;
    // The stored total plus the whole seconds of the session running now, if any.
    qint64 focusSeconds = 0;

    static StatisticsFigures read(const SettingsStore& settings, const QDateTime& now);
};

// "{h}h {m}m": 3,900 seconds are "1h 5m"; the seconds of a last partial minute are dropped.
QString focusTimeText(qint64 seconds);
// A count with the locale's digit grouping ("12,345" in English).
QString countText(qint64 count, const QLocale& locale);

}  // namespace flintly
