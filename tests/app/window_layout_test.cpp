// Where the main window goes on the screen and what follows a resize.
#include <gtest/gtest.h>

#include "app/window_layout.h"

using namespace gaugemon::app;

TEST(WindowPlacement, ShrinksLargeScreensByTwoThirdsOfTheExcess) {
    const Size full_hd = initialWindowSize(1920, 1080);
    EXPECT_EQ(full_hd.width, 1238);
    EXPECT_EQ(full_hd.height, 758);
    const Size xga = applyMinimumSize(initialWindowSize(1024, 768));
    EXPECT_EQ(xga.width, 1023);
    EXPECT_EQ(xga.height, 654);
}

TEST(WindowPlacement, SmallScreensAreFilledThenTheMinimumApplies) {
    const Size small = initialWindowSize(800, 560);
    EXPECT_EQ(small.width, 800);
    EXPECT_EQ(small.height, 560);
    const Size raised = applyMinimumSize(small);
    EXPECT_EQ(raised.width, kMinimumWidth);
    EXPECT_EQ(raised.height, kMinimumHeight);
}

TEST(ResizeRule, OnlyTheFramesAndTheListStretch) {
    StretchingRects rects{{7, 3, 563, 41}, {12, 80, 900, 400}, {12, 500, 900, 120}};
    const StretchingRects before = rects;
    applyResize(rects, 200, 0);
    EXPECT_EQ(rects.topFrame.width, before.topFrame.width + 200);
    EXPECT_EQ(rects.chartFrame.width, before.chartFrame.width + 200);
    EXPECT_EQ(rects.recordList.width, before.recordList.width + 200);
    EXPECT_EQ(chartAreaOf(rects.chartFrame).right, chartAreaOf(before.chartFrame).right + 200);
    applyResize(rects, 0, 100);
    EXPECT_EQ(rects.recordList.height, before.recordList.height + 100);
    EXPECT_EQ(rects.chartFrame.height, before.chartFrame.height);
    EXPECT_EQ(rects.topFrame.height, before.topFrame.height);
}

TEST(ResizeRule, ChartAreaLiesInsideItsFrame) {
    const ChartRect area = chartAreaOf({12, 80, 900, 400});
    EXPECT_EQ(area.left, 22);
    EXPECT_EQ(area.right, 902);
    EXPECT_EQ(area.top, 98);
    EXPECT_EQ(area.bottom, 444);
}

TEST(DialogUnits, ConvertWithTheFontsBaseUnits) {
    // A 7 x 14 pixel font: 4 units across a character, 8 down.
    const Rect px = dialogUnitsToPixels({4, 8, 8, 16}, 7, 14);
    EXPECT_EQ(px, (Rect{7, 14, 14, 28}));
}

TEST(ControlTable, EveryIdIsFoundOnce) {
    for (const ControlSpec& spec : kControls) {
        EXPECT_EQ(findControl(spec.id), &spec);
    }
    EXPECT_EQ(findControl(1041), nullptr);
}
