#include "EvernoteSignInSheet.h"

#include <QDesktopServices>

#include "core/DCLog.h"

#ifdef KL_WITH_WEBENGINE
#include "WebSignInSheet.h"
#endif

namespace {

class BrowserSignIn : public EvernoteSignInSheet {
public:
    BrowserSignIn() = default;
    Kind kind() const override { return Kind::SystemBrowser; }
    void showAuthorizationPage(const QUrl &url) override {
        DCLog("openBrowserWithURL:%s", qUtf8Printable(url.toString()));
        if (!QDesktopServices::openUrl(url))
            Q_EMIT failed(tr("No web browser could be opened for signing in to Evernote."));
    }
};

} // namespace

bool EvernoteSignInSheet::buildHasWebView() {
#ifdef KL_WITH_WEBENGINE
    return true;
#else
    return false;
#endif
}

std::unique_ptr<EvernoteSignInSheet> EvernoteSignInSheet::create(QWidget *mainWindow,
                                                                 const QString &callbackScheme, Kind kind) {
#ifdef KL_WITH_WEBENGINE
    if (kind == Kind::WebView) return std::make_unique<WebSignInSheet>(mainWindow, callbackScheme);
#else
    Q_UNUSED(kind)
#endif
    Q_UNUSED(callbackScheme)
    Q_UNUSED(mainWindow)
    return std::make_unique<BrowserSignIn>();
}
