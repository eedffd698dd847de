#include "app/chart_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <vector>

namespace gaugemon::app {

namespace {

// Narrow enough that one column's change does not repaint its neighbours,
// wide enough that a region of a whole chart stays a few dozen rectangles.
constexpr int kStripePx = 8;

struct LineSpan {
    int first = -1;
    int last = -1;
};

const uint32_t* pixelsAt(const QImage& image, int x, int y) {
    return reinterpret_cast<const uint32_t*>(image.constScanLine(y)) + x;
}

bool isArgb32(const QImage& image) {
    return image.format() == QImage::Format_ARGB32_Premultiplied || image.format() == QImage::Format_ARGB32 ||
           image.format() == QImage::Format_RGB32;
}

// Unites the parts pairwise, halving their number each round: adding them one
// by one to a growing region costs a merge of all its bands for every part.
QRegion uniteAll(std::vector<QRegion>& parts) {
    if (parts.empty()) return {};
    for (size_t step = 1; step < parts.size(); step *= 2) {
        for (size_t i = 0; i + step < parts.size(); i += 2 * step) parts[i] = parts[i].united(parts[i + step]);
    }
    return parts[0];
}

}  // namespace

QRegion changedStripes(const QImage& shown, const QImage& now, const QRect& area) {
    const QRect inside = area & now.rect();
    if (inside.isEmpty()) return {};
    if (shown.size() != area.size() || shown.format() != now.format() || !isArgb32(now)) return QRegion(inside);
    const int stripes = (inside.width() + kStripePx - 1) / kStripePx;
    std::vector<LineSpan> spans(static_cast<size_t>(stripes));
    const int dx = inside.x() - area.x();
    const size_t lineBytes = static_cast<size_t>(inside.width()) * sizeof(uint32_t);
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const uint32_t* before = pixelsAt(shown, dx, y - area.y());
        const uint32_t* after = pixelsAt(now, inside.x(), y);
        // Most lines of a chart in motion do not change at all.
        if (std::memcmp(before, after, lineBytes) == 0) continue;
        for (int s = 0; s < stripes; ++s) {
            const int x0 = s * kStripePx;
            const int width = std::min(kStripePx, inside.width() - x0);
            if (std::memcmp(before + x0, after + x0, static_cast<size_t>(width) * sizeof(uint32_t)) == 0) continue;
            LineSpan& span = spans[static_cast<size_t>(s)];
            if (span.first < 0) span.first = y;
            span.last = y;
        }
    }
    // Neighbouring stripes of the same lines make one rectangle (a bar wider
    // than a stripe, a value text).
    std::vector<QRegion> parts;
    for (int s = 0; s < stripes;) {
        const LineSpan span = spans[static_cast<size_t>(s)];
        int end = s + 1;
        while (end < stripes && spans[static_cast<size_t>(end)].first == span.first &&
               spans[static_cast<size_t>(end)].last == span.last)
            ++end;
        if (span.first >= 0) {
            const int x0 = s * kStripePx;
            const int x1 = std::min(end * kStripePx, inside.width());
            parts.emplace_back(inside.x() + x0, span.first, x1 - x0, span.last - span.first + 1);
        }
        s = end;
    }
    return uniteAll(parts);
}

bool fullyCovered(const QImage& image, const QRegion& region) {
    return std::all_of(region.begin(), region.end(), [&image](const QRect& r) { return fullyCovered(image, r); });
}

bool fullyCovered(const QImage& image, const QRect& area) {
    const QRect inside = area & image.rect();
    if (inside != area || inside.isEmpty()) return false;
    if (!image.hasAlphaChannel()) return true;
    if (!isArgb32(image)) return false;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const uint32_t* p = pixelsAt(image, inside.x(), y);
        for (int x = 0; x < inside.width(); ++x) {
            if (qAlpha(p[x]) != 255) return false;
        }
    }
    return true;
}

ChartView::ChartView(const QImage& image, QWidget* parent) : QWidget(parent), image_(image) {}

void ChartView::showChanges() {
    const QRect area = geometry();
    if (area != shownArea_ || shown_.size() != area.size() || shown_.format() != image_.format()) {
        showAll(area);
        return;
    }
    const QRegion changed = changedStripes(shown_, image_, area);
    if (changed.isEmpty()) return;
    QPainter copy(&shown_);
    copy.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& r : changed) copy.drawImage(r.translated(-area.topLeft()), image_, r);
    copy.end();
    // A pixel the chart no longer covers shows the window again. Only what
    // changed can have changed that, as long as the view is opaque.
    const bool opaque = testAttribute(Qt::WA_OpaquePaintEvent);
    if (opaque ? !fullyCovered(image_, changed) : fullyCovered(image_, area)) {
        setOpaque(!testAttribute(Qt::WA_OpaquePaintEvent));
        update();
        return;
    }
    update(changed.translated(-area.topLeft()));
}

void ChartView::showAll(const QRect& area) {
    shownArea_ = area;
    shown_ = image_.copy(area);
    setOpaque(fullyCovered(image_, area));
    update();
}

void ChartView::setOpaque(bool opaque) { setAttribute(Qt::WA_OpaquePaintEvent, opaque); }

void ChartView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // The backing image covers the whole client area; show the part under us.
    // What the chart never drew is transparent and shows the window behind.
    // An opaque view has every pixel under it drawn in full: a plain copy
    // shows the same as blending, for a fraction of the work.
    if (testAttribute(Qt::WA_OpaquePaintEvent)) painter.setCompositionMode(QPainter::CompositionMode_Source);
    // Rectangle by rectangle: the bounding rectangle of a few moved columns
    // is most of the chart.
    for (const QRect& r : event->region()) painter.drawImage(r, image_, r.translated(pos()));
}

void ChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint client = event->position().toPoint() + pos();
        emit clicked(client.x(), client.y());
    }
    QWidget::mousePressEvent(event);
}

}  // namespace gaugemon::app
