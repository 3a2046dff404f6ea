#pragma once

#include <QString>
#include <QStringList>

namespace flintly {

// The hidden temporaries a save leaves beside a note when the app is killed in the
// middle of it: "." + the note's file name + "." + six characters (core/DurableWrite).
// They are whole texts once flushed, so what they hold is not simply thrown away.
QStringList leftoverTemporaries(const QString& notePath);

}  // namespace flintly
