#pragma once

#include <optional>
#include <string>
#include <vector>

// The machine's IPv4 interface addresses, and the one the stream's address is shown with.
class NetworkInterfaces {
public:
    struct Entry {
        std::string name; // "eth0", "enp3s0", "wlp2s0", ...
        std::string ipv4; // dotted decimal
        bool up = false;
        bool loopback = false;
    };

    // In the order the system lists them; empty when the list cannot be read.
    static std::vector<Entry> list();

    // The first up, non-loopback entry, preferring wired (en*, eth*) over wireless (wl*) over the
    // rest; none when no entry qualifies.
    static std::optional<std::string> preferredIPv4(const std::vector<Entry> &entries);
};
