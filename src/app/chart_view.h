#pragma once
#include <QImage>
#include <QRegion>
#include <QWidget>

namespace gaugemon::app {

// The parts of `area` (in image coordinates) where `now` differs from
// `shown`, an earlier copy of that area, as stripes a few pixels wide: a bar
// or a value text that moved gives the stripes of its column, from the first
// to the last line that changed. Empty when not one pixel moved.
QRegion changedStripes(const QImage& shown, const QImage& now, const QRect& area);

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

    // Repaints only what moved in the image since the last call (the whole
    // view after a move or resize); nothing when not one pixel moved.
    void showChanges();

signals:
    void clicked(int clientX, int clientY);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void showAll(const QRect& area);
    void setOpaque(bool opaque);

    const QImage& image_;
    QImage shown_;     // the image under the view as last shown
    QRect shownArea_;  // where shown_ was taken from, in image coordinates
};

}  // namespace gaugemon::app
