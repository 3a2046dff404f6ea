#include "analytics/Network.h"

#include "analytics/AnalyticsLogger.h"

#include "core/CurlLibrary.h"

#include <algorithm>
#include <cctype>

namespace flintly::analytics {

namespace {

// Characters that may stand for themselves in a query item; "+" among them, which is
// why it is replaced afterwards.
bool isQueryAllowed(unsigned char c)
{
    if (std::isalnum(c))
        return true;
    switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':
    case '!':
    case '$':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case ':':
    case '@':
    case '/':
    case '?': return true;
    default: return false;
    }
}

std::string percentEncode(const std::string& text)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (isQueryAllowed(c)) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0xf]);
        }
    }
    return out;
}

// What one request receives, up to Network::kMaxReplyBytes in all.
struct Reply {
    Response& response;
    std::size_t received = 0;
    bool tooLarge = false;

    // Returning a count other than the one given makes libcurl abandon the transfer.
    bool take(std::size_t bytes)
    {
        received += bytes;
        tooLarge = received > Network::kMaxReplyBytes;
        return !tooLarge;
    }
};

size_t collectBody(char* data, size_t size, size_t count, void* target)
{
    auto* reply = static_cast<Reply*>(target);
    if (!reply->take(size * count))
        return 0;
    reply->response.body.append(data, size * count);
    return size * count;
}

size_t collectHeader(char* data, size_t size, size_t count, void* target)
{
    auto* reply = static_cast<Reply*>(target);
    if (!reply->take(size * count))
        return 0;
    const std::string line(data, size * count);
    const auto colon = line.find(':');
    if (colon != std::string::npos) {
        std::string name = line.substr(0, colon);
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        std::string value = line.substr(colon + 1);
        const auto begin = value.find_first_not_of(" \t");
        const auto end = value.find_last_not_of(" \t\r\n");
        value = begin == std::string::npos ? std::string() : value.substr(begin, end - begin + 1);
        reply->response.headers[name] = value;
    }
    return size * count;
}

}  // namespace

std::string Reason::description() const
{
    switch (kind) {
    case Kind::ParseError: return "parseError";
    case Kind::NoData: return "noData";
    case Kind::NotOKStatusCode: return "notOKStatusCode(statusCode: " + std::to_string(statusCode) + ")";
    case Kind::Other: return "other(" + error + ")";
    }
    return "other";
}

Network::Network(NetworkTimeouts timeouts) : timeouts_(timeouts) {}

Network::~Network()
{
    if (curl_)
        CurlLibrary::get()->easy_cleanup(static_cast<CURL*>(curl_));
}

std::string Network::buildURL(const std::string& base, const Resource& resource)
{
    if (!base.starts_with("http://") && !base.starts_with("https://"))
        return {};
    std::string url = base;
    // Query and fragment of the base give way to the resource's own.
    url = url.substr(0, std::min(url.find('?'), url.find('#')));
    const auto authorityEnd = url.find('/', url.find("://") + 3);
    if (authorityEnd == std::string::npos)
        url += "/";
    std::string path = resource.path;
    if (url.ends_with('/') && path.starts_with('/'))
        path.erase(0, 1);
    else if (!url.ends_with('/') && !path.starts_with('/') && !path.empty())
        path.insert(0, "/");
    url += path;
    if (!resource.queryItems.empty()) {
        std::string query;
        for (const auto& [name, value] : resource.queryItems) {
            if (!query.empty())
                query += '&';
            query += percentEncode(name) + "=" + percentEncode(value);
        }
        std::string::size_type plus;
        while ((plus = query.find('+')) != std::string::npos)
            query.replace(plus, 1, "%2B");
        url += "?" + query;
    }
    return url;
}

int Network::progress(void* self, long long, long long, long long, long long)
{
    return static_cast<Network*>(self)->cancelled_ ? 1 : 0;
}

void Network::apiRequest(const std::string& base, const Resource& resource,
                         const std::function<void(const Reason&, const Response&)>& failure,
                         const std::function<void(long long, const Response&)>& success)
{
    Response response;
    const std::string url = buildURL(base, resource);
    if (url.empty()) {
        failure(Reason{Reason::Kind::Other, 0, "bad URL: " + base}, response);
        return;
    }
    // Loaded and set up on first use, on the network queue: libcurl's start loads the
    // TLS library and its configuration from disk.
    const CurlLibrary* lib = CurlLibrary::get();
    if (!lib) {
        failure(Reason{Reason::Kind::Other, 0, CurlLibrary::loadError()}, response);
        return;
    }
    if (!curl_)
        curl_ = lib->easy_init();
    if (!curl_) {
        failure(Reason{Reason::Kind::Other, 0, "curl_easy_init failed"}, response);
        return;
    }
    if (cancelled_) {
        failure(Reason{Reason::Kind::Other, 0, "cancelled"}, response);
        return;
    }
    ANALYTICS_DEBUG("Fetching URL " + url);

    auto* curl = static_cast<CURL*>(curl_);
    lib->easy_reset(curl);
    lib->easy_setopt(curl, CURLOPT_URL, url.c_str());
    lib->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // libcurl reads the body during perform, so it must live until then.
    const std::string body = resource.requestBody.value_or(std::string());
    if (resource.method == Resource::Method::Post) {
        lib->easy_setopt(curl, CURLOPT_POST, 1L);
        lib->easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
        lib->easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    } else {
        lib->easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
    curl_slist* headerList = nullptr;
    for (const auto& [name, value] : resource.headers)
        headerList = lib->slist_append(headerList, (name + ": " + value).c_str());
    // libcurl would otherwise ask for "100-continue" on large bodies and wait for it.
    headerList = lib->slist_append(headerList, "Expect:");
    lib->easy_setopt(curl, CURLOPT_HTTPHEADER, headerList);

    // The request timeout is a limit on silence (as a URL request's is); the wait is a
    // limit on the whole exchange.
    const auto requestMs = static_cast<long>(timeouts_.requestSeconds * 1000);
    lib->easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, requestMs);
    lib->easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    lib->easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, std::max(1L, requestMs / 1000));
    lib->easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts_.waitSeconds * 1000));
    lib->easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    lib->easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Network::progress);
    lib->easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    Reply reply{response};
    lib->easy_setopt(curl, CURLOPT_WRITEFUNCTION, &collectBody);
    lib->easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    lib->easy_setopt(curl, CURLOPT_HEADERFUNCTION, &collectHeader);
    lib->easy_setopt(curl, CURLOPT_HEADERDATA, &reply);

    const CURLcode code = lib->easy_perform(curl);
    lib->slist_free_all(headerList);
    if (code == CURLE_OK)
        lib->easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.statusCode);

    if (reply.tooLarge) {
        failure(Reason{Reason::Kind::Other, 0, "reply larger than " + std::to_string(kMaxReplyBytes) + " bytes"},
                response);
        return;
    }
    if (code != CURLE_OK || response.statusCode == 0) {
        if (code != CURLE_OK)
            failure(Reason{Reason::Kind::Other, 0, lib->easy_strerror(code)}, response);
        else
            failure(Reason{Reason::Kind::NoData, 0, {}}, response);
        return;
    }
    if (response.statusCode != 200) {
        failure(Reason{Reason::Kind::NotOKStatusCode, response.statusCode, {}}, response);
        return;
    }
    const auto parsed = resource.parse ? resource.parse(response.body) : std::optional<long long>(0);
    if (!parsed) {
        failure(Reason{Reason::Kind::ParseError, 0, {}}, response);
        return;
    }
    success(*parsed, response);
}

}  // namespace flintly::analytics
