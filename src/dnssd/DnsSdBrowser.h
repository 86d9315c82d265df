#pragma once

#include <QString>

#include "dnssd/DnsSdError.h"
#include "dnssd/DnsSdService.h"

class DnsSdBrowser;

// Receives a browser's events, always on the thread that created the browser, from its event loop
// (never from inside a call into the browser). A service seen on several interfaces or protocols is
// found once and removed when its last instance goes. `moreComing` is true while further events of
// the same batch follow. The delegate may delete the browser inside any of these calls.
class DnsSdBrowserDelegate {
public:
    virtual void didFindService(DnsSdBrowser &browser, const DnsSdService &service, bool moreComing) = 0;
    virtual void didRemoveService(DnsSdBrowser &browser, const DnsSdService &service, bool moreComing) = 0;
    virtual void didNotSearch(DnsSdBrowser &browser, const DnsSdError &error) = 0;

protected:
    ~DnsSdBrowserDelegate() = default;
};

// Browses for one service type in one domain. Thread-bound: use and delete it on the thread that
// created it. While the daemon is away the browser waits for it; its services are reported removed
// when it goes, and found again when it comes back.
class DnsSdBrowser {
public:
    virtual ~DnsSdBrowser() = default;
    // `type` as "_x._tcp." (the trailing dot is optional), `inDomain` as "local." (empty: "local.").
    // Starting again stops the previous search first; its services are not reported removed.
    virtual void searchForServicesOfType(const QString &type, const QString &inDomain) = 0;
    // No further events after this call.
    virtual void stop() = 0;
};
