#pragma once

#include <map>
#include <memory>

#include <QList>
#include <QObject>

#include "ui/hotkeys/DCHotKey.h"
#include "ui/hotkeys/HotKeyBackend.h"

// Registers hot keys with the desktop's system-wide hot-key service and hands their presses to them.
// Main thread only.
//
// The application core makes the one centre after the QGuiApplication, installs it for sharedCenter()
// and uninstalls it before it goes:
//
//     center_ = std::make_unique<DCHotKeyCenter>(HotKeyBackendFactory::create());
//     SharedInstance<DCHotKeyCenter>::install(center_.get());
//
// A caller then registers a hot key and hears of its presses on the main thread, through the hot key's
// target and action or through the centre's signal:
//
//     auto escape = std::make_shared<DCHotKey>(QStringLiteral("AppExitFromFullScreenKey"),
//                                              DCKeyCombo(XKB_KEY_Escape, 0));
//     escape->setTarget(windowController);              // not owned
//     escape->setAction("appEscapeFromFullScreen");     // a slot, taking DCHotKey* or nothing
//     if (!DCHotKeyCenter::sharedCenter().registerHotKey(escape)) { /* held elsewhere; logged */ }
//     connect(&DCHotKeyCenter::sharedCenter(), &DCHotKeyCenter::hotKeyPressed, ...);   // or this
//     ...
//     DCHotKeyCenter::sharedCenter().unregisterHotKey(escape);  // harmless when never registered
class DCHotKeyCenter : public QObject {
    Q_OBJECT
public:
    explicit DCHotKeyCenter(std::unique_ptr<HotKeyBackend> backend, QObject *parent = nullptr);
    // Every hot key still registered is released with the backend. Goes before the QGuiApplication.
    ~DCHotKeyCenter() override;

    // The centre the application core installed (SharedInstance); fatal when there is none.
    static DCHotKeyCenter &sharedCenter();

    // Registers `hotKey` under its current combination, replacing an earlier registration of it. A hot
    // key without a valid combination registers nothing and answers true; a refusal by the service
    // answers false and leaves nothing registered. The centre keeps the hot key until it is unregistered.
    bool registerHotKey(const std::shared_ptr<DCHotKey> &hotKey);
    // Nothing happens for a hot key that is not registered.
    void unregisterHotKey(const std::shared_ptr<DCHotKey> &hotKey);
    QList<std::shared_ptr<DCHotKey>> allHotKeys() const;
    // The first registered hot key with this identifier; none for an empty identifier.
    std::shared_ptr<DCHotKey> hotKeyWithIdentifier(const QString &identifier) const;

Q_SIGNALS:
    // After the hot key's own action has run.
    void hotKeyPressed(DCHotKey *hotKey);
    void hotKeyReleased(DCHotKey *hotKey);

private:
    using Reference = HotKeyBackend::Reference;

    std::optional<Reference> referenceForHotKey(const DCHotKey *hotKey) const;
    void hotKeyDown(Reference reference);
    void hotKeyUp(Reference reference);

    std::unique_ptr<HotKeyBackend> backend_;
    std::map<Reference, std::shared_ptr<DCHotKey>> hotKeys_;
};
