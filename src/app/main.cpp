#include <cstdio>

#include <QCoreApplication>

#include "CommandLine.h"
#include "Modes.h"

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korva-lectern"));
    const CommandLine cl = CommandLine::parse(QCoreApplication::arguments());
    if (!cl.error.isEmpty()) {
        std::fprintf(stderr, "korva-lectern: %s\n\n%s", qUtf8Printable(cl.error),
                     qUtf8Printable(CommandLine::usage()));
        return 2;
    }
    return Modes::run(cl);
}
