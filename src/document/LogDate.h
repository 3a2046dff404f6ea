#pragma once

#include <QDateTime>
#include <QString>

namespace flintly {

// Dates in the note's logs read as UTC "yyyy-MM-dd HH:mm:ss +0000".
inline QString formatLogDate(const QDateTime& t)
{
    return t.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
}

}  // namespace flintly
