#pragma once
#include <array>
#include <cstdint>

namespace gaugemon::app {

// Control ids of the main window.
namespace control {
inline constexpr int kConnect = 1001, kCommStatus = 1002, kProbeNumber = 1003, kZeroSingle = 1004, kZeroAll = 1005,
                     kParameters = 1006, kRecordList = 1007, kTopFrame = 1008, kChartFrame = 1009,
                     kProbeNumberLabel = 1010, kDeviceInfo = 1011, kRangeLower = 1012, kRangeUpper = 1013,
                     kRangeOk = 1014, kTolerances = 1015, kClear = 1016, kManual = 1017, kAutoRecord = 1018,
                     kSave = 1019, kHelp = 1020, kExit = 1021, kInterval = 1022, kModeList = 1023, kMessageLine = 1024,
                     kModeOk = 1025, kBackupBox = 1026, kChinese = 1027, kEnglish = 1028, kCommLabel = 1029,
                     kDeviceLabel = 1030, kModeLabel = 1031, kLowerLabel = 1032, kUpperLabel = 1033,
                     kSecondsLabel = 1034, kModifyCode = 1035, kCodeEntry = 1036, kUnitList = 1037, kUnitLabel = 1038,
                     kUnitOk = 1039, kStatistics = 1040;
inline constexpr int kLanguageFrame = 0;  // the caption-less frame around the language choice
}  // namespace control

enum class ControlKind : uint8_t {
    PushButton,
    DisplayEdit,
    Edit,
    Label,
    LabelRight,
    GroupBox,
    ListView,
    Combo,
    CheckBox,
    RadioLeft
};

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    int right() const { return x + width; }
    int bottom() const { return y + height; }
    bool operator==(const Rect&) const = default;
};

struct ControlSpec {
    int id;
    ControlKind kind;
    Rect dialogUnits;
    const char* chinese;
    const char* english;  // nullptr: the same text in both languages, or none
};

// Every control of the main window in creation (tab) order, with its place
// in dialog units of the 577 x 382 template.
extern const std::array<ControlSpec, 41> kControls;
inline constexpr int kTemplateWidthDu = 577;
inline constexpr int kTemplateHeightDu = 382;
inline constexpr int kMinimumWidth = 1023;
inline constexpr int kMinimumHeight = 597;

const ControlSpec* findControl(int id);

// Dialog units to pixels for a font whose average character is `baseX`
// pixels wide and `baseY` pixels high.
Rect dialogUnitsToPixels(const Rect& du, int baseX, int baseY);

// Window size for a screen of W x H pixels, before the minimum size applies.
struct Size {
    int width = 0, height = 0;
};
Size initialWindowSize(int screenWidth, int screenHeight);
Size applyMinimumSize(Size size);

// The plot rectangle inside the chart frame.
struct ChartRect {
    int left = 22, right = 668, top = 120, bottom = 310;
};
ChartRect chartAreaOf(const Rect& chartFrame);

// The resize rule: only the top frame, the chart frame (its width) and the
// record list (width and height) follow the window; nothing else moves.
struct StretchingRects {
    Rect topFrame, chartFrame, recordList;
};
void applyResize(StretchingRects& rects, int dWidth, int dHeight);

}  // namespace gaugemon::app
