// Every text of the main window as a person reads it: nothing clipped, nothing
// touching the control next to it, in both languages and in the dialog font
// the program sets.
#include "station_fixture.h"

#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>

#include "app/station_icon.h"
#include "app/window_layout.h"
#include "sim/instrument_config.h"

using namespace gaugemon;
using namespace gaugemon::testing;
namespace c = app::control;

namespace {

constexpr int kGap = 2;  // pixels between a text and the edge next to it

int advance(const QWidget& widget, const QString& text) { return widget.fontMetrics().horizontalAdvance(text); }

int trailingBlanks(const QWidget& widget, const QString& text) {
    return advance(widget, text) - advance(widget, QString(text).remove(QRegularExpression(" +$")));
}

// What of the control's text lies outside the room it has, in pixels; 0 when
// all of it shows with its gap.
int overrun(const QWidget& widget) {
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        const QString text = label->text();
        const int width = label->contentsRect().width();
        if (label->alignment() & Qt::AlignRight) {
            const int right = width - std::max(label->indent(), 0);
            const int start = right - advance(widget, text);
            const int inkEnd = right - trailingBlanks(widget, text);
            return std::max({0, -start, inkEnd - (width - kGap)});
        }
        return std::max(0, advance(widget, text) - trailingBlanks(widget, text) - (width - kGap));
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const auto contents = qobject_cast<const QPushButton*>(button) ? QStyle::SE_PushButtonContents
                              : qobject_cast<const QCheckBox*>(button) ? QStyle::SE_CheckBoxContents
                                                                       : QStyle::SE_RadioButtonContents;
        const int room = button->style()->subElementRect(contents, &option, button).width();
        const int margins = qobject_cast<const QPushButton*>(button) ? 2 * kGap : kGap;
        return std::max(0, advance(widget, button->text()) + margins - room);
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(&widget)) {
        return std::max(0, advance(widget, group->title()) + 2 * kGap - group->width());
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(&widget)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        const int room =
            combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo).width();
        int widest = 0;
        for (int i = 0; i < combo->count(); ++i) widest = std::max(widest, advance(widget, combo->itemText(i)));
        return std::max(0, widest - room);
    }
    return 0;
}

class TextFit : public StationFixture, public ::testing::WithParamInterface<int> {
protected:
    void expectEveryTextFits(const char* when) {
        SCOPED_TRACE(when);
        for (const app::ControlSpec& spec : app::kControls) {
            QWidget* widget = window->control(spec.id);
            EXPECT_EQ(overrun(*widget), 0)
                << spec.id << " \"" << textOf(spec.id).toStdString() << "\" in "
                << widget->font().family().toStdString() << " " << QFontInfo(widget->font()).pixelSize() << " px";
        }
    }
};

TEST_P(TextFit, EveryLabelAndButtonTextFitsItsControl) {
    ASSERT_EQ(QApplication::font(), app::dialogFont());
    settings.writeInt("Language", GetParam());
    settings.writeInt("HW", 2);
    settings.writeInt("ComID", 3);
    ports.place("COM3", sim::InstrumentConfig{});
    open();
    expectEveryTextFits("at start");
    // The captions that change while the station runs.
    ASSERT_TRUE(connect());
    click(c::kAutoRecord);
    ASSERT_TRUE(control<QCheckBox>(c::kAutoRecord)->isChecked());
    expectEveryTextFits("connected and recording");
}

INSTANTIATE_TEST_SUITE_P(Languages, TextFit, ::testing::Values(1, 2), [](const ::testing::TestParamInfo<int>& info) {
    return std::string(info.param == 2 ? "English" : "Chinese");
});

}  // namespace
