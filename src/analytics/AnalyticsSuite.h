#pragma once

#include <nlohmann/json.hpp>

#include <map>
#include <optional>
#include <string>

namespace flintly::analytics {

// The client's small key-value store (the "Analytics" suite): one JSON object in its own
// file beside the app's settings. Every change is written through at once, atomically,
// so a crash never leaves half a file and another instance of the client reads the
// latest values. With an empty path nothing is stored.
class AnalyticsSuite {
public:
    static constexpr const char* kFileName = "Analytics.json";

    explicit AnalyticsSuite(std::string filePath);
    // In the default config folder; empty when there is none.
    static std::string defaultFilePath();

    // Null when absent.
    nlohmann::json value(const std::string& key) const;
    // One write for several keys; a nullopt removes the key.
    // False when the file could not be written.
    bool setValues(const std::map<std::string, std::optional<nlohmann::json>>& values);
    bool setValue(const std::string& key, const nlohmann::json& value) { return setValues({{key, value}}); }
    bool removeValue(const std::string& key) { return setValues({{key, std::nullopt}}); }

    const std::string& filePath() const { return filePath_; }

private:
    nlohmann::json load() const;
    bool synchronize(const nlohmann::json& contents) const;

    std::string filePath_;
};

}  // namespace flintly::analytics
