#pragma once

#include <QString>

namespace flintly::AppInfo {

// How the desktop knows the app: the desktop file's basename, which portals, the
// desktop's shortcut settings and software centres key everything on.
inline constexpr char16_t appId[] = u"org.flintly.Flintly";

// The app's information values, fixed at build time. An environment variable named
// like the CMake variable (FLINTLY_FEED_URL, FLINTLY_ANALYTICS_TOKEN,
// FLINTLY_ANALYTICS_URL, FLINTLY_ALLOW_ARBITRARY_LOADS) overrides each at run time, so
// tests and self-hosters need no rebuild.
QString feedUrl();              // "SUFeedURL"
QString analyticsToken();       // "AnalyticsToken"
QString analyticsUrl();         // the analytics server's base URL
QString allowArbitraryLoads();  // "NSAllowsArbitraryLoads"
QString shortVersion();         // "CFBundleShortVersionString"
QString buildVersion();         // "CFBundleVersion"

// The project's own contact details (FLINTLY_DEVELOPER_NAME, _EMAIL, _URL).
QString developerName();
QString developerEmail();
QString developerUrl();

// Looks a value up by its information-dictionary key; empty when unknown.
QString value(const QString& key);

}  // namespace flintly::AppInfo
