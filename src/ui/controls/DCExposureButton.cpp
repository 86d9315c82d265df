#include "ui/controls/DCExposureButton.h"

#include <algorithm>

#include <QWidgetAction>

#include "ui/controls/DCExposureMenuView.h"
#include "ui/controls/DCScroller.h"

namespace {
// The fixed steps, brightest first; each has the image "Exposure_" + its title.
const char *const kSteps[] = {"+2", "+1", "0", "-1", "-2"};
constexpr int kMiddleStepItem = 3;
constexpr int kSliderMiddle = 7;
} // namespace

DCExposureButton::DCExposureButton(QWidget *parent) : DCPopUpButton(parent) {
    setToTradMenu();
}

void DCExposureButton::setStyle(int style) {
    style_ = style;
    if (style == 0) setToTradMenu();
    if (style == 1) setToScrollerMenu();
}

void DCExposureButton::setToTradMenu() {
    removeItemsAfterTitle();
    for (const char *step : kSteps) {
        const QString title = QString::fromLatin1(step);
        addItem(title, QStringLiteral("Exposure_") + title);
    }
    setItemState(kMiddleStepItem, true);
}

void DCExposureButton::setToScrollerMenu() {
    removeItemsAfterTitle();
    if (!menuItemView_) {
        // Built once and kept across style changes, so the slider keeps its position.
        menuItemView_ = new DCExposureMenuView(this);
        menuItemHolder_ = new QWidgetAction(this);
        menuItemHolder_->setDefaultWidget(menuItemView_);
        connect(menuItemView_->slider(), &DCScroller::valueChosen, this, &DCExposureButton::setScrollValue);
    }
    addViewItem(menuItemHolder_);
}

DCScroller *DCExposureButton::slider() const {
    return menuItemView_ ? menuItemView_->slider() : nullptr;
}

int DCExposureButton::numberOfItems() const {
    if (!sliderCarriesValue()) return DCPopUpButton::numberOfItems();
    return slider()->maxValue() + 1;
}

void DCExposureButton::selectItemAtIndex(int index) {
    if (!sliderCarriesValue()) return DCPopUpButton::selectItemAtIndex(index);
    slider()->setIntValue(index - 1);
}

int DCExposureButton::indexOfSelectedItem() const {
    if (!sliderCarriesValue()) return DCPopUpButton::indexOfSelectedItem();
    return slider()->intValue() + 1;
}

QString DCExposureButton::titleOfSelectedItem() const {
    if (!sliderCarriesValue()) return DCPopUpButton::titleOfSelectedItem();
    return QString::number(slider()->intValue() + 1);
}

void DCExposureButton::tellChoice() {
    if (isEnabled()) Q_EMIT itemChosen(indexOfSelectedItem());
}

void DCExposureButton::setScrollValue() {
    tellChoice();
}

void DCExposureButton::setDefaultValue() {
    if (!slider()) return;
    slider()->setIntValue(kSliderMiddle);
    tellChoice();
}

void DCExposureButton::increaseValue() {
    if (!slider()) return;
    slider()->setIntValue(std::min(slider()->maxValue(), slider()->intValue() + 1));
    tellChoice();
}

void DCExposureButton::decreaseValue() {
    if (!slider()) return;
    slider()->setIntValue(std::max(slider()->minValue(), slider()->intValue() - 1));
    tellChoice();
}
