#include "analytics/JSONHandler.h"

#include "analytics/AnalyticsLogger.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace flintly::analytics::JSONHandler {

namespace {
std::string describe(const nlohmann::json& value)
{
    if (value.is_binary()) {
        static const char* hex = "0123456789abcdef";
        std::string out = "<";
        const auto& bytes = value.get_binary();
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (i > 0 && i % 4 == 0)
                out += ' ';
            out += hex[bytes[i] >> 4];
            out += hex[bytes[i] & 0xf];
        }
        return out + ">";
    }
    const double d = value.get<double>();
    if (std::isnan(d))
        return "nan";
    return d > 0 ? "inf" : "-inf";
}

bool needsText(const nlohmann::json& value)
{
    return value.is_binary() || (value.is_number_float() && !std::isfinite(value.get<double>()));
}
}  // namespace

nlohmann::json makeObjectSerializable(const nlohmann::json& value)
{
    if (value.is_object()) {
        nlohmann::json out = nlohmann::json::object();
        for (const auto& [key, item] : value.items())
            out[key] = makeObjectSerializable(item);
        return out;
    }
    if (value.is_array()) {
        nlohmann::json out = nlohmann::json::array();
        for (const auto& item : value)
            out.push_back(makeObjectSerializable(item));
        return out;
    }
    if (needsText(value)) {
        ANALYTICS_INFO("enforcing string on object");
        return describe(value);
    }
    return value;
}

bool isValidPropertyValue(const nlohmann::json& value)
{
    if (value.is_object()) {
        for (const auto& item : value)
            if (!isValidPropertyValue(item))
                return false;
        return true;
    }
    if (value.is_array()) {
        for (const auto& item : value)
            if (!isValidPropertyValue(item))
                return false;
        return true;
    }
    return !value.is_discarded() && !needsText(value);
}

std::string serializeJSONObject(const nlohmann::json& value)
{
    return makeObjectSerializable(value).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<std::string> encodeAPIData(const std::vector<nlohmann::json>& records)
{
    try {
        nlohmann::json array = nlohmann::json::array();
        for (const auto& record : records)
            array.push_back(makeObjectSerializable(record));
        return array.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    } catch (const std::exception& e) {
        ANALYTICS_ERROR(std::string("exception encoding api data: ") + e.what());
        return std::nullopt;
    }
}

std::string formatDate(std::chrono::system_clock::time_point time)
{
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(time.time_since_epoch()).count();
    auto seconds = static_cast<std::time_t>(ms / 1000);
    auto millis = ms % 1000;
    if (millis < 0) {
        millis += 1000;
        --seconds;
    }
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));
    return buffer;
}

std::string formatDouble(double value)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
    char buffer[40];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
        if (std::strtod(buffer, nullptr) == value)
            break;
    }
    std::string text = buffer;
    if (text.find_first_of(".eEn") == std::string::npos)
        text += ".0";
    return text;
}

}  // namespace flintly::analytics::JSONHandler
