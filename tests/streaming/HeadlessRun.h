#pragma once

#include <chrono>
#include <string>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "support/ChildProcess.h"

// The built program in headless mode, run as a user would start it, in a home of its own (settings,
// log and runtime folders) and without a display, on a free port.
class HeadlessRun {
public:
    HeadlessRun();
    ~HeadlessRun() = default; // kills the program if it still runs

    void setPort(int port) { port_ = port; }
    void setEnvironment(const QString &name, const QString &value);
    // Starts `korva-lectern --headless <extra> --port <port>` and, unless `limit` is zero, waits for
    // its stream line on standard output. False (with the program's output in failure()) when it does
    // not come.
    bool start(const QStringList &extra = {QStringLiteral("--demo")},
               std::chrono::milliseconds limit = std::chrono::seconds(30));
    // Sends `signal` (none: 0) and waits for the exit; false when it does not exit in time. A sanitizer
    // report on the program's standard error fails the calling test.
    bool stop(int signal, std::chrono::milliseconds limit = std::chrono::seconds(20));
    // Sends `signal` without waiting.
    void signal(int signal) { process_.signal(signal); }

    int port() const { return port_; }
    QString output() const { return QString::fromUtf8(process_.out()); } // the page and stream lines
    QString errors() const { return QString::fromUtf8(process_.err()); }
    QString failure() const;
    int exitCode() const { return process_.exitCode(); }
    bool exitedNormally() const { return process_.exitedNormally(); }
    QString logFile() const;
    // The stream and page on loopback; the stream as the program printed it.
    QString url(const QString &path) const;
    std::string printedStreamUrl() const;

private:
    QTemporaryDir home_;
    QStringList environment_;
    ChildProcess process_;
    int port_ = 0;
};
