#include "HeadlessRun.h"

#include <csignal>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include "StreamTestSupport.h"

HeadlessRun::HeadlessRun() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString home = home_.path();
    env.insert(QStringLiteral("HOME"), home);
    for (const char *folder : {"config", "data", "cache", "runtime"}) {
        QDir(home).mkpath(QString::fromLatin1(folder));
        env.insert(
            QStringLiteral("XDG_%1_%2")
                .arg(QString::fromLatin1(folder).toUpper(), QLatin1String(folder[0] == 'r' ? "DIR" : "HOME")),
            home + QLatin1Char('/') + QLatin1String(folder));
    }
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process_.setProcessEnvironment(env);
}

HeadlessRun::~HeadlessRun() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

void HeadlessRun::setEnvironment(const QString &name, const QString &value) {
    QProcessEnvironment env = process_.processEnvironment();
    env.insert(name, value);
    process_.setProcessEnvironment(env);
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
    return QStringLiteral("stdout: %1\nstderr: %2\nlog: %3").arg(output_, errors_, logFile().right(4000));
}

QString HeadlessRun::logFile() const {
    QFile file(home_.path() + QStringLiteral("/data/Orb/Log.txt"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString HeadlessRun::url(const QString &path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path);
}

std::string HeadlessRun::printedStreamUrl() const {
    return QRegularExpression(QStringLiteral("http://\\S+/stream")).match(output_).captured().toStdString();
}
