#include "document/LeftoverTemporaries.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace flintly {

QStringList leftoverTemporaries(const QString& notePath)
{
    const QFileInfo note(notePath);
    const QString prefix = QLatin1Char('.') + note.fileName() + QLatin1Char('.');
    static const QRegularExpression suffix(QStringLiteral("^[A-Za-z0-9]{6}$"));
    QStringList found;
    const QDir folder = note.absoluteDir();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.size() == prefix.size() + 6 && name.startsWith(prefix)
            && suffix.match(name.mid(prefix.size())).hasMatch())
            found.append(folder.filePath(name));
    }
    return found;
}

}  // namespace flintly
