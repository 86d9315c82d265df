#include "ui/hotkeys/PortalHotKeyBackend.h"

#include <array>
#include <utility>
#include <xkbcommon/xkbcommon.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>

#include "core/DCLog.h"
#include "ui/hotkeys/HotKeyModifiers.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
constexpr int kCallTimeoutMs = 2000; // a portal that answers nothing must not hang the window

// One entry of BindShortcuts' a(sa{sv}).
struct PortalShortcut {
    QString id;
    QVariantMap options;
};

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.options;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.options;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(PortalShortcut)

PortalHotKeyBackend::PortalHotKeyBackend(QDBusConnection bus, QObject *parent)
    : HotKeyBackend(parent), bus_(std::move(bus)) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
}

PortalHotKeyBackend::~PortalHotKeyBackend() {
    closeSession();
}

QString PortalHotKeyBackend::triggerFor(const DCKeyCombo &combo) {
    char name[64];
    if (!combo.isValidHotKeyCombo() ||
        xkb_keysym_get_name(xkb_keysym_t(combo.keyCode()), name, sizeof name) <= 0)
        return QString();
    // The order of the XDG shortcuts format's own list.
    static constexpr std::array<std::pair<uint32_t, const char *>, 4> kNames{{
        {HotKeyModifiers::kControl, "CTRL"},
        {HotKeyModifiers::kAlt, "ALT"},
        {HotKeyModifiers::kShift, "SHIFT"},
        {HotKeyModifiers::kMeta, "LOGO"},
    }};
    QString trigger;
    for (const auto &[mask, modifier] : kNames)
        if (combo.modifiers() & mask) trigger += QLatin1String(modifier) + QLatin1Char('+');
    return trigger + QString::fromLatin1(name);
}

bool PortalHotKeyBackend::isAvailable() {
    if (available_) return *available_;
    available_ = false;
    if (!bus_.isConnected()) return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kInterface << QStringLiteral("version");
    const QDBusMessage reply = bus_.call(get, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    available_ = reply.arguments().first().value<QDBusVariant>().variant().toUInt() > 0;
    if (*available_) {
        bus_.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
                     SLOT(activated(QDBusMessage)));
        bus_.connect(kService, kPath, kInterface, QStringLiteral("Deactivated"), this,
                     SLOT(deactivated(QDBusMessage)));
    }
    return *available_;
}

std::optional<HotKeyBackend::Reference> PortalHotKeyBackend::registerKeyCombo(const DCKeyCombo &combo,
                                                                              const Label &label) {
    if (!isAvailable()) {
        DCLog("The hot key %s is not registered: the desktop portal offers no global shortcuts",
              qUtf8Printable(label.identifier));
        return std::nullopt;
    }
    const Reference reference = nextReference_++;
    const QString id =
        label.identifier.isEmpty() ? QStringLiteral("hotkey-%1").arg(reference) : label.identifier;
    if (referenceFor(id) != 0) {
        DCLog("The hot key %s is not registered: a hot key of that name is registered already",
              qUtf8Printable(id));
        return std::nullopt;
    }
    shortcuts_[reference] = {id, label.name.isEmpty() ? id : label.name, triggerFor(combo)};
    if (rebind()) return reference;
    shortcuts_.erase(reference); // the portal refused the session at once: nothing is registered
    return std::nullopt;
}

void PortalHotKeyBackend::unregisterKeyCombo(Reference reference) {
    if (shortcuts_.erase(reference) > 0) rebind();
}

HotKeyBackend::Reference PortalHotKeyBackend::referenceFor(const QString &id) const {
    for (const auto &[reference, shortcut] : shortcuts_)
        if (shortcut.id == id) return reference;
    return 0;
}

bool PortalHotKeyBackend::rebind() {
    closeSession();
    if (shortcuts_.empty()) return true;
    const QString token = newToken();
    pendingSession_ = newToken();
    expectResponse(token, SLOT(sessionCreated(uint, QVariantMap)));
    return callPortal(QStringLiteral("CreateSession"),
                      {QVariantMap{{QStringLiteral("handle_token"), token},
                                   {QStringLiteral("session_handle_token"), pendingSession_}}});
}

void PortalHotKeyBackend::closeSession() {
    if (!session_.isEmpty()) closeSessionAt(session_);
    session_.clear();
    pendingSession_.clear();
}

// Closing drops the session's shortcuts; nothing waits for the answer.
void PortalHotKeyBackend::closeSessionAt(const QString &session) {
    bus_.send(QDBusMessage::createMethodCall(
        kService, session, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close")));
}

void PortalHotKeyBackend::sessionCreated(uint response, const QVariantMap &results) {
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    const QString session =
        handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path() : handle.toString();
    // A session asked for before the latest change is of no use any more.
    if (pendingSession_.isEmpty() || !session.endsWith(QLatin1Char('/') + pendingSession_)) {
        if (response == 0 && !session.isEmpty()) closeSessionAt(session);
        return;
    }
    pendingSession_.clear();
    if (response != 0) {
        DCLog("The desktop portal made no session for the hot keys (response %u)", response);
        return;
    }
    session_ = session;
    QList<PortalShortcut> shortcuts;
    for (const auto &[reference, shortcut] : shortcuts_) {
        QVariantMap options{{QStringLiteral("description"), shortcut.description}};
        if (!shortcut.trigger.isEmpty()) options[QStringLiteral("preferred_trigger")] = shortcut.trigger;
        shortcuts << PortalShortcut{shortcut.id, options};
    }
    const QString token = newToken();
    expectResponse(token, SLOT(shortcutsBound(uint, QVariantMap)));
    callPortal(QStringLiteral("BindShortcuts"),
               {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts), QString(),
                QVariantMap{{QStringLiteral("handle_token"), token}}});
}

void PortalHotKeyBackend::shortcutsBound(uint response, const QVariantMap &) {
    if (response != 0) DCLog("The desktop portal did not bind the hot keys (response %u)", response);
}

void PortalHotKeyBackend::activated(const QDBusMessage &signal) {
    if (const Reference reference = referenceFor(signal)) Q_EMIT pressed(reference);
}

void PortalHotKeyBackend::deactivated(const QDBusMessage &signal) {
    if (const Reference reference = referenceFor(signal)) Q_EMIT released(reference);
}

// Activated and Deactivated carry (session, shortcut id, timestamp, options); only our bound session's
// shortcuts are ours.
HotKeyBackend::Reference PortalHotKeyBackend::referenceFor(const QDBusMessage &signal) const {
    const QVariantList arguments = signal.arguments();
    if (session_.isEmpty() || arguments.size() < 2) return 0;
    if (arguments[0].value<QDBusObjectPath>().path() != session_) return 0;
    return referenceFor(arguments[1].toString());
}

QString PortalHotKeyBackend::newToken() {
    return QStringLiteral("korva%1").arg(++tokenCounter_);
}

// The portal answers on a request object whose path it derives from our bus name and the token. We
// listen there before calling, or a quick answer could come before anyone listens.
QString PortalHotKeyBackend::requestPath(const QString &token) const {
    QString sender = bus_.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

void PortalHotKeyBackend::expectResponse(const QString &token, const char *slot) {
    bus_.connect(kService, requestPath(token), kRequestInterface, QStringLiteral("Response"), this, slot);
}

bool PortalHotKeyBackend::callPortal(const QString &method, const QVariantList &arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) return true;
    DCLog("The desktop portal refused %s: %s", qUtf8Printable(method), qUtf8Printable(reply.errorMessage()));
    return false;
}
