#include "display/chart_painter.h"

#include "display/chart_colors.h"
#include "display/chart_damage.h"

#include <QFont>
#include <QGlyphRun>
#include <algorithm>
#include <cmath>

namespace gaugemon::display {

namespace {

QColor qcolor(Rgb c) { return QColor(c.r, c.g, c.b); }

void fill(QPainter& p, const PixelRect& r, const QColor& color) {
    if (!r.empty()) p.fillRect(toQRect(r), color);
}

// The edge of a bar, a pixel wide, inside it.
void outline(QPainter& p, const PixelRect& r, const QColor& color) {
    if (r.empty()) return;
    fill(p, horizontalLine(r.left, r.right, r.top), color);
    fill(p, horizontalLine(r.left, r.right, r.bottom - 1), color);
    fill(p, verticalLine(r.left, r.top, r.bottom), color);
    fill(p, verticalLine(r.right - 1, r.top, r.bottom), color);
}

// The chart's face is a Times-like roman; where no such font is installed a
// CJK-capable face that every install of the station carries stands in.
QFont chartFont(int pixelSize, int stretch) {
    QFont font;
    font.setFamilies({QStringLiteral("TimesNewRoman"), QStringLiteral("Times New Roman"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setStyleHint(QFont::Serif);
    font.setWeight(QFont::DemiBold);
    font.setPixelSize(std::max(pixelSize, 1));
    if (stretch > 0) font.setStretch(std::clamp(stretch, 1, 4000));
    return font;
}

}  // namespace

ChartFace::ChartFace(FontSize size) {
    // The requested height is the whole character cell (ascent and descent),
    // the width the average character width: scale the face to both.
    raw_ = QRawFont::fromFont(chartFont(size.height, 0));
    if (!raw_.isValid()) return;
    const qreal cell = raw_.ascent() + raw_.descent();
    const int pixelSize = cell > 0 ? static_cast<int>(std::lround(size.height * size.height / cell)) : size.height;
    raw_ = QRawFont::fromFont(chartFont(pixelSize, 0));
    const qreal natural = raw_.averageCharWidth();
    const int stretch = natural > 0 ? static_cast<int>(std::lround(100.0 * size.width / natural)) : 100;
    raw_ = QRawFont::fromFont(chartFont(pixelSize, stretch));
    if (!raw_.isValid()) return;
    ascent_ = raw_.ascent();

    slotOf_.fill(-1);
    const QString alphabet = QString::fromLatin1(kAlphabet.data(), static_cast<qsizetype>(kAlphabet.size()));
    const QList<quint32> indexes = raw_.glyphIndexesForString(alphabet);
    const QList<QPointF> advances = raw_.advancesForGlyphIndexes(indexes);
    for (qsizetype i = 0; i < indexes.size() && i < static_cast<qsizetype>(kAlphabet.size()); ++i) {
        slotOf_[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
        glyphs_[i] = indexes[i];
        advances_[i] = i < advances.size() ? advances[i].x() : 0;
        inks_[i] = raw_.boundingRect(indexes[i]);
    }
}

PixelRect ChartFace::inkBounds(int32_t x, int32_t y, std::string_view text) const {
    if (!raw_.isValid()) return {};
    QRectF ink;
    qreal pen = 0;
    for (char ch : text.substr(0, kLongestText)) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const int slot = c < slotOf_.size() ? slotOf_[c] : -1;
        if (slot < 0) continue;
        ink |= inks_[slot].translated(pen, 0);
        pen += advances_[slot];
    }
    if (ink.isEmpty()) return {};
    const qreal baseline = y + ascent_;
    constexpr int kSmoothingPx = 1;
    return {static_cast<int32_t>(std::floor(x + ink.left())) - kSmoothingPx,
            static_cast<int32_t>(std::floor(baseline + ink.top())) - kSmoothingPx,
            static_cast<int32_t>(std::ceil(x + ink.right())) + kSmoothingPx,
            static_cast<int32_t>(std::ceil(baseline + ink.bottom())) + kSmoothingPx};
}

void ChartFace::draw(QPainter& painter, int32_t x, int32_t y, std::string_view text, QColor color) {
    if (!raw_.isValid()) return;
    int count = 0;
    qreal pen = 0;
    for (char ch : text.substr(0, kLongestText)) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const int slot = c < slotOf_.size() ? slotOf_[c] : -1;
        if (slot < 0) continue;
        runGlyphs_[count] = glyphs_[slot];
        runPositions_[count] = QPointF(pen, 0);
        pen += advances_[slot];
        ++count;
    }
    if (count == 0) return;
    QGlyphRun run;
    run.setRawFont(raw_);
    run.setRawData(runGlyphs_.data(), runPositions_.data(), count);
    painter.setPen(color);
    painter.drawGlyphRun(QPointF(x, y + ascent_), run);
}

ChartFace& ChartPainter::face(FontSize size) {
    for (auto& [known, face] : faces_) {
        if (known == size) return *face;
    }
    faces_.emplace_back(size, std::make_unique<ChartFace>(size));
    return *faces_.back().second;
}

QRegion ChartPainter::paint(QImage& image, const ChartPlan& plan, const ValueTextTable& texts) {
    QPainter p(&image);
    QRegion damage;
    if (!showsPlan_ || !sameLayout(shown_, plan)) {
        paintSteps(p, plan, texts, nullptr);
        damage = QRegion(image.rect());
    } else {
        changes_.clear();
        collectChartChanges(shown_, shownTexts_, plan, texts, face(labelFont(plan.labelSize)), face(kVerdictFont),
                            changes_);
        toBands(changes_, bands_, spans_);
        if (!bands_.empty()) noteExtents(plan, texts);
        // Band by band, each under a plain rectangle: the rectangles do not
        // overlap, so no text is blended twice into one pixel.
        for (const QRect& band : bands_) {
            p.setClipRect(band);
            paintSteps(p, plan, texts, &band);
        }
        damage.setRects(bands_.data(), static_cast<int>(bands_.size()));
        damage &= image.rect();
    }
    shown_ = plan;
    shownTexts_ = texts;
    showsPlan_ = true;
    return damage;
}

void ChartPainter::noteExtents(const ChartPlan& plan, const ValueTextTable& texts) {
    ChartFace& label = face(labelFont(plan.labelSize));
    auto unite = [](QRect& extent, const PixelRect& r) {
        if (!r.empty()) extent |= toQRect(r);
    };
    for (unsigned i = 0; i < plan.columnCount() && i < measure::kMaxValues; ++i) {
        const ColumnPlan& c = plan.columns[i];
        QRect& extent = columnExtents_[i];
        extent = QRect();
        for (const PixelRect& r : {c.bar, c.clearAbove, c.clearBelow}) unite(extent, r);
        if (c.markLower) unite(extent, c.lowerMark);
        if (c.markUpper) unite(extent, c.upperMark);
        const PixelRect numberInk = label.inkBounds(c.numberX, c.numberY, numberText(c));
        const PixelRect textInk = label.inkBounds(c.textX, c.textY, columnText(plan, texts, i).text());
        unite(extent, numberInk);
        unite(extent, textInk);
        numberInks_[i] = toQRect(numberInk);
        textInks_[i] = toQRect(textInk);
    }
    verdictExtent_ = QRect();
    const VerdictPlan& v = plan.verdict;
    if (v.draw) {
        unite(verdictExtent_, v.box);
        unite(verdictExtent_, face(kVerdictFont).inkBounds(v.textX, v.textY, v.ng ? "NG" : "OK"));
    }
}

void ChartPainter::paintSteps(QPainter& p, const ChartPlan& plan, const ValueTextTable& texts, const QRect* within) {
    const QColor background = qcolor(colors::kPlotBackground);
    const QColor mark = qcolor(colors::kToleranceMark);
    const QColor number = qcolor(colors::kProbeNumber);
    const QColor valueText = qcolor(colors::kValueText);
    ChartFace& label = face(labelFont(plan.labelSize));

    for (unsigned i = 0; i < plan.columnCount() && i < measure::kMaxValues; ++i) {
        if (within && !columnExtents_[i].intersects(*within)) continue;
        const ColumnPlan& c = plan.columns[i];
        fill(p, c.bar, qcolor(barColor(c)));
        if (c.outlined) outline(p, c.bar, qcolor(colors::kCharacteristicOutline));
        fill(p, c.clearAbove, background);
        fill(p, c.clearBelow, background);
        if (c.markLower) fill(p, c.lowerMark, mark);
        if (c.markUpper) fill(p, c.upperMark, mark);
        // Glyphs cost far more than fills: a text wholly beyond `within` is left out.
        if (!within || numberInks_[i].intersects(*within)) label.draw(p, c.numberX, c.numberY, numberText(c), number);
        if (!within || textInks_[i].intersects(*within))
            label.draw(p, c.textX, c.textY, columnText(plan, texts, i).text(), valueText);
    }
    if (plan.verdict.draw && (!within || verdictExtent_.intersects(*within))) {
        fill(p, plan.verdict.box, background);
        const bool ng = plan.verdict.ng;
        face(kVerdictFont)
            .draw(p, plan.verdict.textX, plan.verdict.textY, ng ? "NG" : "OK", qcolor(ng ? colors::kNg : colors::kOk));
    }
    if (plan.probes > 0) {
        // Lines of a pixel: the clip leaves out what lies beyond `within`.
        const QColor axis = qcolor(colors::kAxis);
        fill(p, plan.axes.zeroLine, axis);
        fill(p, plan.axes.leftAxis, axis);
        fill(p, plan.axes.highLine, axis);
        fill(p, plan.axes.lowLine, axis);
    }
}

void ChartPainter::clearPlot(QImage& image, const ChartArea& area) {
    forgetShown();
    QPainter p(&image);
    fill(p, {area.left, area.top, area.right, area.bottom}, qcolor(colors::kPlotBackground));
}

}  // namespace gaugemon::display
