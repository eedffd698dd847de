// The chart view repaints what moved and nothing else, and hides the window
// behind it only where the chart has drawn.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>

#include "app/chart_view.h"

namespace gaugemon::app {
namespace {

QImage chartImage(QColor fill) {
    QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

void paintBar(QImage& image, const QRect& bar) {
    QPainter p(&image);
    p.fillRect(bar, Qt::red);
}

TEST(ChangedStripes, FindsOnlyTheColumnAndLinesThatMoved) {
    const QRect area(20, 10, 160, 80);
    QImage image = chartImage(Qt::white);
    const QImage shown = image.copy(area);
    EXPECT_TRUE(changedStripes(shown, image, area).isEmpty());

    paintBar(image, QRect(50, 40, 3, 20));
    const QRegion changed = changedStripes(shown, image, area);
    const QRect bounds = changed.boundingRect();
    EXPECT_TRUE(changed.contains(QRect(50, 40, 3, 20)));
    EXPECT_EQ(bounds.top(), 40);
    EXPECT_EQ(bounds.bottom(), 59);
    EXPECT_LE(bounds.width(), 16);  // one or two stripes, never the chart's width

    // A change outside the area is not the view's business.
    QImage outside = chartImage(Qt::white);
    paintBar(outside, QRect(0, 0, 10, 5));
    EXPECT_TRUE(changedStripes(shown, outside, area).isEmpty());
}

// Every column of a moving chart changes at once: the region must be exactly
// the changed stripes, neighbours of the same lines joined, none lost.
TEST(ChangedStripes, ManyColumnsMovingAtOnceGiveExactlyTheirStripes) {
    const QRect area(0, 0, 200, 100);
    QImage image = chartImage(Qt::white);
    const QImage shown = image.copy(area);
    QRegion expected;
    for (int column = 0; column < 12; ++column) {
        // Bars of two stripes' width at stripe boundaries, each reaching down to another line.
        const QRect bar(column * 16, 10 + column * 5, 16, 30);
        paintBar(image, bar);
        expected += bar;
    }
    EXPECT_EQ(changedStripes(shown, image, area), expected);
}

TEST(ChangedStripes, ACopyOfAnotherSizeRepaintsTheWholeArea) {
    const QRect area(0, 0, 50, 40);
    const QImage image = chartImage(Qt::white);
    EXPECT_EQ(changedStripes(QImage(), image, area), QRegion(area));
    // An area reaching past the image is cut to it.
    EXPECT_EQ(changedStripes(QImage(), image, QRect(190, 90, 30, 30)), QRegion(QRect(190, 90, 10, 10)));
}

TEST(FullyCovered, NeedsEveryPixelDrawnAndTheAreaInsideTheImage) {
    QImage image = chartImage(Qt::transparent);
    EXPECT_FALSE(fullyCovered(image, QRect(10, 10, 20, 20)));
    paintBar(image, QRect(10, 10, 20, 20));
    EXPECT_TRUE(fullyCovered(image, QRect(10, 10, 20, 20)));
    EXPECT_FALSE(fullyCovered(image, QRect(10, 10, 21, 20)));
    EXPECT_FALSE(fullyCovered(image, QRect(190, 90, 20, 20)));
}

// Records what each paint of the view covered.
class WatchedView : public ChartView {
public:
    using ChartView::ChartView;
    QRegion painted;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        painted += event->region();
        ++paints;
        ChartView::paintEvent(event);
    }
};

struct ViewRig {
    QImage image = chartImage(Qt::transparent);
    QWidget window;
    WatchedView* view = nullptr;

    ViewRig() {
        window.resize(200, 100);
        view = new WatchedView(image, &window);
        view->setGeometry(20, 10, 160, 80);
        window.show();
        settle();
    }
    void settle() {
        for (int i = 0; i < 3; ++i) QApplication::processEvents();
        view->painted = QRegion();
        view->paints = 0;
    }
};

TEST(ChartView, BecomesOpaqueOnceTheChartCoversItAndSeeThroughWhenItNoLongerDoes) {
    ViewRig rig;
    rig.view->showChanges();
    EXPECT_FALSE(rig.view->testAttribute(Qt::WA_OpaquePaintEvent));
    rig.image.fill(Qt::white);
    rig.view->showChanges();
    EXPECT_TRUE(rig.view->testAttribute(Qt::WA_OpaquePaintEvent));
    {
        QPainter p(&rig.image);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(QRect(100, 50, 4, 4), Qt::transparent);
    }
    rig.view->showChanges();
    EXPECT_FALSE(rig.view->testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST(ChartView, RepaintsOnlyTheMovedColumnAndNothingWhenNothingMoved) {
    ViewRig rig;
    rig.image.fill(Qt::white);
    rig.view->showChanges();
    rig.settle();

    rig.view->showChanges();
    rig.settle();
    EXPECT_EQ(rig.view->paints, 0);

    paintBar(rig.image, QRect(60, 30, 4, 10));
    rig.view->showChanges();
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    ASSERT_GT(rig.view->paints, 0);
    // In the view's own coordinates: the bar at (40, 20), within one or two stripes.
    const QRect bounds = rig.view->painted.boundingRect();
    EXPECT_TRUE(bounds.contains(QRect(40, 20, 4, 10)));
    EXPECT_LE(bounds.width(), 16);
    EXPECT_EQ(bounds.height(), 10);
}

TEST(ChartView, AMoveShowsTheWholeViewAgain) {
    ViewRig rig;
    rig.image.fill(Qt::white);
    rig.view->showChanges();
    rig.settle();
    rig.view->setGeometry(10, 10, 100, 50);
    rig.settle();
    rig.view->showChanges();
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    EXPECT_EQ(rig.view->painted.boundingRect(), QRect(0, 0, 100, 50));
}

}  // namespace
}  // namespace gaugemon::app
