#include "HeadlessRun.h"

#include <csignal>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>

#include <boost/asio/ip/tcp.hpp>

HeadlessRun::HeadlessRun() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString home = home_.path();
    for (const char *folder : {"config", "data", "cache", "runtime"})
        QDir(home).mkpath(QString::fromLatin1(folder));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
    process_.setProcessEnvironment(env);
}

HeadlessRun::~HeadlessRun() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

int HeadlessRun::freePort() {
    boost::asio::io_context ioc;
    boost::asio::ip::tcp::acceptor probe(ioc, boost::asio::ip::tcp::endpoint(boost::asio::ip::tcp::v4(), 0));
    return probe.local_endpoint().port();
}

bool HeadlessRun::start(const QStringList &extra, std::chrono::milliseconds limit) {
    if (port_ == 0) port_ = freePort();
    process_.start(QStringLiteral(KL_PROGRAM),
                   QStringList{QStringLiteral("--headless")} + extra +
                       QStringList{QStringLiteral("--port"), QString::number(port_)});
    if (!process_.waitForStarted(5000)) return false;
    QElapsedTimer clock;
    clock.start();
    while (!output_.contains(QStringLiteral("/stream\n"))) {
        if (clock.elapsed() > limit.count() || process_.state() == QProcess::NotRunning) return false;
        process_.waitForReadyRead(100);
        collect();
    }
    return true;
}

bool HeadlessRun::stop(int signal, std::chrono::milliseconds limit) {
    if (process_.state() != QProcess::NotRunning && signal != 0)
        ::kill(static_cast<pid_t>(process_.processId()), signal);
    const bool exited =
        process_.state() == QProcess::NotRunning || process_.waitForFinished(int(limit.count()));
    collect();
    return exited;
}

void HeadlessRun::collect() {
    output_ += QString::fromUtf8(process_.readAllStandardOutput());
    errors_ += QString::fromUtf8(process_.readAllStandardError());
}

QString HeadlessRun::failure() const {
    return QStringLiteral("stdout: %1\nstderr: %2").arg(output_, errors_);
}

QString HeadlessRun::logFile() const {
    QFile file(home_.path() + QStringLiteral("/data/Orb/Log.txt"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString HeadlessRun::url(const QString &path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path);
}
