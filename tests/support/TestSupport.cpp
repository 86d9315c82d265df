#include "TestSupport.h"

#include <cstdlib>

#include <QCoreApplication>
#include <QDir>
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

void usePrivateTestHome(const QString &where) {
    const QString home = where.isEmpty() ? QStringLiteral(KL_TEST_HOME) : where;
    const struct {
        const char *name;
        const char *sub;
    } vars[] = {{"HOME", ""},
                {"XDG_CONFIG_HOME", "/config"},
                {"XDG_DATA_HOME", "/data"},
                {"XDG_CACHE_HOME", "/cache"},
                {"XDG_RUNTIME_DIR", "/runtime"}};
    for (const auto &v : vars) {
        const QString path = home + QLatin1String(v.sub);
        QDir().mkpath(path);
        ::setenv(v.name, path.toLocal8Bit().constData(), 1);
    }
    QFile::setPermissions(home + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
}
