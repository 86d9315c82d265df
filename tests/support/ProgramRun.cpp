#include "support/ProgramRun.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include "support/ChildProcess.h"

QStringList programEnvironment(const QString &home) {
    QStringList env = ChildProcess::systemEnvironment();
    ChildProcess::setVariable(env, QStringLiteral("HOME"), home);
    for (const char *folder : {"config", "data", "cache", "runtime"}) {
        const QString path = home + QLatin1Char('/') + QLatin1String(folder);
        QDir().mkpath(path);
        const QString name =
            QStringLiteral("XDG_%1_%2")
                .arg(QString::fromLatin1(folder).toUpper(), QLatin1String(folder[0] == 'r' ? "DIR" : "HOME"));
        ChildProcess::setVariable(env, name, path);
    }
    QFile::setPermissions(home + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ChildProcess::setVariable(env, QStringLiteral("XDG_PICTURES_DIR"), home + QStringLiteral("/pictures"));
    ChildProcess::setVariable(env, QStringLiteral("DISPLAY"), QString());
    ChildProcess::setVariable(env, QStringLiteral("WAYLAND_DISPLAY"), QString());
    return env;
}

ProgramRun runProgram(const QStringList &arguments, const QString &home) {
    const ChildResult r = runChild(QStringLiteral(KL_PROGRAM), arguments, programEnvironment(home));
    ProgramRun result{r.exitCode, QString::fromUtf8(r.out), QString::fromUtf8(r.err)};
    if (result.err.contains(QLatin1String("Sanitizer"))) ADD_FAILURE() << qPrintable(result.err);
    return result;
}
