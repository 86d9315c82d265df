#include "NetworkInterfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace {

int rank(const std::string &name) {
    if (name.starts_with("en") || name.starts_with("eth")) return 0;
    if (name.starts_with("wl")) return 1;
    return 2;
}

} // namespace

std::vector<NetworkInterfaces::Entry> NetworkInterfaces::list() {
    std::vector<Entry> entries;
    ifaddrs *addresses = nullptr;
    if (getifaddrs(&addresses) != 0) return entries;
    for (const ifaddrs *a = addresses; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !a->ifa_name) continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto *in = reinterpret_cast<const sockaddr_in *>(a->ifa_addr);
        if (!inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) continue;
        entries.push_back(
            {a->ifa_name, text, (a->ifa_flags & IFF_UP) != 0, (a->ifa_flags & IFF_LOOPBACK) != 0});
    }
    freeifaddrs(addresses);
    return entries;
}

std::optional<std::string> NetworkInterfaces::preferredIPv4(const std::vector<Entry> &entries) {
    const Entry *best = nullptr;
    for (const auto &entry : entries) {
        if (!entry.up || entry.loopback || entry.ipv4.empty()) continue;
        if (!best || rank(entry.name) < rank(best->name)) best = &entry;
    }
    if (!best) return std::nullopt;
    return best->ipv4;
}
