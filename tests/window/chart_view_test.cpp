// The chart view repaints what the chart changed and nothing else, and hides
// the window behind it only where the chart has drawn.
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
    rig.view->showChanges({});
    EXPECT_FALSE(rig.view->testAttribute(Qt::WA_OpaquePaintEvent));
    rig.image.fill(Qt::white);
    rig.view->showChanges(rig.image.rect());
    EXPECT_TRUE(rig.view->testAttribute(Qt::WA_OpaquePaintEvent));
    {
        QPainter p(&rig.image);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(QRect(100, 50, 4, 4), Qt::transparent);
    }
    rig.view->showChanges(QRect(100, 50, 4, 4));
    EXPECT_FALSE(rig.view->testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST(ChartView, RepaintsOnlyTheDamageUnderItAndNothingWithoutDamage) {
    ViewRig rig;
    rig.image.fill(Qt::white);
    rig.view->showChanges(rig.image.rect());
    rig.settle();

    // Damage beside the view is not its business.
    rig.view->showChanges(QRect(0, 0, 10, 5));
    rig.settle();
    EXPECT_EQ(rig.view->paints, 0);

    paintBar(rig.image, QRect(60, 30, 4, 10));
    paintBar(rig.image, QRect(120, 60, 4, 10));
    rig.view->showChanges(QRegion(60, 30, 4, 10) + QRegion(120, 60, 4, 10));
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    ASSERT_GT(rig.view->paints, 0);
    // In the view's own coordinates, the two bars and not the space between.
    EXPECT_EQ(rig.view->painted, QRegion(40, 20, 4, 10) + QRegion(100, 50, 4, 10));
}

TEST(ChartView, AMoveShowsTheWholeViewAgain) {
    ViewRig rig;
    rig.image.fill(Qt::white);
    rig.view->showChanges(rig.image.rect());
    rig.settle();
    rig.view->setGeometry(10, 10, 100, 50);
    rig.settle();
    rig.view->showChanges({});
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    EXPECT_EQ(rig.view->painted.boundingRect(), QRect(0, 0, 100, 50));
}

}  // namespace
}  // namespace gaugemon::app
