#pragma once
#include <QWidget>

class QImage;

namespace gaugemon::app {

// Shows the chart's backing image over the plot, so that uncovering or
// restoring the window shows the chart again without a redraw. Clicks go to
// the window in its client coordinates.
class ChartView : public QWidget {
    Q_OBJECT
public:
    ChartView(const QImage& image, QWidget* parent);

signals:
    void clicked(int clientX, int clientY);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    const QImage& image_;
};

}  // namespace gaugemon::app
