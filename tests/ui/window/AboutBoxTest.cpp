// The About box: one at a time, its versions read when it opens.
#include <QLabel>

#include "support/QtTestMain.h"
#include "ui/window/DCAboutWindowController.h"

class AboutBoxTest : public QObject {
    Q_OBJECT

    static QList<DCAboutWindowController *> open() {
        QList<DCAboutWindowController *> boxes;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<DCAboutWindowController *>(w); box && box->isVisible()) boxes << box;
        return boxes;
    }

private Q_SLOTS:
    void oneBoxThatReadsTheFirmwareEachTimeItOpens() {
        QWidget window;
        DCAboutWindowController::showShared(&window, 0x1A0B, QStringLiteral("example.org"));
        DCAboutWindowController::showShared(&window, 0x0102, QString());
        QCOMPARE(open().size(), 1);
        QCOMPARE(open().first()->findChild<QLabel *>(QStringLiteral("firmwareVersion"))->text(), "1a0b");
        open().first()->close();
        QTRY_VERIFY(open().isEmpty());
        DCAboutWindowController::showShared(&window, 0x0102, QString());
        QCOMPARE(open().first()->findChild<QLabel *>(QStringLiteral("firmwareVersion"))->text(), "0102");
        QVERIFY(open()
                    .first()
                    ->findChild<QLabel *>(QStringLiteral("softwareVersion"))
                    ->text()
                    .contains(" Build "));
    }
};

KL_QTEST_MAIN(AboutBoxTest)
#include "AboutBoxTest.moc"
