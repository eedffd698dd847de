#pragma once
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QRegion>
#include <array>
#include <memory>
#include <string_view>
#include <vector>

#include "display/chart_plan.h"
#include "display/value_text.h"
#include "measure/counts.h"

namespace gaugemon::display {

// A font of one pixel size with the glyphs of every character the chart
// writes (digits, blank, sign, point, OK, NG, the C of a characteristic), laid out without a text engine.
class ChartFace {
public:
    explicit ChartFace(FontSize size);
    // Draws `text` with its top-left corner at (x, y); characters the face
    // does not know are skipped.
    void draw(QPainter& painter, int32_t x, int32_t y, std::string_view text, QColor color);
    // Every pixel the same call of draw() can touch, with a pixel to spare
    // for the smoothing of the glyphs' edges.
    PixelRect inkBounds(int32_t x, int32_t y, std::string_view text) const;
    bool valid() const { return raw_.isValid(); }
    qreal averageWidth() const { return raw_.averageCharWidth(); }
    qreal height() const { return raw_.ascent() + raw_.descent(); }

private:
    static constexpr std::string_view kAlphabet = " -.0123456789OKNGC";
    static constexpr unsigned kLongestText = 8;
    QRawFont raw_;
    qreal ascent_ = 0;
    std::array<int8_t, 128> slotOf_{};
    std::array<quint32, kAlphabet.size()> glyphs_{};
    std::array<qreal, kAlphabet.size()> advances_{};
    // Each glyph's ink relative to its origin on the baseline.
    std::array<QRectF, kAlphabet.size()> inks_{};
    std::array<quint32, kLongestText> runGlyphs_{};
    std::array<QPointF, kLongestText> runPositions_{};
};

// Paints chart plans into an image, as the window's device context would
// receive them.
//
// A chart in motion moves every bar by a few pixels at each redraw: the
// painter remembers the plan the image shows and paints again only where the
// new one differs, with every drawing step that reaches there, in order. The
// image ends up the same as if the whole plan had been painted.
class ChartPainter {
public:
    // Paints `plan` and returns the part of the image that may have changed.
    QRegion paint(QImage& image, const ChartPlan& plan, const ValueTextTable& texts);
    // Fills the whole plot with its background colour.
    void clearPlot(QImage& image, const ChartArea& area);
    // The image was changed by others: the next plan is painted in full.
    void forgetShown() { showsPlan_ = false; }

private:
    ChartFace& face(FontSize size);
    // Paints the steps of `plan` that reach `within`, clipped to it; all of
    // them, unclipped, without it.
    void paintSteps(QPainter& p, const ChartPlan& plan, const ValueTextTable& texts, const QRect* within);
    void noteExtents(const ChartPlan& plan, const ValueTextTable& texts);

    std::vector<std::pair<FontSize, std::unique_ptr<ChartFace>>> faces_;
    bool showsPlan_ = false;
    ChartPlan shown_;
    ValueTextTable shownTexts_{};
    // Kept between redraws so that a redraw allocates nothing.
    std::vector<QRect> changes_;
    std::vector<QRect> bands_;
    std::vector<std::pair<int, int>> spans_;
    // Everything each column paints reaches no further than this.
    std::array<QRect, measure::kMaxValues> columnExtents_{};
    std::array<QRect, measure::kMaxValues> numberInks_{};
    std::array<QRect, measure::kMaxValues> textInks_{};
    QRect verdictExtent_;
};

}  // namespace gaugemon::display
