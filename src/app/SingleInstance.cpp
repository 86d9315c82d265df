#include "SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include "core/DCLog.h"

namespace {

// A request is one short line; anything longer is not from us.
constexpr qsizetype kMaxMessage = 4096;
constexpr int kTimeoutMs = 2000;
constexpr char kAcknowledgement = '1';

QString runtimePath(const QString &file) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return QDir(folder).filePath(file);
}

} // namespace

SingleInstance::SingleInstance(QString name, QObject *parent) : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close(); // removes the socket file
}

SingleInstance::Role SingleInstance::claim(const QByteArray &message) {
    lock_ = std::make_unique<QLockFile>(runtimePath(name_ + QStringLiteral(".lock")));
    // A lock whose owner is gone is taken over by QLockFile itself.
    if (lock_->tryLock(0)) return listen() ? Role::Primary : Role::Failed;
    // The primary may still be on its way to listening: try for a while.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kTimeoutMs) {
        if (sendToPrimary(message)) return Role::Secondary;
        QThread::msleep(50);
    }
    DCLog("Another window program holds %s but does not answer; going on alone", qUtf8Printable(name_));
    return Role::Failed;
}

bool SingleInstance::sendToPrimary(const QByteArray &message) {
    QLocalSocket socket;
    socket.connectToServer(runtimePath(name_ + QStringLiteral(".socket")));
    if (!socket.waitForConnected(kTimeoutMs)) return false;
    socket.write(message.left(kMaxMessage - 1) + '\n');
    if (!socket.waitForBytesWritten(kTimeoutMs)) return false;
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(kTimeoutMs)) return false;
    return socket.read(1) == QByteArray(1, kAcknowledgement);
}

bool SingleInstance::listen() {
    const QString path = runtimePath(name_ + QStringLiteral(".socket"));
    QLocalServer::removeServer(path); // left by a program that crashed: we hold the lock now
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path)) {
        DCLog("Cannot listen on %s: %s", qUtf8Printable(path), qUtf8Printable(server_->errorString()));
        server_.reset();
        return false;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::readRequest);
    return true;
}

void SingleInstance::readRequest() {
    while (QLocalSocket *socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A client that never finishes its line is dropped.
        QTimer::singleShot(kTimeoutMs, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() >= kMaxMessage) socket->abort();
                return;
            }
            const QByteArray message = socket->readLine(kMaxMessage).trimmed();
            socket->write(QByteArray(1, kAcknowledgement));
            socket->flush();
            socket->disconnectFromServer();
            Q_EMIT activationRequested(message);
        });
    }
}
