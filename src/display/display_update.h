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

    explicit DisplayUpdate(DisplayModel& model, QSize clientSize = kDefaultClientSize);

    // Draws a redraw the display state planned.
    void paint(const ChartPlan& plan);

    // The display update after a decoded reading frame and its drawing: value
    // texts of probes 0..N-1 and, when a value moved or a redraw was
    // requested, all columns, the verdict box and the axes. True when the
    // image changed; the window then repaints.
    bool run(std::span<const measure::Length> readings, const tolerance::Verdict& verdict,
             const tolerance::ToleranceTable& tolerances, const CharacteristicColumns& characteristics = {});

    // Fills the plot with its background and requests a redraw.
    void clearPlot();
    void requestRedraw() { model_.requestRedraw(); }

    // A new client size and plot after a resize of the window (not after
    // minimising). The image keeps what it shows; a plot that moved or changed
    // size is cleared. Either way the next update redraws the chart in full.
    void setLayout(QSize clientSize, const ChartArea& area);
    void setLogoShown(bool shown) { model_.setLogoShown(shown); }

    // The range confirmation; see DisplayModel. A confirmed range also
    // clears the plot.
    RangeRefusal confirmRange(float lower, float upper, core::SettingsStore& store);

    const QImage& image() const { return image_; }
    // The part of the image that may have changed since the last call.
    QRegion takeDamage() { return std::exchange(damage_, QRegion()); }
    bool anyNg() const { return model_.anyNg(); }

private:
    DisplayModel& model_;
    ChartPainter painter_;
    QImage image_;
    QRegion damage_;
    // Whether the plot shows anything; a plot never drawn stays transparent
    // when the window is laid out again.
    bool plotDrawn_ = false;
};

}  // namespace gaugemon::display
