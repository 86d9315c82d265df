#pragma once

#include <chrono>
#include <memory>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The built program in headless mode, run as a user would start it, in a home of its own (settings,
// log and runtime folders), on a free loopback port.
class HeadlessRun {
public:
    HeadlessRun();
    ~HeadlessRun(); // kills the program if it still runs

    // The port to ask for; a free one when none is set.
    void setPort(int port) { port_ = port; }
    // Starts `korva-lectern --headless <extra> --port <port>` and waits for its stream line on
    // standard output. False (with the program's output in failure()) when it does not come.
    bool start(const QStringList &extra = {QStringLiteral("--demo")},
               std::chrono::milliseconds limit = std::chrono::seconds(30));
    // Sends `signal` and waits for the exit; false when it does not exit in time.
    bool stop(int signal, std::chrono::milliseconds limit = std::chrono::seconds(20));

    int port() const { return port_; }
    // What the program printed: the page and stream lines.
    QString output() const { return output_; }
    QString errors() const { return errors_; }
    QString failure() const;
    int exitCode() const { return process_.exitCode(); }
    bool exitedNormally() const { return process_.exitStatus() == QProcess::NormalExit; }
    QString logFile() const;
    QString home() const { return home_.path(); }
    qint64 pid() const { return process_.processId(); }
    // The stream and page on loopback.
    QString url(const QString &path) const;

    static int freePort();

private:
    void collect();

    QTemporaryDir home_;
    QProcess process_;
    int port_ = 0;
    QString output_, errors_;
};
