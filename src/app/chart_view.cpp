#include "app/chart_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace gaugemon::app {

namespace {

const uint32_t* pixelsAt(const QImage& image, int x, int y) {
    return reinterpret_cast<const uint32_t*>(image.constScanLine(y)) + x;
}

bool isArgb32(const QImage& image) {
    return image.format() == QImage::Format_ARGB32_Premultiplied || image.format() == QImage::Format_ARGB32 ||
           image.format() == QImage::Format_RGB32;
}

}  // namespace

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

void ChartView::showChanges(const QRegion& damage) {
    const QRect area = geometry();
    if (area != shownArea_) {
        shownArea_ = area;
        setOpaque(fullyCovered(image_, area));
        update();
        return;
    }
    const QRegion changed = damage & area;
    if (changed.isEmpty()) return;
    // A pixel the chart no longer covers shows the window again. Only what
    // changed can have changed that, as long as the view is opaque.
    const bool opaque = testAttribute(Qt::WA_OpaquePaintEvent);
    if (opaque ? !fullyCovered(image_, changed) : fullyCovered(image_, area)) {
        setOpaque(!opaque);
        update();
        return;
    }
    update(changed.translated(-area.topLeft()));
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
