#include "capture/DCZoomAreaModel.h"

#include <vector>

#include <gtest/gtest.h>

#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"

namespace {

class ZoomAreaDrag : public ::testing::Test {
protected:
    ZoomAreaDrag() {
        token_ = center_.addObserver(DCNote::DCCameraModeZoomAreaChange,
                                     [this](const DCNotification &note) { posts_.push_back(note); });
    }
    ~ZoomAreaDrag() override { center_.removeObserver(token_); }

    QPointF lastOffsets() const {
        const QVariantMap &info = posts_.back().userInfo;
        EXPECT_EQ(info.value(DCKey::XOffset).typeId(), QMetaType::Float);
        return QPointF(info.value(DCKey::XOffset).toFloat(), info.value(DCKey::YOffset).toFloat());
    }

    DCNotificationCenter center_;
    DCNotificationCenter::Token token_ = 0;
    std::vector<DCNotification> posts_;
    DCZoomAreaModel model_{QRectF(0, 0, 200, 150), &center_};
};

} // namespace

TEST(DCZoomAreaModel, RatioCentresTheAreaAndNamesIt) {
    DCNotificationCenter center;
    int posts = 0;
    center.addObserver({}, [&posts](const DCNotification &) { ++posts; });
    DCZoomAreaModel model(QRectF(0, 0, 200, 150), &center);
    EXPECT_EQ(model.zoomedArea(), QRectF(0, 0, 200, 150));
    EXPECT_EQ(model.labelText(), QStringLiteral("1x"));

    model.setRatio(2.0f);
    EXPECT_EQ(model.zoomedArea(), QRectF(50, 37.5, 100, 75));
    EXPECT_EQ(model.labelText(), QStringLiteral("2x"));
    model.setRatio(1.5f);
    EXPECT_EQ(model.labelText(), QStringLiteral("1.5x"));
    EXPECT_EQ(posts, 0);

    // Nonsense ratios would put the area outside the thumbnail.
    model.setRatio(0.0f);
    EXPECT_EQ(model.zoomedArea(), QRectF(0, 0, 200, 150));
    model.setRatio(-3.0f);
    EXPECT_EQ(model.ratio(), 1.0f);

    model.setRatio(3.0f);
    model.setShouldHideZoomedArea(true);
    EXPECT_EQ(model.labelText(), QStringLiteral("1x Focusing"));
    model.setShouldHideZoomedArea(false);
    EXPECT_EQ(model.labelText(), QStringLiteral("3x"));

    // A resized thumbnail keeps the area in proportion.
    model.setRatio(2.0f);
    model.setBounds(QRectF(0, 0, 400, 300));
    EXPECT_EQ(model.zoomedArea(), QRectF(100, 75, 200, 150));
}

TEST_F(ZoomAreaDrag, OnlyAPressInsideTheAreaDrags) {
    model_.setRatio(2.0f);
    model_.mouseDown(QPointF(10, 10));
    EXPECT_FALSE(model_.dragging());
    EXPECT_FALSE(model_.mouseDragged(QPointF(30, 30)));
    model_.mouseDown(QPointF(100, 75));
    EXPECT_TRUE(model_.dragging());
    model_.mouseDown(QPointF(199, 1));
    EXPECT_FALSE(model_.dragging());
    EXPECT_TRUE(posts_.empty());
}

TEST_F(ZoomAreaDrag, DragMovesTheAreaAndPostsFractions) {
    model_.setRatio(2.0f);
    model_.mouseDown(QPointF(100, 75));
    EXPECT_TRUE(model_.mouseDragged(QPointF(110, 70)));
    EXPECT_EQ(model_.zoomedArea(), QRectF(60, 32.5, 100, 75));
    ASSERT_EQ(posts_.size(), 1u);
    EXPECT_EQ(lastOffsets(), QPointF(0.3f, float(32.5 / 150)));
}

TEST_F(ZoomAreaDrag, AreaSticksToTheEdgeAndThePointerKeepsItsGrip) {
    model_.setRatio(2.0f);
    model_.mouseDown(QPointF(100, 75));
    EXPECT_TRUE(model_.mouseDragged(QPointF(20, 75))); // 30 further than the area can go
    EXPECT_EQ(model_.zoomedArea().x(), 0);
    EXPECT_EQ(lastOffsets().x(), 0.0);
    const size_t posted = posts_.size();

    // Further out, and back until the pointer is where it held the area: nothing moves.
    EXPECT_FALSE(model_.mouseDragged(QPointF(0, 75)));
    EXPECT_FALSE(model_.mouseDragged(QPointF(50, 75)));
    EXPECT_EQ(posts_.size(), posted);
    // Past that point the area follows again.
    EXPECT_TRUE(model_.mouseDragged(QPointF(60, 75)));
    EXPECT_EQ(model_.zoomedArea().x(), 10);

    // Right edge, and vertical edges, the same way.
    EXPECT_TRUE(model_.mouseDragged(QPointF(400, 75)));
    EXPECT_EQ(model_.zoomedArea().x(), 100);
    EXPECT_TRUE(model_.mouseDragged(QPointF(400, 500)));
    EXPECT_EQ(model_.zoomedArea().topLeft(), QPointF(100, 75));
    EXPECT_EQ(lastOffsets(), QPointF(0.5, 0.5));
    EXPECT_TRUE(model_.mouseDragged(QPointF(400, -500)));
    EXPECT_EQ(model_.zoomedArea().y(), 0);
}

TEST_F(ZoomAreaDrag, WholePictureCannotBeMoved) {
    model_.setRatio(1.0f);
    model_.mouseDown(QPointF(100, 75));
    for (const QPointF p :
         {QPointF(150, 75), QPointF(50, 75), QPointF(100, 140), QPointF(100, 10), QPointF(0, 0)})
        EXPECT_FALSE(model_.mouseDragged(p));
    EXPECT_EQ(model_.zoomedArea(), QRectF(0, 0, 200, 150));
    EXPECT_TRUE(posts_.empty());
}
