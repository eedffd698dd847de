#include "app/window_layout.h"

#include <algorithm>

namespace gaugemon::app {

using K = ControlKind;
namespace c = control;

const std::array<ControlSpec, 41> kControls = {{
    {c::kConnect, K::PushButton, {9, 10, 53, 31}, "连接设备", "Connect"},
    {c::kCommStatus, K::DisplayEdit, {99, 10, 78, 15}, "", nullptr},
    {c::kProbeNumberLabel, K::LabelRight, {267, 13, 30, 10}, "测头编号", "Num "},
    {c::kProbeNumber, K::Edit, {297, 10, 22, 13}, "", nullptr},
    {c::kZeroSingle, K::PushButton, {266, 24, 53, 17}, "单个清零", "Zero single"},
    {c::kZeroAll, K::PushButton, {322, 10, 53, 31}, "全体清零", "Zero all"},
    {c::kStatistics, K::PushButton, {440, 10, 53, 31}, "统计分析", "Statistics"},
    {c::kParameters, K::PushButton, {442, 251, 53, 17}, "参数设置", "Set PARM"},
    {c::kChartFrame, K::GroupBox, {7, 47, 563, 226}, "实时数据显示图表区", "Real time data chart display area"},
    {c::kRecordList, K::ListView, {7, 296, 563, 79}, "", nullptr},
    {c::kDeviceInfo, K::DisplayEdit, {99, 26, 160, 15}, "", nullptr},
    {c::kLowerLabel, K::Label, {11, 256, 50, 10}, "显示范围下限", "Lower limit"},
    {c::kRangeLower, K::Edit, {61, 254, 35, 13}, "", nullptr},
    {c::kRangeUpper, K::Edit, {119, 254, 35, 13}, "", nullptr},
    {c::kUpperLabel, K::Label, {98, 256, 21, 10}, "上限", "Upper"},
    {c::kRangeOk, K::PushButton, {157, 251, 35, 17}, "确定", "OK"},
    {c::kTolerances, K::PushButton, {512, 251, 53, 17}, "公差设置", "Set TOL"},
    {c::kClear, K::PushButton, {9, 277, 53, 17}, "清除数据", "Clear"},
    {c::kManual, K::PushButton, {138, 277, 53, 17}, "手动记录", "Manual"},
    {c::kAutoRecord, K::CheckBox, {198, 281, 43, 10}, "自动记录", "Auto REC"},
    {c::kSave, K::PushButton, {73, 277, 53, 17}, "保存数据", "Save"},
    {c::kHelp, K::PushButton, {442, 277, 53, 17}, "帮 助", "Help"},
    {c::kExit, K::PushButton, {512, 277, 53, 17}, "退 出", "Exit"},
    {c::kSecondsLabel, K::Label, {279, 282, 18, 10}, "秒", "s"},
    {c::kInterval, K::Edit, {243, 280, 34, 12}, "", nullptr},
    {c::kMessageLine, K::DisplayEdit, {179, 10, 80, 15}, "", nullptr},
    {c::kModeList, K::Combo, {230, 254, 46, 51}, "", nullptr},
    {c::kModeOk, K::PushButton, {280, 251, 35, 17}, "确定", "OK"},
    {c::kChinese, K::RadioLeft, {536, 12, 27, 12}, "中文", nullptr},
    {c::kEnglish, K::RadioLeft, {523, 25, 40, 12}, "English", nullptr},
    {c::kTopFrame, K::GroupBox, {7, 3, 563, 41}, "", nullptr},
    {c::kModeLabel, K::Label, {209, 256, 18, 10}, "模式", "Mode"},
    {c::kCommLabel, K::LabelRight, {67, 13, 30, 10}, "通讯状态", "   Comm "},
    {c::kDeviceLabel, K::LabelRight, {67, 28, 30, 10}, "设备信息", " Device "},
    {c::kLanguageFrame, K::GroupBox, {517, 6, 49, 35}, "", nullptr},
    {c::kBackupBox, K::CheckBox, {301, 274, 66, 10}, "60秒自动保存", "60 sec Save"},
    {c::kModifyCode, K::PushButton, {373, 277, 53, 17}, "修改编码", "Set Code"},
    {c::kCodeEntry, K::CheckBox, {301, 285, 66, 10}, "启用编码输入", "Enable Code"},
    {c::kUnitList, K::Combo, {354, 254, 33, 32}, "", nullptr},
    {c::kUnitLabel, K::Label, {333, 256, 18, 10}, "单位", "Unit"},
    {c::kUnitOk, K::PushButton, {391, 251, 35, 17}, "确定", "OK"},
}};

const ControlSpec* findControl(int id) {
    for (const ControlSpec& spec : kControls) {
        if (spec.id == id) return &spec;
    }
    return nullptr;
}

Rect dialogUnitsToPixels(const Rect& du, int baseX, int baseY) {
    // Rounded as the platform does it: (units * base + half) / 4 or / 8.
    const int left = (du.x * baseX + 2) / 4;
    const int top = (du.y * baseY + 4) / 8;
    const int right = ((du.x + du.width) * baseX + 2) / 4;
    const int bottom = ((du.y + du.height) * baseY + 4) / 8;
    return {left, top, right - left, bottom - top};
}

Size initialWindowSize(int w, int h) {
    return {w > 896 ? w - 2 * ((w - 896) / 3) : w, h > 597 ? h - 2 * ((h - 597) / 3) : h};
}

Size applyMinimumSize(Size size) {
    return {std::max(size.width, kMinimumWidth), std::max(size.height, kMinimumHeight)};
}

ChartRect chartAreaOf(const Rect& frame) {
    return {frame.x + 10, frame.right() - 10, frame.y + 18, frame.bottom() - 36};
}

void applyResize(StretchingRects& rects, int dWidth, int dHeight) {
    rects.topFrame.width += dWidth;
    rects.chartFrame.width += dWidth;
    rects.recordList.width += dWidth;
    rects.recordList.height += dHeight;
}

}  // namespace gaugemon::app
