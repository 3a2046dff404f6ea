#include "app/StatisticsFigures.h"

#include "platform/SettingsStore.h"

#include <cmath>

namespace flintly {

StatisticsFigures StatisticsFigures::read(const SettingsStore& settings, const QDateTime& now)
{
    StatisticsFigures s;
    s.notes = settings.get(settingskeys::statsNoteCount);
    s.characters = settings.get(settingskeys::statsCharCount);
    s.todosDone = settings.get(settingskeys::statsTodoDone);
    s.focusSeconds = settings.get(settingskeys::statsFocusSeconds);
    const double sessionStart = settings.get(settingskeys::statsSessionStart);
    if (sessionStart > 0) {
        const double elapsed = static_cast<double>(now.toMSecsSinceEpoch()) / 1000.0 - sessionStart;
        // A clock set back since the session began counts as no time, not negative time.
        s.focusSeconds += std::max<qint64>(0, static_cast<qint64>(std::trunc(elapsed)));
    }
    return s;
}

QString focusTimeText(qint64 seconds)
{
    seconds = std::max<qint64>(0, seconds);
    return QStringLiteral("%1h %2m").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

QString countText(qint64 count, const QLocale& locale)
{
    // The C locale omits grouping unless asked; every other locale groups by default.
    QLocale grouped(locale);
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(count);
}

}  // namespace flintly
