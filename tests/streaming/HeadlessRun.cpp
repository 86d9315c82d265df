#include "HeadlessRun.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "StreamTestSupport.h"
#include "support/ProgramRun.h"

HeadlessRun::HeadlessRun() : environment_(programEnvironment(home_.path())) {}

void HeadlessRun::setEnvironment(const QString &name, const QString &value) {
    ChildProcess::setVariable(environment_, name, value);
}

bool HeadlessRun::start(const QStringList &extra, std::chrono::milliseconds limit) {
    if (port_ == 0) port_ = freePort();
    const QStringList arguments = QStringList{QStringLiteral("--headless")} + extra +
                                  QStringList{QStringLiteral("--port"), QString::number(port_)};
    if (!process_.start(QStringLiteral(KL_PROGRAM), arguments, environment_)) return false;
    if (limit.count() == 0) return true;
    return process_.readUntil([this] { return process_.out().contains("/stream\n"); }, limit);
}

bool HeadlessRun::stop(int signal, std::chrono::milliseconds limit) {
    if (signal != 0) process_.signal(signal);
    const bool exited = process_.waitForExit(limit);
    if (errors().contains(QLatin1String("Sanitizer"))) ADD_FAILURE() << qPrintable(errors());
    return exited;
}

QString HeadlessRun::failure() const {
    return QStringLiteral("stdout: %1\nstderr: %2\nlog: %3").arg(output(), errors(), logFile().right(4000));
}

QString HeadlessRun::logFile() const {
    QFile file(home_.path() + QStringLiteral("/data/Orb/Log.txt"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString HeadlessRun::url(const QString &path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path);
}

std::string HeadlessRun::printedStreamUrl() const {
    return QRegularExpression(QStringLiteral("http://\\S+/stream")).match(output()).captured().toStdString();
}
