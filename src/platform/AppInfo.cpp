#include "platform/AppInfo.h"

#include "platform/AppInfoValues.h"

#include <QtGlobal>

namespace flintly::AppInfo {

namespace {
QString overridable(const char* variable, const char* built)
{
    if (qEnvironmentVariableIsSet(variable))
        return qEnvironmentVariable(variable);
    return QString::fromUtf8(built);
}
}  // namespace

QString feedUrl() { return overridable("FLINTLY_FEED_URL", FLINTLY_BUILD_FEED_URL); }
QString analyticsToken() { return overridable("FLINTLY_ANALYTICS_TOKEN", FLINTLY_BUILD_ANALYTICS_TOKEN); }
QString analyticsUrl() { return overridable("FLINTLY_ANALYTICS_URL", FLINTLY_BUILD_ANALYTICS_URL); }
QString allowArbitraryLoads()
{
    return overridable("FLINTLY_ALLOW_ARBITRARY_LOADS", FLINTLY_BUILD_ALLOW_ARBITRARY_LOADS);
}
QString shortVersion() { return QStringLiteral(FLINTLY_BUILD_VERSION); }
QString buildVersion() { return QStringLiteral(FLINTLY_BUILD_VERSION); }
QString developerName() { return QString::fromUtf8(FLINTLY_BUILD_DEVELOPER_NAME); }
QString developerEmail() { return QString::fromUtf8(FLINTLY_BUILD_DEVELOPER_EMAIL); }
QString developerUrl() { return QString::fromUtf8(FLINTLY_BUILD_DEVELOPER_URL); }

QString value(const QString& key)
{
    if (key == u"SUFeedURL")
        return feedUrl();
    if (key == u"AnalyticsToken")
        return analyticsToken();
    if (key == u"NSAllowsArbitraryLoads")
        return allowArbitraryLoads();
    if (key == u"CFBundleShortVersionString")
        return shortVersion();
    if (key == u"CFBundleVersion")
        return buildVersion();
    return {};
}

}  // namespace flintly::AppInfo
