#include "WebSignInSheet.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

#include "core/DCLog.h"

namespace {

class CallbackCatchingPage : public QWebEnginePage {
public:
    CallbackCatchingPage(std::function<bool(const QUrl &)> filter, QWebEngineProfile *profile,
                         QObject *parent)
        : QWebEnginePage(profile, parent), filter_(std::move(filter)) {}

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool) override { return filter_(url); }

private:
    std::function<bool(const QUrl &)> filter_;
};

// The engine may hand a navigation to a scheme of ours straight to the scheme's handler: it is caught
// here as well, and the request fails so that nothing is loaded.
class CallbackSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    CallbackSchemeHandler(std::function<bool(const QUrl &)> filter, QObject *parent)
        : QWebEngineUrlSchemeHandler(parent), filter_(std::move(filter)) {}
    void requestStarted(QWebEngineUrlRequestJob *job) override {
        filter_(job->requestUrl());
        job->fail(QWebEngineUrlRequestJob::RequestAborted);
    }

private:
    std::function<bool(const QUrl &)> filter_;
};

} // namespace

void WebSignInSheet::registerCallbackScheme(const QString &scheme) {
    QWebEngineUrlScheme callback(scheme.toLatin1());
    callback.setFlags(QWebEngineUrlScheme::LocalScheme);
    QWebEngineUrlScheme::registerScheme(callback);
}

WebSignInSheet::WebSignInSheet(QWidget *mainWindow, QString callbackScheme)
    : mainWindow_(mainWindow), scheme_(std::move(callbackScheme)) {}

// The sheet is the main window's child and goes with it (or before it).
WebSignInSheet::~WebSignInSheet() = default;

// Made on first use: the web engine starts its own processes, which a session that never signs in
// should not pay for.
void WebSignInSheet::ensureView() {
    if (sheet_) return;
    sheet_ = new QDialog(mainWindow_);
    sheet_->setWindowTitle(tr("Sign in to Evernote"));
    sheet_->setWindowModality(Qt::WindowModal);
    sheet_->resize(820, 640);
    auto *column = new QVBoxLayout(sheet_);
    column->setContentsMargins(0, 0, 0, 6);
    view_ = new QWebEngineView(sheet_);
    // A profile of our own, in memory only: the sign-in's cookies end with the program. Made after the
    // view, so the view and its page go first.
    auto *profile = new QWebEngineProfile(sheet_);
    const auto filter = [this](const QUrl &url) { return navigationRequested(url); };
    profile->installUrlSchemeHandler(scheme_.toLatin1(), new CallbackSchemeHandler(filter, profile));
    view_->setPage(new CallbackCatchingPage(filter, profile, view_));
    connect(view_, &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (!ok) DCLog("WebView fail load: %s", qUtf8Printable(view_->url().toString()));
    });
    column->addWidget(view_, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, sheet_);
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, sheet_, &QDialog::reject);
    connect(sheet_, &QDialog::rejected, this, &EvernoteSignInSheet::cancelled);
}

QWebEngineView *WebSignInSheet::webView() {
    ensureView();
    return view_;
}

bool WebSignInSheet::navigationRequested(const QUrl &url) {
    if (url.scheme() != scheme_) return true;
    if (!isOpen()) return false; // the same callback seen by the scheme's handler too
    DCLog("WebView callback %s", qUtf8Printable(url.toString(QUrl::RemoveQuery)));
    close();
    Q_EMIT callbackReceived(url);
    return false;
}

void WebSignInSheet::showAuthorizationPage(const QUrl &url) {
    ensureView();
    DCLog("openBrowserWithURL:%s", qUtf8Printable(url.toString()));
    view_->load(url);
    sheet_->open();
}

void WebSignInSheet::close() {
    // Closing by hand is not the user's cancel.
    if (sheet_ && sheet_->isVisible()) {
        const QSignalBlocker quiet(sheet_);
        sheet_->hide();
    }
}

bool WebSignInSheet::isOpen() const {
    return sheet_ && sheet_->isVisible();
}

// Unseen: only the session cookie goes.
void WebSignInSheet::loadLogoutPage(const QUrl &url) {
    if (sheet_ && view_) view_->load(url);
}
