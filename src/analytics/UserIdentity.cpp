#include "analytics/UserIdentity.h"

#include <cstdio>
#include <fstream>
#include <random>

namespace flintly::analytics {

namespace {

std::string randomUUID()
{
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uint64_t high = generator();
    std::uint64_t low = generator();
    high = (high & 0xffffffffffff0fffULL) | 0x0000000000004000ULL;  // version 4
    low = (low & 0x3fffffffffffffffULL) | 0x8000000000000000ULL;    // RFC 4122 variant
    char buffer[37];
    std::snprintf(buffer, sizeof buffer, "%08X-%04X-%04X-%04X-%012llX", static_cast<unsigned>(high >> 32),
                  static_cast<unsigned>((high >> 16) & 0xffff), static_cast<unsigned>(high & 0xffff),
                  static_cast<unsigned>(low >> 48), static_cast<unsigned long long>(low & 0xffffffffffffULL));
    return buffer;
}

// The stable id of this machine, for clients that ask for one id per device.
std::optional<std::string> machineId()
{
    std::ifstream in("/etc/machine-id");
    std::string id;
    if (in >> id && !id.empty())
        return id;
    return std::nullopt;
}

}  // namespace

Identity UserIdentity::forNewDevice(bool useMachineId)
{
    const std::string deviceId = (useMachineId ? machineId() : std::nullopt).value_or(randomUUID());
    Identity identity;
    identity.anonymousId = deviceId;
    identity.distinctId = "$device:" + deviceId;
    identity.hadPersistedDistinctId = true;
    return identity;
}

Identity UserIdentity::get() const
{
    return lock_.read([&] { return identity_; });
}

void UserIdentity::set(Identity identity)
{
    lock_.write([&] { identity_ = std::move(identity); });
}

std::optional<std::string> UserIdentity::identify(const std::string& distinctId, bool usePeople)
{
    return lock_.write([&] {
        std::optional<std::string> previous;
        if (!identity_.anonymousId) {
            identity_.anonymousId = identity_.distinctId;
            identity_.hadPersistedDistinctId = true;
        }
        if (!identity_.userId)
            identity_.userId = distinctId;
        if (distinctId != identity_.distinctId) {
            previous = identity_.distinctId;
            identity_.distinctId = distinctId;
        }
        if (usePeople)
            identity_.peopleDistinctId = distinctId;
        else
            identity_.peopleDistinctId.reset();
        return previous;
    });
}

void UserIdentity::setAlias(const std::string& alias)
{
    lock_.write([&] { identity_.alias = alias; });
}

}  // namespace flintly::analytics
