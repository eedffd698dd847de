#pragma once
#include <QImage>
#include <QRegion>
#include <QWidget>

namespace gaugemon::app {

// Whether every pixel of `area` in `image` is fully drawn.
bool fullyCovered(const QImage& image, const QRect& area);
// The same for every rectangle of `region`.
bool fullyCovered(const QImage& image, const QRegion& region);

// Shows the chart's backing image over the plot, so that uncovering or
// restoring the window shows the chart again without a redraw. Clicks go to
// the window in its client coordinates.
//
// Once the chart has drawn every pixel under the view, the view is opaque:
// the window behind it is not painted again at each redraw of the chart.
class ChartView : public QWidget {
    Q_OBJECT
public:
    ChartView(const QImage& image, QWidget* parent);

    // Repaints the part of `damage` (in image coordinates) under the view, or
    // the whole view after a move or resize; nothing when neither.
    void showChanges(const QRegion& damage);

signals:
    void clicked(int clientX, int clientY);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void setOpaque(bool opaque);

    const QImage& image_;
    QRect shownArea_;  // the view's place at the last call, in image coordinates
};

}  // namespace gaugemon::app
