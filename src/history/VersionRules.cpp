#include "history/VersionRules.h"

#include <algorithm>

namespace flintly::history {

qint64 rules::bytesRemoved(const QByteArray& before, const QByteArray& after)
{
    const qsizetype shorter = std::min(before.size(), after.size());
    const char* a = before.constData();
    const char* b = after.constData();
    qsizetype head = 0;
    while (head < shorter && a[head] == b[head])
        ++head;
    qsizetype tail = 0;
    while (tail < shorter - head && a[before.size() - 1 - tail] == b[after.size() - 1 - tail])
        ++tail;
    return before.size() - head - tail;
}

bool rules::removesMuch(const QByteArray& before, const QByteArray& after)
{
    const qint64 removed = bytesRemoved(before, after);
    return removed > kLargeDeletionBytes || removed * 2 > before.size();
}

QString reason::label(const QString& why)
{
    if (why == firstSave)
        return QStringLiteral("First save");
    if (why == interval)
        return QStringLiteral("Saved");
    if (why == beforeDeletion)
        return QStringLiteral("Before a large deletion");
    if (why == beforeOutsideChange)
        return QStringLiteral("Before another program's change");
    if (why == beforeRestore)
        return QStringLiteral("Before a restore");
    if (why == opened)
        return QStringLiteral("As Flintly found it");
    return why;
}

}  // namespace flintly::history
