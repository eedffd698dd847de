#pragma once
#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

namespace gaugemon::app {

// Paints the cells of the record list. A new row scrolls the whole list by
// one line, and the style lays out every visible cell's text again at each
// repaint; the texts of recorded rows never change, so each is shaped once
// and kept. Selected and focused cells, cells with colours or a font of
// their own, and texts too wide for their cell are left to the style.
class RecordCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Texts kept at most; more start the store afresh. A screenful of a
    // 62-column list is about 1,500.
    static constexpr qsizetype kMaxKeptTexts = 8192;

private:
    const QStaticText& shaped(const QString& text, const QFont& font) const;

    mutable QHash<QString, QStaticText> kept_;
    mutable QFont keptFont_;
};

}  // namespace gaugemon::app
