#include "DCAboutWindowController.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFormLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/controls/Icons.h"
#include "ui/model/AboutInfo.h"

DCAboutWindowController::DCAboutWindowController(QWidget *parent, uint16_t firmwareVersion,
                                                 const QString &site)
    : QDialog(parent) {
    setWindowTitle(tr("About Korva Lectern"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *column = new QVBoxLayout(this);
    auto *icon = new QLabel(this);
    icon->setPixmap(Icons::pixmap(QStringLiteral("AppIcon"), QSize(64, 64), devicePixelRatioF()));
    column->addWidget(icon, 0, Qt::AlignHCenter);
    auto *name = new QLabel(tr("Korva Lectern"), this);
    name->setAlignment(Qt::AlignHCenter);
    column->addWidget(name);
    auto *fields = new QFormLayout;
    auto *software = new QLabel(softwareVersion(), this);
    software->setObjectName(QStringLiteral("softwareVersion"));
    auto *firmware = new QLabel(AboutInfo::firmwareText(firmwareVersion), this);
    firmware->setObjectName(QStringLiteral("firmwareVersion"));
    fields->addRow(tr("Software:"), software);
    fields->addRow(tr("Camera firmware:"), firmware);
    column->addLayout(fields);
    if (!site.isEmpty()) {
        auto *link = new QPushButton(site, this);
        link->setFlat(true);
        link->setCursor(Qt::PointingHandCursor);
        connect(link, &QPushButton::clicked, this, [this, site] { openSite(site); });
        column->addWidget(link, 0, Qt::AlignHCenter);
    }
}

void DCAboutWindowController::showShared(QWidget *parent, uint16_t firmwareVersion, const QString &site) {
    static QPointer<DCAboutWindowController> shared;
    // A box closed a moment ago may still wait for its deletion: it is done with all the same.
    if (!shared || !shared->isVisible()) shared = new DCAboutWindowController(parent, firmwareVersion, site);
    shared->show();
    shared->raise();
    shared->activateWindow();
}

QString DCAboutWindowController::softwareVersion() {
    return AboutInfo::softwareText(QStringLiteral(KL_VERSION), QStringLiteral(KL_BUILD_NUMBER));
}

void DCAboutWindowController::openSite(const QString &title) {
    QDesktopServices::openUrl(QUrl(QStringLiteral("http://") + title));
}
