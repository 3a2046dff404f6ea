#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDir>

namespace flintly::AppPaths {

namespace {
QString xdg(const char* variable, const char* fallbackBelowHome)
{
    const QString set = qEnvironmentVariable(variable);
    // The XDG rules say a relative value is invalid and must be ignored.
    if (!set.isEmpty() && QDir::isAbsolutePath(set))
        return set;
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallbackBelowHome);
}
}  // namespace

QString configDir() { return xdg("XDG_CONFIG_HOME", ".config") + QStringLiteral("/Flintly"); }

QString cacheDir() { return xdg("XDG_CACHE_HOME", ".cache") + QStringLiteral("/Flintly"); }

QString dataDir() { return xdg("XDG_DATA_HOME", ".local/share") + QStringLiteral("/Flintly"); }

QString resourceDir()
{
    const QString set = qEnvironmentVariable("FLINTLY_RESOURCE_DIR");
    if (!set.isEmpty())
        return set;
    const QString appDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return QDir::cleanPath(appDir + QStringLiteral("/../share/flintly"));
}

QString resource(const QString& relativePath) { return resourceDir() + QLatin1Char('/') + relativePath; }

}  // namespace flintly::AppPaths
