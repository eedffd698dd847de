#include "app/station_icon.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPixmap>

namespace gaugemon::app {

QIcon stationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.fillRect(0, 0, size, size, QColor(240, 240, 240));
        painter.setPen(QColor(64, 64, 64));
        painter.drawRect(0, 0, size - 1, size - 1);
        const int bar = size / 5;
        const int heights[3] = {size * 3 / 5, size * 4 / 5, size * 2 / 5};
        const QColor colors[3] = {QColor(0, 238, 0), QColor(255, 0, 0), QColor(0, 238, 0)};
        for (int i = 0; i < 3; ++i) {
            painter.fillRect(bar / 2 + i * (bar + bar / 2), size - 2 - heights[i], bar, heights[i], colors[i]);
        }
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QFont dialogFont() {
    const QStringList preferred = {
        QStringLiteral("SimSun"),           QStringLiteral("NSimSun"),           QStringLiteral("WenQuanYi Micro Hei"),
        QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("AR PL UMing CN")};
    const QStringList families = QFontDatabase::families();
    for (const QString& family : preferred) {
        if (families.contains(family)) return QFont(family, 10);
    }
    return QFont(QString(), 10);
}

}  // namespace gaugemon::app
