#pragma once

#include <QPointer>

#include "EvernoteSignInSheet.h"

class QDialog;
class QWebEngineView;

// The authorization page in a web view on a sheet over the main window. Navigation to the callback
// scheme (as a link or a server redirect) is stopped and handed on; anything else loads as usual.
class WebSignInSheet : public EvernoteSignInSheet {
    Q_OBJECT
public:
    WebSignInSheet(QWidget *mainWindow, QString callbackScheme);
    // Before the application object is made (the engine reads its schemes then).
    static void registerCallbackScheme(const QString &scheme);
    ~WebSignInSheet() override;

    Kind kind() const override { return Kind::WebView; }
    void showAuthorizationPage(const QUrl &url) override;
    void close() override;
    bool isOpen() const override;
    void loadLogoutPage(const QUrl &url) override;

    QWebEngineView *webView();

private:
    void ensureView();
    bool navigationRequested(const QUrl &url);

    QWidget *mainWindow_;
    QString scheme_;
    QPointer<QDialog> sheet_;
    QWebEngineView *view_ = nullptr;
};
