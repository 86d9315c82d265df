#pragma once

#include <map>
#include <optional>

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QVariantMap>

#include "ui/hotkeys/HotKeyBackend.h"

class QDBusMessage;

// Hot keys on Wayland, where no program may grab keys: the desktop portal's GlobalShortcuts interface.
// The portal binds a session's shortcuts all at once and cannot unbind one, so every change closes the
// session and binds the whole set again in a new one. Binding is asynchronous and the desktop may ask
// the user first: registration answers yes once the portal has the request, and a refusal arriving
// later is logged. Presses and releases come as the portal's Activated and Deactivated signals.
class PortalHotKeyBackend : public HotKeyBackend {
    Q_OBJECT
public:
    explicit PortalHotKeyBackend(QDBusConnection bus = QDBusConnection::sessionBus(),
                                 QObject *parent = nullptr);
    ~PortalHotKeyBackend() override;

    std::optional<Reference> registerKeyCombo(const DCKeyCombo &combo, const Label &label) override;
    void unregisterKeyCombo(Reference reference) override;

    // The combination as the portal's preferred trigger: "CTRL+SHIFT+F5"; empty when the key code is
    // no keysym.
    static QString triggerFor(const DCKeyCombo &combo);
    // Whether the portal offers GlobalShortcuts; asked once, on the first registration.
    bool isAvailable();

private:
    struct Shortcut {
        QString id;
        QString description;
        QString trigger;
    };

    bool rebind(); // false when the portal refuses a new session
    void closeSession();
    void closeSessionAt(const QString &session);
    QString requestPath(const QString &token) const;
    QString newToken();
    void expectResponse(const QString &token, const char *slot);
    bool callPortal(const QString &method, const QVariantList &arguments);
    Reference referenceFor(const QString &id) const;
    Reference referenceFor(const QDBusMessage &signal) const;

private Q_SLOTS:
    void sessionCreated(uint response, const QVariantMap &results);
    void shortcutsBound(uint response, const QVariantMap &results);
    void activated(const QDBusMessage &signal);
    void deactivated(const QDBusMessage &signal);

private:
    QDBusConnection bus_;
    std::optional<bool> available_;
    std::map<Reference, Shortcut> shortcuts_;
    Reference nextReference_ = 1;
    unsigned tokenCounter_ = 0;
    QString session_;        // the bound session's handle, empty while there is none
    QString pendingSession_; // its handle token while it is being made
};
