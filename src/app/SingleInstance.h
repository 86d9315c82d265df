#pragma once

#include <memory>

#include <QByteArray>
#include <QObject>
#include <QString>

class QLocalServer;
class QLockFile;

// One window program per user: the first launch listens on a local socket; a later launch hands it its
// request (and the desktop's activation token, so the window may come to the front on Wayland) and
// exits. A socket left behind by a program that crashed is taken over.
//
// Main thread only.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `name` names the socket and the lock file (per user: they live in the runtime folder).
    explicit SingleInstance(QString name, QObject *parent = nullptr);
    ~SingleInstance() override;

    enum class Role { Primary, Secondary, Failed };
    // Primary: this process now serves the name. Secondary: another one does and was sent `message`.
    // Failed: neither (logged); the caller may go on as if alone.
    Role claim(const QByteArray &message);

Q_SIGNALS:
    // A later launch asked for the window; `message` is what it sent (the activation token, if any).
    void activationRequested(const QByteArray &message);

private:
    bool sendToPrimary(const QByteArray &message);
    bool listen();
    void readRequest();

    QString name_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
};
