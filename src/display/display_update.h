#pragma once
#include <QImage>
#include <QRegion>
#include <QSize>
#include <utility>

#include "core/settings_store.h"
#include "display/chart_painter.h"
#include "display/display_model.h"
#include "measure/length.h"
#include "tolerance/tolerance_table.h"

namespace gaugemon::display {

// The chart as the main window shows it: a backing image of the window's
// client area into which the plans of the display state are drawn. The
// window paints the image under its controls, so a repaint (uncovering,
// restoring) shows the chart again without waiting for a change. Pixels the
// chart never drew stay transparent.
class DisplayUpdate {
public:
    static constexpr QSize kDefaultClientSize{1238, 758};

    // The model is read only: the plot's area, the logo and redraw requests
    // go to it through its owner.
    explicit DisplayUpdate(const DisplayModel& model, QSize clientSize = kDefaultClientSize);

    // Draws a redraw the display state planned.
    void paint(const ChartPlan& plan);

    // Fills the plot with its background; the next plan must redraw it all.
    void clearPlot();

    // A new client size and plot after a resize of the window (not after
    // minimising), before the model takes the new area. The image keeps what
    // it shows; a plot that moved or changed size is cleared. Either way the
    // next plan must redraw the chart in full.
    void setLayout(QSize clientSize, const ChartArea& area);

    const QImage& image() const { return image_; }
    // The part of the image that may have changed since the last call.
    QRegion takeDamage() { return std::exchange(damage_, QRegion()); }
    bool anyNg() const { return model_.anyNg(); }

private:
    const DisplayModel& model_;
    ChartPainter painter_;
    QImage image_;
    QRegion damage_;
    // Whether the plot shows anything; a plot never drawn stays transparent
    // when the window is laid out again.
    bool plotDrawn_ = false;
};

}  // namespace gaugemon::display
