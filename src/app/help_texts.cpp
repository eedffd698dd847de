#include "app/help_texts.h"

namespace gaugemon::app {

namespace {

const HelpTexts kChinese = {
    "帮助",
    "测微计监测系统软件",
    "软件操作说明与技巧:",
    {"1, 自动记录时间并非高精度!(单次记录用时平均增加10毫秒的累计时间)",
     "2, 软件可最大化窗口或自定义拉伸视窗宽度和高度, 以便观察数据",
     "3, 快速清零：鼠标左键单击实时图柱能够自动对应测头编号",
     "4, 请根据测头量程范围合理设置实时显示区显示范围上下限(单位为mm)",
     "5, 自动记录时间设置最好不要小于软件扫描周期, 可以避免重复数据采集",
     "6, 勾选60秒自动保存, 文件存放在相同目录下Bak.xls, 该功能会增加自动记录时间累计误差",
     "7, 本软件实时数据显示区最大支持查询测头数量为60",
     "8, 公差设置可自定义采集数据的上下限，判断测量数据结果为合格（绿色）或超差(红色)"},
};

const HelpTexts kEnglish = {
    "Help",
    "Micrometer monitoring system software",
    "Software operation instructions and skills:",
    {"1. The automatic record time is not high precision (the cumulative error of a single sample add about 10 ms)",
     "2. The software can maximize or customize stretching the width and height of the dialog box to observe data "
     "better",
     "3. Quick zero: click the real-time column with the left mouse button to automatically locate the sensor number",
     "4. Please set the upper and lower limits of the display range of the real-time display area reasonably "
     "according to the range of the sensor (unit: mm)",
     "5. The setting of automatic acquisition time should not be less than the software sample cycle ,which can "
     "avoid repetition",
     "6. Check 'Auto save in 60 seconds' and store the file in the same directory as Bak.xls. This function will "
     "increase the cumulative error of automatic recording time",
     "7. The maximum number of query sensors supported in the real-time data display area of the software is 60",
     "8. The upper and lower limits of the collected data can be customized for tolerance setting, and the measured "
     "data result can be judged as qualified (green) or out of tolerance (red)"},
};

}  // namespace

const HelpTexts& helpTexts(core::Language language) {
    return language == core::Language::English ? kEnglish : kChinese;
}

}  // namespace gaugemon::app
