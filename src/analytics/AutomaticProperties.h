#pragma once

#include "analytics/AnalyticsTypes.h"

#include <string>

namespace flintly::analytics {

// The client library's own version, sent as "$lib_version".
inline constexpr const char* kLibVersion = "1.0.0";

// What the client reports about the device. The app knows its screen and version; the
// rest is read from the system (see readDeviceInfo).
struct DeviceInfo {
    int screenWidth = 0;  // 0: unknown, not sent
    int screenHeight = 0;
    std::string appVersion;      // "CFBundleShortVersionString"; empty: "Unknown"
    std::string appBuildNumber;  // "CFBundleVersion"; empty: "Unknown"
    std::string osVersion;
    std::string manufacturer;
    std::string model;
};

// OS version from /etc/os-release (PRETTY_NAME, else NAME and VERSION_ID, else the kernel
// release), vendor and model from DMI. `root` lets tests supply their own tree.
DeviceInfo readDeviceInfo(const std::string& root = "/");

namespace AutomaticProperties {
Properties eventProperties(const DeviceInfo& device);
Properties peopleProperties(const DeviceInfo& device);
}  // namespace AutomaticProperties

}  // namespace flintly::analytics
