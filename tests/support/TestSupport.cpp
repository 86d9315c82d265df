#include "TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include "core/DCLog.h"

LogCapture::LogCapture() : path_(dir_.filePath(QStringLiteral("log.txt"))) {
    DCLog::setLogFileForTesting(path_);
}

LogCapture::~LogCapture() {
    DCLog::setLogFileForTesting(QString());
}

QStringList LogCapture::lines() const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList out = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!out.isEmpty() && out.last().isEmpty()) out.removeLast();
    return out;
}

QStringList LogCapture::messages() const {
    QStringList out;
    for (const QString &line : lines()) {
        const qsizetype at = line.indexOf(QLatin1String("; "));
        out << (at < 0 ? line : line.mid(at + 2));
    }
    return out;
}

bool LogCapture::contains(const QString &messagePart) const {
    for (const QString &m : messages())
        if (m.contains(messagePart)) return true;
    return false;
}

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeout.count()) return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}
