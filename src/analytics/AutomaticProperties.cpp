#include "analytics/AutomaticProperties.h"

#include <sys/utsname.h>

#include <fstream>
#include <map>
#include <sstream>

namespace flintly::analytics {

namespace {

std::string trimmed(std::string text)
{
    const auto begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return {};
    const auto end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

std::string readFirstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return trimmed(line);
}

// KEY=value lines; values may be quoted.
std::map<std::string, std::string> readOsRelease(const std::string& path)
{
    std::map<std::string, std::string> values;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos || line.starts_with('#'))
            continue;
        std::string value = trimmed(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        values[trimmed(line.substr(0, eq))] = value;
    }
    return values;
}

std::string orUnknown(const std::string& value) { return value.empty() ? "Unknown" : value; }

}  // namespace

DeviceInfo readDeviceInfo(const std::string& root)
{
    const std::string prefix = root.ends_with('/') ? root : root + "/";
    DeviceInfo device;
    auto osRelease = readOsRelease(prefix + "etc/os-release");
    if (osRelease.empty())
        osRelease = readOsRelease(prefix + "usr/lib/os-release");
    if (!osRelease["PRETTY_NAME"].empty())
        device.osVersion = osRelease["PRETTY_NAME"];
    else if (!osRelease["NAME"].empty())
        device.osVersion = trimmed(osRelease["NAME"] + " " + osRelease["VERSION_ID"]);
    if (device.osVersion.empty()) {
        utsname name{};
        if (uname(&name) == 0)
            device.osVersion = std::string("Linux ") + name.release;
    }
    device.manufacturer = readFirstLine(prefix + "sys/class/dmi/id/sys_vendor");
    device.model = readFirstLine(prefix + "sys/class/dmi/id/product_name");
    return device;
}

namespace AutomaticProperties {

Properties eventProperties(const DeviceInfo& device)
{
    Properties p = Properties::object();
    if (device.screenWidth > 0 && device.screenHeight > 0) {
        p["$screen_width"] = device.screenWidth;
        p["$screen_height"] = device.screenHeight;
    }
    p["$os"] = "Linux";
    p["$os_version"] = orUnknown(device.osVersion);
    p["$app_build_number"] = orUnknown(device.appBuildNumber);
    p["$app_version_string"] = orUnknown(device.appVersion);
    p["an_lib"] = "cpp";
    p["$lib_version"] = kLibVersion;
    p["$manufacturer"] = orUnknown(device.manufacturer);
    p["$model"] = orUnknown(device.model);
    return p;
}

Properties peopleProperties(const DeviceInfo& device)
{
    return {
        {"$ios_app_version", orUnknown(device.appBuildNumber)},
        {"$ios_app_release", orUnknown(device.appVersion)},
        {"$ios_device_model", orUnknown(device.model)},
        {"$ios_version", orUnknown(device.osVersion)},
        {"$ios_lib_version", kLibVersion},
        {"$cpp_lib_version", kLibVersion},
    };
}

}  // namespace AutomaticProperties

}  // namespace flintly::analytics
