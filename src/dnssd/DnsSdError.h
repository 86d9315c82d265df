#pragma once

#include <QString>

enum class DnsSdErrorCode {
    Failure,          // anything else; the message says what
    DaemonNotRunning, // no avahi-daemon (or no system bus) to talk to
    Collision,        // the name is taken on the network
    Timeout,          // a resolve did not answer in time
    BadArgument,      // a type, name or domain the daemon refuses
};

struct DnsSdError {
    DnsSdErrorCode code = DnsSdErrorCode::Failure;
    QString message;
};
