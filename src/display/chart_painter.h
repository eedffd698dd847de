#pragma once
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <array>
#include <memory>
#include <string_view>
#include <vector>

#include "display/chart_plan.h"
#include "display/value_text.h"

namespace gaugemon::display {

// A font of one pixel size with the glyphs of every character the chart
// writes (digits, blank, sign, point, OK, NG), laid out without a text engine.
class ChartFace {
public:
    explicit ChartFace(FontSize size);
    // Draws `text` with its top-left corner at (x, y); characters the face
    // does not know are skipped.
    void draw(QPainter& painter, int32_t x, int32_t y, std::string_view text, QColor color);
    bool valid() const { return raw_.isValid(); }
    qreal averageWidth() const { return raw_.averageCharWidth(); }
    qreal height() const { return raw_.ascent() + raw_.descent(); }

private:
    static constexpr std::string_view kAlphabet = " -.0123456789OKNG";
    static constexpr unsigned kLongestText = 8;
    QRawFont raw_;
    qreal ascent_ = 0;
    std::array<int8_t, 128> slotOf_{};
    std::array<quint32, kAlphabet.size()> glyphs_{};
    std::array<qreal, kAlphabet.size()> advances_{};
    std::array<quint32, kLongestText> runGlyphs_{};
    std::array<QPointF, kLongestText> runPositions_{};
};

// Paints chart plans into an image, as the window's device context would
// receive them.
class ChartPainter {
public:
    void paint(QImage& image, const ChartPlan& plan, const ValueTextTable& texts);
    // Fills the whole plot with its background colour.
    void clearPlot(QImage& image, const ChartArea& area);

private:
    ChartFace& face(FontSize size);
    std::vector<std::pair<FontSize, std::unique_ptr<ChartFace>>> faces_;
};

}  // namespace gaugemon::display
