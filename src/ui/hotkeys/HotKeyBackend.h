#pragma once

#include <cstdint>
#include <optional>

#include <QObject>
#include <QString>

#include "ui/hotkeys/DCKeyCombo.h"

// The desktop's system-wide hot-key service as DCHotKeyCenter sees it: a key combination is registered
// under a reference of the backend's choosing, and its presses and releases come back as signals on the
// main thread carrying that reference. Main thread only.
class HotKeyBackend : public QObject {
    Q_OBJECT
public:
    using Reference = uint32_t; // never 0

    // What the desktop may show the user about a hot key (the portal lists them in its settings).
    struct Label {
        QString identifier;
        QString name;
    };

    using QObject::QObject;

    // The reference of the new registration, or nothing when the service refuses it (another program
    // holds the combination, or there is no service); a refusal is logged here, once.
    virtual std::optional<Reference> registerKeyCombo(const DCKeyCombo &combo, const Label &label) = 0;
    // Unknown references are ignored.
    virtual void unregisterKeyCombo(Reference reference) = 0;

Q_SIGNALS:
    void pressed(HotKeyBackend::Reference reference);
    void released(HotKeyBackend::Reference reference);
};

// The backend of a platform without a system-wide hot-key service: every registration is refused.
class NoHotKeyBackend : public HotKeyBackend {
    Q_OBJECT
public:
    explicit NoHotKeyBackend(QString platformName, QObject *parent = nullptr);
    std::optional<Reference> registerKeyCombo(const DCKeyCombo &combo, const Label &label) override;
    void unregisterKeyCombo(Reference) override {}

private:
    QString platformName_;
};
