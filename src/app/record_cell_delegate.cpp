#include "app/record_cell_delegate.h"

#include <QPainter>
#include <QStyle>

namespace gaugemon::app {

namespace {

QPalette::ColorGroup colourGroup(const QStyleOptionViewItem& option) {
    if (!(option.state & QStyle::State_Enabled)) return QPalette::Disabled;
    return option.state & QStyle::State_Active ? QPalette::Normal : QPalette::Inactive;
}

}  // namespace

void RecordCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    constexpr auto kStyled = QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver;
    const QVariant text = index.data(Qt::DisplayRole);
    const bool ownLook = index.data(Qt::BackgroundRole).isValid() || index.data(Qt::ForegroundRole).isValid() ||
                         index.data(Qt::FontRole).isValid();
    if ((option.state & kStyled) || ownLook || text.userType() != QMetaType::QString) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QStaticText& line = shaped(text.toString(), option.font);
    const QSizeF size = line.size();
    // The style's own margins: a text that would be cut short gets its ellipsis from the style.
    const int margin =
        option.widget ? option.widget->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1
                      : 1;
    if (size.width() > option.rect.width() - 2 * margin) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QVariant alignment = index.data(Qt::TextAlignmentRole);
    const Qt::Alignment align =
        alignment.isValid() ? Qt::Alignment(alignment.toInt()) : Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Placed as the style places its text: the line across the cell to a
    // fraction of a pixel, the height in whole pixels.
    const QRect room = option.rect.adjusted(margin, 0, -margin, 0);
    const QRect place = QStyle::alignedRect(option.direction, align, size.toSize(), room);
    const Qt::Alignment across = QStyle::visualAlignment(option.direction, align) & Qt::AlignHorizontal_Mask;
    qreal x = room.x();
    if (across & Qt::AlignHCenter) x += (room.width() - size.width()) / 2;
    if (across & Qt::AlignRight) x += room.width() - size.width();
    painter->setPen(option.palette.color(colourGroup(option), QPalette::Text));
    painter->drawStaticText(QPointF(x, place.top()), line);
}

const QStaticText& RecordCellDelegate::shaped(const QString& text, const QFont& font) const {
    if (font != keptFont_ || kept_.size() >= kMaxKeptTexts) {
        kept_.clear();
        keptFont_ = font;
    }
    auto found = kept_.find(text);
    if (found == kept_.end()) {
        QStaticText line(text);
        line.setTextFormat(Qt::PlainText);
        line.setPerformanceHint(QStaticText::AggressiveCaching);
        line.prepare(QTransform(), font);
        found = kept_.insert(text, line);
    }
    return found.value();
}

}  // namespace gaugemon::app
