#pragma once
#include <string_view>

#include "core/language.h"

namespace gaugemon::records {

// Fixed Chinese texts as they stand in the record files: GBK bytes.
namespace gbk {
inline constexpr std::string_view kNum = "\xD0\xF2\xBA\xC5";                 // 序号
inline constexpr std::string_view kCode = "\xB1\xE0\xC2\xEB";                // 编码
inline constexpr std::string_view kResult = "\xBD\xE1\xB9\xFB";              // 结果
inline constexpr std::string_view kTime = "\xCA\xB1\xBC\xE4";                // 时间
inline constexpr std::string_view kUpperLimit = "\xC9\xCF\xB9\xAB\xB2\xEE";  // 上公差
inline constexpr std::string_view kLowerLimit = "\xCF\xC2\xB9\xAB\xB2\xEE";  // 下公差
inline constexpr std::string_view kOk = "\xBA\xCF\xB8\xF1";                  // 合格
inline constexpr std::string_view kNg = "\xB3\xAC\xB2\xEE";                  // 超差
}  // namespace gbk

// The result cell of a row, 4 bytes, in the language of recording.
constexpr std::string_view resultCell(bool anyNg, core::Language language) {
    if (language == core::Language::English) return anyNg ? " NG " : " OK ";
    return anyNg ? gbk::kNg : gbk::kOk;
}

// Texts shown to the operator (UTF-8).
namespace text {
inline constexpr const char* kManualEn = "Manual";
inline constexpr const char* kManualZh = "手动记录";
inline constexpr const char* kStopAutoEn = "Stop Auto";
inline constexpr const char* kStopAutoZh = "关闭自动记录";
inline constexpr const char* kPeriodTooShortEn = "Automatic sampling time must be more than 0.1s";
inline constexpr const char* kPeriodTooShortZh = "自动采样时间必须大于0.1秒";
inline constexpr const char* kPeriodTooLongEn = "Automatic sampling time must not be more than 86400s";
inline constexpr const char* kPeriodTooLongZh = "自动采样时间不能超过86400秒";
inline constexpr const char* kExportDoneEn = "Data export completed!";
inline constexpr const char* kExportDoneZh = "数据导出完成!";
inline constexpr const char* kStopSavingEn =
    "A file is still being saved. Stop saving it? The previous file, if any, stays as it was.";
inline constexpr const char* kStopSavingZh = "文件仍在保存中，是否停止保存？原有文件保持不变。";
inline constexpr const char* kSelectCodeFirstEn = "Please select the code to be modified first!";
inline constexpr const char* kSelectCodeFirstZh = "请先选中待修改的编码!";
inline constexpr const char* kNoMemoryEn =
    "Not enough memory for further rows. Save the data and clear the table to go on recording.";
inline constexpr const char* kNoMemoryZh = "内存不足，无法继续记录。请保存数据并清除记录表后再记录!";
inline constexpr const char* kRowsWithoutCodesEn =
    "The rows in the table were recorded without workpiece codes; their codes cannot be set.";
inline constexpr const char* kRowsWithoutCodesZh = "记录表中的数据不带编码，无法修改编码!";
inline constexpr const char* kTableFullEn =
    "The record table is full (999999 rows). Save the data and clear the table to go on recording.";
inline constexpr const char* kTableFullZh = "记录表已满(999999行)，请保存数据并清除记录表后再记录!";
inline constexpr const char* kNoReadingsEn =
    "No new reading has arrived from the instrument: no row is recorded until readings arrive again. Automatic "
    "recording then resumes by itself.";
inline constexpr const char* kNoReadingsZh = "未收到仪器的新读数，恢复前不记录数据；收到读数后自动记录将自行恢复。";
inline constexpr const char* kUnsavedRowsEn =
    "Some recorded rows are not in any file yet (neither saved nor backed up). Close anyway?";
inline constexpr const char* kUnsavedRowsZh = "部分记录数据尚未保存或备份到文件，确定要关闭吗？";
}  // namespace text

}  // namespace gaugemon::records
