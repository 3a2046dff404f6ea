#include "analytics/FlushRequest.h"

#include "analytics/AnalyticsLogger.h"
#include "analytics/Gzip.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

namespace flintly::analytics {

const char* flushPath(PersistenceType type)
{
    switch (type) {
    case PersistenceType::Events: return "/track/";
    case PersistenceType::People: return "/engage/";
    case PersistenceType::Groups: return "/groups/";
    }
    return "/track/";
}

FlushRequest::FlushRequest(std::string serverURL, Clock clock, NetworkTimeouts timeouts)
    : serverURL_(std::move(serverURL)), clock_(clock ? std::move(clock) : systemClock()), network_(timeouts)
{
    random_ = [](std::uint32_t bound) {
        thread_local std::mt19937 generator{std::random_device{}()};
        return std::uniform_int_distribution<std::uint32_t>(0, bound - 1)(generator);
    };
}

std::string FlushRequest::serverURL() const
{
    std::lock_guard lock(urlMutex_);
    return serverURL_;
}

void FlushRequest::setServerURL(const std::string& url)
{
    std::lock_guard lock(urlMutex_);
    serverURL_ = url;
}

std::optional<long long> FlushRequest::parseResponse(const std::string& body)
{
    const auto begin = body.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return std::nullopt;
    const auto end = body.find_last_not_of(" \t\r\n");
    const std::string text = body.substr(begin, end - begin + 1);
    size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size())
        return std::nullopt;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
    }
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE)
        return std::nullopt;
    return value;
}

bool FlushRequest::sendRequest(const std::string& requestData, PersistenceType type, bool useIP, const Headers& headers,
                               const QueryItems& queryItems, bool useGzipCompression)
{
    Resource resource;
    resource.path = flushPath(type);
    resource.method = Resource::Method::Post;
    resource.headers = {{"Content-Type", "application/json"}};
    for (const auto& [name, value] : headers)
        resource.headers[name] = value;

    resource.requestBody = requestData;
    if (useGzipCompression && type == PersistenceType::Events) {
        try {
            resource.requestBody = gzipCompressed(requestData);
            resource.headers["Content-Encoding"] = "gzip";
        } catch (const std::exception& e) {
            ANALYTICS_ERROR(std::string("Failed to compress data with gzip: ") + e.what());
            resource.requestBody = requestData;
        }
    }
    resource.queryItems = {{"ip", useIP ? "1" : "0"}};
    resource.queryItems.insert(resource.queryItems.end(), queryItems.begin(), queryItems.end());
    resource.parse = &FlushRequest::parseResponse;

    bool accepted = false;
    network_.apiRequest(
        serverURL(), resource,
        [&](const Reason& reason, const Response& response) {
            ++failures_;
            updateRetryDelay(response);
            ANALYTICS_WARNING("API request to " + resource.path + " has failed with reason " + reason.description());
        },
        [&](long long result, const Response& response) {
            failures_ = 0;
            updateRetryDelay(response);
            if (result == 0)
                ANALYTICS_INFO(resource.path + " api rejected some items");
            accepted = true;
        });
    return accepted;
}

void FlushRequest::updateRetryDelay(const Response& response)
{
    double retryTime = 0;
    const auto header = response.headers.find("retry-after");
    if (header != response.headers.end()) {
        char* end = nullptr;
        const double parsed = std::strtod(header->second.c_str(), &end);
        // Only a plain finite number counts; anything else would block uploads forever.
        if (end && *end == '\0' && end != header->second.c_str() && std::isfinite(parsed))
            retryTime = parsed;
    }
    const int failures = failures_;
    if (failures >= 2) {
        double backOff = std::pow(2.0, failures - 1) * 60 + random_(30);
        backOff = std::clamp(backOff, 60.0, 600.0);
        retryTime = std::max(retryTime, backOff);
    }
    allowedAfter_ = clock_() + retryTime;
}

}  // namespace flintly::analytics
