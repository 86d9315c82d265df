// The custom controls under Qt Test on the offscreen platform: what each sends, and when not.
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>

#include "support/QtTestMain.h"
#include "ui/controls/DCAFLockButton.h"
#include "ui/controls/DCButtonView.h"
#include "ui/controls/DCCustomBackgroundColorScroller.h"
#include "ui/controls/DCExposureButton.h"
#include "ui/controls/DCExposureMenuView.h"
#include "ui/controls/DCImageBrowserScroller.h"
#include "ui/controls/DCManualFocusView.h"
#include "ui/controls/DCScroller.h"
#include "ui/controls/DCStepper.h"
#include "ui/controls/Icons.h"

namespace {

// What the user does by picking item `index` (1 and up) from the button's menu.
void pick(DCPopUpButton &button, int index) {
    button.menu()->actions().at(index - 1)->trigger();
}

// A click `y` points above the scroller's lower edge, over its track.
void clickAtHeight(DCScroller &scroller, int y) {
    QTest::mouseClick(&scroller, Qt::LeftButton, {}, QPoint(77, scroller.height() - y));
}

void hover(QWidget &widget, bool inside) {
    if (inside) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(&widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&widget, &leave);
    }
}

QList<bool> itemStates(const DCPopUpButton &button) {
    QList<bool> states;
    for (int i = 0; i < button.numberOfItems(); ++i)
        states << button.itemState(i);
    return states;
}

} // namespace

class ControlsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void buttonViewDrawsByPointerAndMark_data();
    void buttonViewDrawsByPointerAndMark();
    void buttonViewSendsOnlyWhenAllowed_data();
    void buttonViewSendsOnlyWhenAllowed();
    void scrollerClickSetsValue_data();
    void scrollerClickSetsValue();
    void scrollerRepeatsLastValueOffTheTrack();
    void scrollerKeysAndDefaultTellOnlyChanges();
    void pullDownTellsTheChoiceOnce();
    void mutexStateChecksOnlyTheSelection_data();
    void mutexStateChecksOnlyTheSelection();
    void exposureFixedSteps();
    void exposureSliderSpeaksInItems();
    void afLockFollowsTheCameraWithoutTelling();
    void afLockTellsTheUsersChanges();
    void scrollersFillBehindTheirKnob();
};

void ControlsTest::buttonViewDrawsByPointerAndMark_data() {
    QTest::addColumn<bool>("enter");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("enterImage");
    QTest::addColumn<QString>("drawn");
    QTest::newRow("normal") << false << false << "Camera-Up"
                            << "Camera-Down";
    QTest::newRow("pointer over") << true << false << "Camera-Up"
                                  << "Camera-Up";
    QTest::newRow("marked up") << false << true << "Camera-Up"
                               << "Camera-Up";
    QTest::newRow("pointer over, no enter image") << true << false << ""
                                                  << "Camera-Down";
    QTest::newRow("marked up, no enter image") << false << true << ""
                                               << "";
}

void ControlsTest::buttonViewDrawsByPointerAndMark() {
    QFETCH(bool, enter);
    QFETCH(bool, up);
    QFETCH(QString, enterImage);
    QFETCH(QString, drawn);
    DCButtonView view;
    view.setExitImage(QStringLiteral("Camera-Down"));
    view.setEnterImage(enterImage);
    view.setIsUp(up);
    hover(view, enter);
    QCOMPARE(view.isEnter(), enter);
    QCOMPARE(view.currentImage(), drawn);
}

void ControlsTest::buttonViewSendsOnlyWhenAllowed_data() {
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("responding");
    QTest::addColumn<int>("sent");
    QTest::newRow("enabled, responding") << true << true << 1;
    QTest::newRow("not responding") << true << false << 0;
    QTest::newRow("disabled") << false << true << 0;
}

void ControlsTest::buttonViewSendsOnlyWhenAllowed() {
    QFETCH(bool, enabled);
    QFETCH(bool, responding);
    QFETCH(int, sent);
    DCButtonView view;
    view.setExitImage(QStringLiteral("Snapshot-Down"));
    view.setEnterImage(QStringLiteral("Snapshot-Up"));
    view.resize(view.sizeHint());
    view.setEnabled(enabled);
    view.setShouldResponse(responding);
    QSignalSpy clicked(&view, &DCButtonView::clicked);
    if (enabled) {
        hover(view, true); // a view that does not respond still highlights
        QCOMPARE(view.currentImage(), QStringLiteral("Snapshot-Up"));
    }
    QTest::mouseClick(&view, Qt::LeftButton);
    QCOMPARE(clicked.count(), sent);
}

void ControlsTest::scrollerClickSetsValue_data() {
    QTest::addColumn<int>("y");
    QTest::addColumn<bool>("discrete");
    QTest::addColumn<int>("value");
    QTest::newRow("foot of the track") << 38 << true << 0;
    QTest::newRow("top of the band") << 183 << true << 14;
    QTest::newRow("exact half goes down") << 53 << true << 1;
    QTest::newRow("more than half goes up") << 54 << true << 2;
    QTest::newRow("continuous truncates") << 54 << false << 1;
}

void ControlsTest::scrollerClickSetsValue() {
    QFETCH(int, y);
    QFETCH(bool, discrete);
    QFETCH(int, value);
    DCScroller scroller;
    scroller.setDiscrete(discrete);
    scroller.setIntValue(value == 7 ? 8 : 7);
    QSignalSpy chosen(&scroller, &DCScroller::valueChosen);
    clickAtHeight(scroller, y);
    QCOMPARE(scroller.intValue(), value);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toInt(), value);
    clickAtHeight(scroller, y); // the same value again is no news
    QCOMPARE(chosen.count(), 1);
}

void ControlsTest::scrollerRepeatsLastValueOffTheTrack() {
    DCScroller scroller;
    clickAtHeight(scroller, 120);
    QCOMPARE(scroller.intValue(), 8);
    for (int y : {35, 195}) { // between the "Default" button and the track; above the band
        scroller.setIntValue(3);
        clickAtHeight(scroller, y);
        QCOMPARE(scroller.intValue(), 8);
    }
    // The value remembered from a wider slider stays within this one's range.
    DCScroller wide;
    wide.setMaxValue(100);
    clickAtHeight(wide, 178);
    QCOMPARE(wide.intValue(), 100);
    clickAtHeight(scroller, 35);
    QCOMPARE(scroller.intValue(), scroller.maxValue());
}

void ControlsTest::scrollerKeysAndDefaultTellOnlyChanges() {
    DCScroller scroller;
    QSignalSpy chosen(&scroller, &DCScroller::valueChosen);
    scroller.setIntValue(scroller.maxValue());
    QTest::keyClick(&scroller, Qt::Key_Up);
    QCOMPARE(chosen.count(), 0);
    QTest::keyClick(&scroller, Qt::Key_Down);
    QCOMPARE(scroller.intValue(), scroller.maxValue() - 1);
    auto *defaultButton = scroller.findChild<QPushButton *>();
    QVERIFY(defaultButton);
    QCOMPARE(defaultButton->text(), QStringLiteral("Default"));
    QTest::mouseClick(defaultButton, Qt::LeftButton);
    QTest::mouseClick(defaultButton, Qt::LeftButton);
    QCOMPARE(scroller.intValue(), scroller.defaultValue());
    QCOMPARE(chosen.count(), 2);
    scroller.setIntValue(scroller.minValue());
    QTest::keyClick(&scroller, Qt::Key_Down);
    QCOMPARE(chosen.count(), 2);
}

void ControlsTest::pullDownTellsTheChoiceOnce() {
    DCPopUpButton button;
    button.setTitle(QStringLiteral("Timer: Off"));
    button.addItems({QStringLiteral("Off"), QStringLiteral("3s"), QStringLiteral("10s")});
    QSignalSpy chosen(&button, &DCPopUpButton::itemChosen);

    pick(button, 2);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toInt(), 2);
    QCOMPARE(button.indexOfSelectedItem(), 2);
    QCOMPARE(button.titleOfSelectedItem(), QStringLiteral("3s"));
    QVERIFY(!button.itemState(2)); // the owner reads the state the click found
    button.setMutexState();
    QCOMPARE(itemStates(button), (QList<bool>{false, false, true, false}));
    QCOMPARE(button.title(), QStringLiteral("Timer: Off"));
    QCOMPARE(button.text(), QStringLiteral("Timer: Off"));

    hover(button, true);
    QCOMPARE(button.alpha(), 0.5);
    hover(button, false);
    QCOMPARE(button.alpha(), 1.0);

    button.setEnabled(false);
    pick(button, 1);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(button.indexOfSelectedItem(), 2);
}

void ControlsTest::mutexStateChecksOnlyTheSelection_data() {
    QTest::addColumn<int>("selected");
    QTest::addColumn<QList<bool>>("states");
    QTest::newRow("a choice") << 1 << QList<bool>{false, true, false};
    QTest::newRow("the title item") << 0 << QList<bool>{true, false, false};
    QTest::newRow("nothing") << -1 << QList<bool>{false, false, false};
    QTest::newRow("past the last item") << 3 << QList<bool>{false, false, false};
}

void ControlsTest::mutexStateChecksOnlyTheSelection() {
    QFETCH(int, selected);
    QFETCH(QList<bool>, states);
    DCPopUpButton button;
    button.addItems({QStringLiteral("H"), QStringLiteral("V")});
    button.setItemState(1, true);
    button.setItemState(2, true);
    button.selectItemAtIndex(selected);
    button.setMutexState();
    QCOMPARE(itemStates(button), states);
}

void ControlsTest::exposureFixedSteps() {
    DCExposureButton button;
    button.setStyle(0);
    QCOMPARE(button.numberOfItems(), 6);
    const QStringList titles{"+2", "+1", "0", "-1", "-2"};
    for (int i = 1; i <= 5; ++i) {
        QCOMPARE(button.itemTitle(i), titles[i - 1]);
        QCOMPARE(button.itemState(i), i == 3);
        QVERIFY(!button.menu()->actions().at(i - 1)->icon().isNull());
    }
    QSignalSpy chosen(&button, &DCPopUpButton::itemChosen);
    pick(button, 2);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(button.titleOfSelectedItem(), QStringLiteral("+1"));
}

void ControlsTest::exposureSliderSpeaksInItems() {
    DCExposureButton button;
    button.setStyle(1);
    DCScroller *slider = button.slider();
    QVERIFY(slider);
    QCOMPARE(button.numberOfItems(), slider->maxValue() + 1);
    slider->setIntValue(7);
    QCOMPARE(button.indexOfSelectedItem(), 8);
    QCOMPARE(button.titleOfSelectedItem(), QStringLiteral("8"));
    button.selectItemAtIndex(3);
    QCOMPARE(slider->intValue(), 2);

    QSignalSpy chosen(&button, &DCPopUpButton::itemChosen);
    clickAtHeight(*slider, 38 + 10 * 12);         // the user moves it to 12
    QTest::keyClick(button.menu(), Qt::Key_Down); // the open menu hands its arrows to the panel
    slider->setIntValue(slider->maxValue());
    button.increaseValue(); // at the top: stays, still tells
    button.setDefaultValue();
    QCOMPARE(chosen.count(), 4);
    QCOMPARE(chosen.at(0).at(0).toInt(), 13);
    QCOMPARE(chosen.at(1).at(0).toInt(), 12);
    QCOMPARE(chosen.at(2).at(0).toInt(), slider->maxValue() + 1);
    QCOMPARE(chosen.at(3).at(0).toInt(), 8);

    // The panel is built once: a round trip through the fixed steps keeps it and its position.
    DCExposureMenuView *view = button.menuItemView();
    button.setStyle(0);
    button.setStyle(1);
    QCOMPARE(button.menuItemView(), view);
    QCOMPARE(button.indexOfSelectedItem(), 8);

    button.setEnabled(false);
    button.increaseValue();
    QCOMPARE(chosen.count(), 4);
}

void ControlsTest::afLockFollowsTheCameraWithoutTelling() {
    DCAFLockButton button;
    QSignalSpy focus(&button, &DCAFLockButton::focusLengthChanged);
    QSignalSpy lock(&button, &DCAFLockButton::lockStateChanged);
    QSlider *slider = button.menuItemView()->slider();
    button.setMaxValue(50);
    button.setMinValue(0);
    QCOMPARE(button.numberOfItems(), 51);
    QCOMPARE(slider->maximum(), 51);

    const struct {
        int focus, position;
    } reports[] = {{0, 51}, {50, 1}, {25, 26}, {26, 25}}; // 26 equals the position before it
    for (const auto &r : reports) {
        button.setFocusLength(r.focus);
        QCOMPARE(slider->value(), r.position);
        QCOMPARE(button.menuItemView()->textField()->text(), QString::number(r.position));
        QCOMPARE(button.menuItemView()->companion()->value(), r.position);
        QCOMPARE(button.focusLength(), r.focus);
    }
    button.setLocked(true);
    QVERIFY(button.locked());
    QCOMPARE(focus.count(), 0);
    QCOMPARE(lock.count(), 0);

    button.setMaxValue(1000);
    button.setMinValue(0);
    QCOMPARE(slider->maximum(), 100);
    QCOMPARE(button.menuItemView()->companion()->maximum(), 100);
}

void ControlsTest::afLockTellsTheUsersChanges() {
    DCAFLockButton button;
    button.setMaxValue(50);
    button.setMinValue(0);
    button.setFocusLength(25);
    DCManualFocusView *view = button.menuItemView();
    QSignalSpy focus(&button, &DCAFLockButton::focusLengthChanged);
    QSignalSpy lock(&button, &DCAFLockButton::lockStateChanged);

    view->slider()->triggerAction(QAbstractSlider::SliderSingleStepAdd); // position 27
    QTest::keyClick(view, Qt::Key_Down);                                 // 26
    view->textField()->setText(QStringLiteral("200"));                   // kept on the slider: 51
    QTest::keyClick(view->textField(), Qt::Key_Return);
    QCOMPARE((QList<int>{focus.at(0).at(0).toInt(), focus.at(1).at(0).toInt(), focus.at(2).at(0).toInt()}),
             (QList<int>{24, 25, 0}));
    QCOMPARE(view->textField()->text(), QStringLiteral("51"));

    view->textField()->setText(QStringLiteral("x"));
    button.textFieldEnterValue(); // not a number: no move
    QCOMPARE(focus.count(), 3);
    QCOMPARE(view->textField()->text(), QStringLiteral("51"));

    QTest::mouseClick(view->lockBox(), Qt::LeftButton);
    QTest::mouseClick(view->lockBox(), Qt::LeftButton);
    QCOMPARE(lock.count(), 2);
    QCOMPARE(lock.at(0).at(0).toUInt(), 1u);
    QCOMPARE(lock.at(1).at(0).toUInt(), 0u);
    QVERIFY(view->textField()->isEnabled());

    button.setEnabled(false);
    button.increaseValue();
    view->lockBox()->click();
    QCOMPARE(focus.count(), 3);
    QCOMPARE(lock.count(), 2);
}

void ControlsTest::scrollersFillBehindTheirKnob() {
    DCCustomBackgroundColorScroller custom;
    custom.setColor(QColor(10, 200, 30));
    DCImageBrowserScroller browser;
    for (QScrollBar *bar : std::initializer_list<QScrollBar *>{&custom, &browser}) {
        bar->setRange(0, 100);
        bar->setPageStep(20);
        bar->resize(16, 300);
        const QImage image = bar->grab().toImage();
        const QColor fill = bar == &custom ? custom.color() : bar->palette().color(QPalette::Button);
        // The far end of the track shows the fill, the knob (at the start) does not.
        QCOMPARE(image.pixelColor(8, image.height() - 3), fill);
        bool knobDrawn = false;
        for (int y = 0; y < image.height() / 4 && !knobDrawn; ++y)
            knobDrawn = image.pixelColor(8, y) != fill;
        QVERIFY2(knobDrawn, bar->metaObject()->className());
    }
}

KL_QTEST_MAIN(ControlsTest)
#include "ControlsTest.moc"
