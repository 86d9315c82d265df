#pragma once

#include "ui/controls/DCPopUpButton.h"

class DCExposureMenuView;
class DCScroller;
class QWidgetAction;

// The exposure pull-down in one of two styles. Style 0: five fixed steps "+2", "+1", "0", "-1",
// "-2" (items 1 to 5) with the "Exposure_" images. Style 1: the exposure slider in the menu; the
// slider position p is item p + 1, so numberOfItems(), selectItemAtIndex(), indexOfSelectedItem() and
// titleOfSelectedItem() speak of slider positions plus one. Either way itemChosen(index) tells the
// user's choice, with that index.
class DCExposureButton : public DCPopUpButton {
    Q_OBJECT
public:
    explicit DCExposureButton(QWidget *parent = nullptr);

    // 0 builds the fixed steps, 1 the slider; other values are only kept.
    void setStyle(int style);
    int style() const { return style_; }

    int numberOfItems() const override;
    void selectItemAtIndex(int index) override;
    int indexOfSelectedItem() const override;
    QString titleOfSelectedItem() const override;

    void setToTradMenu();
    void setToScrollerMenu();

    // The slider's position moved by the user: tells the choice.
    void setScrollValue();
    // Back to the middle of the slider, and tell.
    void setDefaultValue();
    // One slider step up or down within its range, and tell.
    void increaseValue();
    void decreaseValue();

    DCExposureMenuView *menuItemView() const { return menuItemView_; }
    DCScroller *slider() const;

private:
    bool sliderCarriesValue() const { return style_ == 1; }
    void tellChoice();

    int style_ = 0;
    DCExposureMenuView *menuItemView_ = nullptr;
    QWidgetAction *menuItemHolder_ = nullptr;
};
