#include "app/text_fit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <algorithm>
#include <functional>
#include <optional>

namespace gaugemon::app {

namespace {

// Narrower before smaller: a narrower text keeps the height of its
// neighbours. Three quarters of the width and 60 % of the size are as far as
// a text stays easy to read.
constexpr int kStretchSteps[] = {95, 90, 85, 80, 75};
constexpr int kSmallestSizePercent = 60;

// The width a text needs in given metrics, gap included, and the room the
// control gives it.
struct Fit {
    std::function<int(const QFontMetrics&)> needed;
    int room = 0;
};

int trailingBlanks(const QString& text, const QFontMetrics& metrics) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == QLatin1Char(' ')) --end;
    return metrics.horizontalAdvance(text.mid(end));
}

// A label's trailing blanks already keep it off its neighbour; the rest of
// the gap is added.
int missingGap(const QString& text, const QFontMetrics& metrics) {
    return std::max(0, kTextGap - trailingBlanks(text, metrics));
}

QFont fittingFont(const QFont& base, const Fit& fit) {
    if (fit.needed(QFontMetrics(base)) <= fit.room) return base;
    QFont font = base;
    for (const int stretch : kStretchSteps) {
        font.setStretch(stretch);
        if (fit.needed(QFontMetrics(font)) <= fit.room) return font;
    }
    const int size = QFontInfo(base).pixelSize();
    for (int pixels = size - 1; pixels * 100 >= size * kSmallestSizePercent; --pixels) {
        font.setPixelSize(pixels);
        if (fit.needed(QFontMetrics(font)) <= fit.room) return font;
    }
    return font;
}

int buttonRoom(const QAbstractButton& button, QStyle::SubElement contents) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    return button.style()->subElementRect(contents, &option, &button).width();
}

int comboRoom(const QComboBox& combo) {
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.editable = combo.isEditable();
    return combo.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &combo).width();
}

std::optional<Fit> fitOf(const QWidget& control) {
    if (const auto* label = qobject_cast<const QLabel*>(&control)) {
        const QString text = label->text();
        return Fit{[text](const QFontMetrics& m) { return m.horizontalAdvance(text) + missingGap(text, m); },
                   label->contentsRect().width()};
    }
    if (const auto* button = qobject_cast<const QPushButton*>(&control)) {
        const QString text = button->text();
        return Fit{[text](const QFontMetrics& m) { return m.horizontalAdvance(text) + 2 * kTextGap; },
                   buttonRoom(*button, QStyle::SE_PushButtonContents)};
    }
    if (const auto* box = qobject_cast<const QCheckBox*>(&control)) {
        const QString text = box->text();
        return Fit{[text](const QFontMetrics& m) { return m.horizontalAdvance(text) + kTextGap; },
                   buttonRoom(*box, QStyle::SE_CheckBoxContents)};
    }
    if (const auto* radio = qobject_cast<const QRadioButton*>(&control)) {
        const QString text = radio->text();
        return Fit{[text](const QFontMetrics& m) { return m.horizontalAdvance(text) + kTextGap; },
                   buttonRoom(*radio, QStyle::SE_RadioButtonContents)};
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(&control)) {
        const QString title = group->title();
        return Fit{[title](const QFontMetrics& m) { return m.horizontalAdvance(title) + 2 * kTextGap; },
                   group->width()};
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(&control)) {
        QStringList entries;
        for (int i = 0; i < combo->count(); ++i) entries << combo->itemText(i);
        return Fit{[entries](const QFontMetrics& m) {
                       int widest = 0;
                       for (const QString& entry : entries) widest = std::max(widest, m.horizontalAdvance(entry));
                       return widest;
                   },
                   comboRoom(*combo)};
    }
    return std::nullopt;
}

}  // namespace

void fitText(QWidget& control) {
    const std::optional<Fit> fit = fitOf(control);
    if (!fit) return;
    // Measured from the font the control inherits, so a text that fits again
    // (a caption that changed back) returns to the dialog font.
    const QFont inherited = control.parentWidget() ? control.parentWidget()->font() : QApplication::font();
    const QFont font = fittingFont(inherited, *fit);
    if (font == inherited) {
        control.setFont(QFont());
    } else {
        control.setFont(font);
    }
    // A right-aligned label keeps its gap on the side of its field.
    if (auto* label = qobject_cast<QLabel*>(&control); label && (label->alignment() & Qt::AlignRight)) {
        label->setIndent(missingGap(label->text(), QFontMetrics(font)));
    }
}

}  // namespace gaugemon::app
