#pragma once

#include <QDialog>

// The About box: the program's version and build, the current camera's firmware, and a link to the
// program's site (none when the build names no site). One at a time; it reads the versions when it
// opens, and goes when it is closed.
class DCAboutWindowController : public QDialog {
    Q_OBJECT
public:
    // `site` is the address without "http://" (empty: no link).
    DCAboutWindowController(QWidget *parent, uint16_t firmwareVersion, const QString &site);

    // Opens the one About box, making it first when none is open.
    static void showShared(QWidget *parent, uint16_t firmwareVersion, const QString &site);
    // "0.1.0 Build 431": the program's version and build, as the About box and --version give them.
    static QString softwareVersion();

private:
    void openSite(const QString &title);
};
