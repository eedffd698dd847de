#pragma once
#include "core/language.h"

namespace gaugemon::tolerance {

// Labels of the tolerance dialog, by interface language.
struct ToleranceDialogTexts {
    const char* title;
    const char* ok;
    const char* exit;
    const char* copyFirst;
    const char* listHint;
    const char* group;
    const char* probe;
    const char* lsl;
    const char* usl;
};

constexpr ToleranceDialogTexts toleranceDialogTexts(core::Language language) {
    if (language == core::Language::English) {
        return {"Set tolerance", "OK",  "Exit", "All the same as No.1", "Click list select number", "Set parameters",
                "Num",           "LSL", "USL"};
    }
    return {"公差设置", "确定",   "退出",  "设置所有参数和01#相同", "点击列表可以自动选择序号", "修改参数",
            "序号",     "下公差", "上公差"};
}

}  // namespace gaugemon::tolerance
