#include "CommandLine.h"

namespace {

// Accepts "--name VALUE" and "--name=VALUE"; advances `i` past what it used.
std::optional<QString> takeValue(const QStringList &args, qsizetype &i, const QString &name) {
    const QString &arg = args[i];
    if (arg.startsWith(name + QLatin1Char('='))) return arg.mid(name.size() + 1);
    if (arg != name) return std::nullopt;
    if (i + 1 >= args.size()) return QString();
    return args[++i];
}

std::optional<int> toBoundedInt(const QString &text, int min, int max) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < min || value > max) return std::nullopt;
    return value;
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments) {
    CommandLine cl;
    auto setMode = [&cl](Mode mode) {
        if (cl.mode != Mode::Window && cl.mode != mode)
            cl.error = QStringLiteral("only one mode may be given");
        cl.mode = mode;
    };
    for (qsizetype i = 1; i < arguments.size() && cl.error.isEmpty(); ++i) {
        const QString &arg = arguments[i];
        if (arg == QLatin1String("--list-controls")) {
            setMode(Mode::ListControls);
        } else if (arg == QLatin1String("--list-cameras")) {
            setMode(Mode::ListCameras);
        } else if (arg == QLatin1String("--snapshot")) {
            setMode(Mode::Snapshot);
        } else if (arg == QLatin1String("--headless")) {
            setMode(Mode::Headless);
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            setMode(Mode::Help);
        } else if (arg == QLatin1String("--version")) {
            setMode(Mode::Version);
        } else if (arg == QLatin1String("--demo")) {
            cl.demoModels << QString();
        } else if (arg == QLatin1String("--demo-if-no-camera")) {
            cl.demoWhenNoCamera = true;
        } else if (arg.startsWith(QLatin1String("--demo="))) {
            cl.demoModels << arg.mid(7);
        } else if (auto v = takeValue(arguments, i, QStringLiteral("--device"))) {
            if (v->isEmpty()) cl.error = QStringLiteral("--device needs a path");
            cl.device = *v;
        } else if (auto v = takeValue(arguments, i, QStringLiteral("--stream-url"))) {
            if (v->isEmpty()) cl.error = QStringLiteral("--stream-url needs a URL");
            cl.streamUrls << *v;
        } else if (auto v = takeValue(arguments, i, QStringLiteral("--port"))) {
            cl.port = toBoundedInt(*v, 1, 65535);
            if (!cl.port) cl.error = QStringLiteral("--port needs a number from 1 to 65535");
        } else if (auto v = takeValue(arguments, i, QStringLiteral("--timer"))) {
            cl.timer = toBoundedInt(*v, 0, 3600);
            if (!cl.timer) cl.error = QStringLiteral("--timer needs whole seconds from 0 to 3600");
        } else if (arg.startsWith(QLatin1String("en-orb:"), Qt::CaseInsensitive) &&
                   cl.callbackUrl.isEmpty()) {
            cl.callbackUrl = QUrl(arg, QUrl::StrictMode);
            if (!cl.callbackUrl.isValid()) cl.error = QStringLiteral("not a valid URL: %1").arg(arg);
        } else {
            cl.error = QStringLiteral("unknown argument: %1").arg(arg);
        }
    }
    return cl;
}

QString CommandLine::usage() {
    return QStringLiteral(
        "Usage: korva-lectern [MODE] [OPTIONS]\n"
        "\n"
        "Without a mode the program opens its window (with no display it streams headless instead).\n"
        "\n"
        "Modes:\n"
        "  --list-controls      print the current camera's controls with their values and ranges\n"
        "  --list-cameras       print the cameras that are available\n"
        "  --snapshot           take one photo with the current camera and print its path\n"
        "  --headless           stream the current camera's picture on the network, without windows\n"
        "  -h, --help           show this text\n"
        "  --version            print the program's version and build\n"
        "\n"
        "Options:\n"
        "  --demo[=MODEL]       a simulated camera, repeatable (Orb, Orb-R, Wren, Wren-HD, Kite-1 HD)\n"
        "  --demo-if-no-camera  plug in a simulated camera when no camera is attached\n"
        "  --device /dev/videoN use this video device\n"
        "  --stream-url URL     add a network camera for an MJPEG stream (repeatable)\n"
        "  --port N             port of the stream server (default 8080)\n"
        "  --timer SECONDS      self-timer for --snapshot\n"
        "  en-orb://...         the end of an Evernote sign-in, handed to the running window\n"
        "\n"
        "Environment:\n"
        "  KL_EVERNOTE_SERVICE=http://127.0.0.1:PORT\n"
        "                       for testing only: Evernote mode signs in and uploads to a test service\n"
        "                       on this machine instead of Evernote\n"
        "\n"
        "Exit status:\n"
        "  0  done; --headless after SIGINT or SIGTERM (the stream is withdrawn, every client closed)\n"
        "  1  failure: no camera, no picture, the photo not saved, the port taken, or --snapshot\n"
        "     stopped by SIGINT or SIGTERM before its photo\n"
        "  2  a command line that cannot be used (unknown option or demo model, a URL that is not http)\n"
        "  A second SIGINT or SIGTERM while the program stops ends it at once.\n");
}
