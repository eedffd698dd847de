#include "display/display_update.h"

#include <QPainter>

namespace gaugemon::display {

namespace {

QImage blankImage(QSize size) {
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

}  // namespace

DisplayUpdate::DisplayUpdate(const DisplayModel& model, QSize clientSize)
    : model_(model), image_(blankImage(clientSize)) {}

void DisplayUpdate::paint(const ChartPlan& plan) {
    damage_ += painter_.paint(image_, plan, model_.valueTexts());
    plotDrawn_ = true;
}

void DisplayUpdate::clearPlot() {
    const ChartArea& area = model_.chartArea();
    painter_.clearPlot(image_, area);
    damage_ += QRect(area.left, area.top, area.right - area.left, area.bottom - area.top);
    plotDrawn_ = true;
}

void DisplayUpdate::setLayout(QSize clientSize, const ChartArea& area) {
    const ChartArea old = model_.chartArea();
    if (clientSize != image_.size()) {
        QImage resized = blankImage(clientSize);
        QPainter p(&resized);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, image_);
        p.end();
        image_ = std::move(resized);
        painter_.forgetShown();
        damage_ = QRegion(image_.rect());
    }
    if (area == old || !plotDrawn_) return;
    // Columns of the old layout would linger beside the new bars.
    QPainter p(&image_);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(QRect(old.left, old.top, old.right - old.left, old.bottom - old.top), Qt::transparent);
    p.end();
    painter_.clearPlot(image_, area);
    damage_ = QRegion(image_.rect());
}

}  // namespace gaugemon::display
