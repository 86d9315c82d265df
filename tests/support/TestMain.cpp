// Test main: every test program runs with the private home of the build (settings, logs and photos
// never touch the developer's own) and with a QCoreApplication for its whole run, so code that hands
// work to the main thread or uses Qt's event loop behaves as it does in the program.
#include <cstdlib>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

void usePrivateHome() {
    const QString home = QStringLiteral(KL_TEST_HOME);
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

} // namespace

int main(int argc, char **argv) {
    usePrivateHome();
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
