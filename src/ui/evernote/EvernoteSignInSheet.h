#pragma once

#include <memory>

#include <QObject>
#include <QUrl>

class QWidget;

// Where the user signs in to Evernote: the service's authorization page in a sheet with a web view
// when the build has one, else in the desktop's browser. The page ends by sending the browser to the
// callback scheme; the sheet catches that and hands the URL on instead of loading it. With the desktop's
// browser the callback comes back as a second launch of the program (the scheme is the program's), which
// the application hands to the service itself.
class EvernoteSignInSheet : public QObject {
    Q_OBJECT
public:
    enum class Kind { WebView, SystemBrowser };
    // The web view when the build has one (and `kind` asks for it).
    static std::unique_ptr<EvernoteSignInSheet> create(QWidget *mainWindow, const QString &callbackScheme,
                                                       Kind kind = Kind::WebView);
    static bool buildHasWebView();

    virtual Kind kind() const = 0;
    virtual void showAuthorizationPage(const QUrl &url) = 0;
    virtual void close() {}
    virtual bool isOpen() const { return false; }
    // Ends the service's web session held by the web view (nothing to do with the desktop's browser).
    virtual void loadLogoutPage(const QUrl &) {}

Q_SIGNALS:
    void callbackReceived(const QUrl &url);
    void cancelled();
    // The page could not be shown (no browser, say); `message` says so.
    void failed(const QString &message);

protected:
    using QObject::QObject;
};
