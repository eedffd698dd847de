#include "app/chart_view.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace gaugemon::app {

ChartView::ChartView(const QImage& image, QWidget* parent) : QWidget(parent), image_(image) {}

void ChartView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // The backing image covers the whole client area; show the part under us.
    // What the chart never drew is transparent and shows the window behind.
    const QRect source = event->rect().translated(pos());
    painter.drawImage(event->rect(), image_, source);
}

void ChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint client = event->position().toPoint() + pos();
        emit clicked(client.x(), client.y());
    }
    QWidget::mousePressEvent(event);
}

}  // namespace gaugemon::app
