#include <array>

#include "measure/characteristic_refusal.h"

namespace gaugemon::measure {

namespace {

using Texts = std::array<const char*, kRefusalReasons>;

// One text per reason, in the order of RefusalReason; "%p" stands for the
// probe number.
constexpr Texts kEnglish{
    "Enter a name.",
    "The name is too long (at most 32 bytes).",
    "The name may not contain control characters, ; , or \" nor begin with #, and must be valid UTF-8.",
    "The name may not begin with =, +, - or @: a spreadsheet would take it for a formula.",
    "The name may not contain invisible characters or characters that change the writing direction.",
    "The name is already used.",
    "Decimals must be 0~4!",
    "LSL/USL out of range!",
    "A limit has at most 3 decimals in mm and 5 in inches.",
    "Make sure LSL <=USL",
    "The formula names no probe.",
    "Probe %p does not exist (p1..p60).",
    "A probe number is at most 60 (p1..p60).",
    "Probe %p is beyond the probes of the instrument.",
    "The formula has too many terms (at most 60).",
    "A factor must be a number from -1000 to 1000.",
    "A constant must be a number of millimetres below 1000, with at most 4 decimals.",
    "The formula is not understood: write p1 + p2 + 25, 0.5*p1 - 0.5*p2, mean(p1..p4), max(...), min(...) or "
    "range(p1..p8, p10).",
    "The formula can exceed 13421.7727 mm, the most a row holds, when its probes read 999.999 mm: use smaller "
    "factors or fewer probes.",
    "Expected: name; decimals; LSL; USL; formula.",
    "The unit must be mm or in.",
    "At most 32 characteristics.",
    "The file is too large for a characteristics file.",
    "The file cannot be read.",
};

constexpr Texts kChinese{
    "请输入名称。",
    "名称太长（最多32字节）。",
    "名称不能包含控制字符、; , \"，不能以#开头，且必须是有效的UTF-8文本。",
    "名称不能以=、+、-或@开头：电子表格会把它当作公式。",
    "名称不能包含不可见字符或改变书写方向的字符。",
    "名称已被使用。",
    "小数位数必须为0~4!",
    "公差超出范围!",
    "公差的小数位数最多为3位（mm）或5位（in）。",
    "下公差必须小于上公差!",
    "公式中没有测头。",
    "测头%p不存在（p1..p60）。",
    "测头序号最大为60（p1..p60）。",
    "测头%p超出仪器的测头数。",
    "公式的项太多（最多60项）。",
    "系数必须是-1000到1000之间的数。",
    "常数必须是小于1000、最多4位小数的毫米数。",
    "无法识别公式：请写作 p1 + p2 + 25、0.5*p1 - 0.5*p2、mean(p1..p4)、max(...)、min(...) 或 range(p1..p8, p10)。",
    "测头读数为999.999 mm时，公式的值可超过13421.7727 mm（一行所能保存的最大值）：请减小系数或减少测头。",
    "格式应为：名称; 小数位数; 下公差; 上公差; 公式。",
    "单位必须为mm或in。",
    "最多32个特性。",
    "文件太大，不是特性定义文件。",
    "无法读取文件。",
};

void appendWithProbe(std::string& out, const char* text, unsigned probe) {
    for (const char* c = text; *c != '\0'; ++c) {
        if (c[0] == '%' && c[1] == 'p') {
            out += std::to_string(probe);
            ++c;
        } else {
            out += *c;
        }
    }
}

}  // namespace

std::string refusalText(const Refusal& refusal, core::Language language) {
    std::string out;
    if (refusal.line > 0) {
        out += core::pick(language, "Line ", "第");
        out += std::to_string(refusal.line);
        out += core::pick(language, ": ", "行：");
    }
    const auto index = static_cast<unsigned>(refusal.reason);
    if (index >= kRefusalReasons) return out;
    const Texts& texts = language == core::Language::English ? kEnglish : kChinese;
    appendWithProbe(out, texts[index], refusal.probe);
    return out;
}

}  // namespace gaugemon::measure
