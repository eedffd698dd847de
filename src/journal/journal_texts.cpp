#include "journal/journal_texts.h"

namespace gaugemon::journal {

namespace {

std::string withCode(const Report& report) {
    return report.code != 0 ? " (" + std::to_string(report.code) + ")" : std::string();
}

}  // namespace

std::string problemText(const Report& report, core::Language language) {
    const bool english = language == core::Language::English;
    const std::string& path = report.path;
    const std::string memoryOnlyEn = " Rows are kept in memory only: save them to a file before closing.";
    const std::string memoryOnlyZh = "记录的数据仅保存在内存中，请在关闭前保存到文件!";
    switch (report.problem) {
        case Problem::None: return {};
        case Problem::CannotOpen:
            return english ? "The crash journal " + path + " cannot be opened" + withCode(report) + "." + memoryOnlyEn
                           : "无法打开数据恢复日志 " + path + withCode(report) + "，" + memoryOnlyZh;
        case Problem::InUse:
            return english ? "The crash journal " + path + " is in use by another running station." + memoryOnlyEn
                           : "数据恢复日志 " + path + " 正被另一个运行中的程序使用，" + memoryOnlyZh;
        case Problem::MovedAside:
            return english
                       ? "The crash journal was damaged. It was moved aside to " + path + " and a new one was started."
                       : "数据恢复日志已损坏，已移至 " + path + "，并已新建数据恢复日志。";
        case Problem::Damaged:
            return english ? "The crash journal " + path + " is damaged and could not be moved aside." + memoryOnlyEn
                           : "数据恢复日志 " + path + " 已损坏且无法移开，" + memoryOnlyZh;
        case Problem::NoSpace:
            return english ? "The crash journal " + path + " cannot be written: the disk is full." + memoryOnlyEn
                           : "数据恢复日志 " + path + " 无法写入：磁盘已满，" + memoryOnlyZh;
        case Problem::WriteFailed:
            return english ? "The crash journal " + path + " cannot be written" + withCode(report) + "." + memoryOnlyEn
                           : "数据恢复日志 " + path + " 无法写入" + withCode(report) + "，" + memoryOnlyZh;
    }
    return {};
}

std::string offerText(const PendingRows& pending, core::Language language) {
    const std::string count = std::to_string(pending.count);
    if (language == core::Language::English)
        return "The last run ended with " + count + (pending.count == 1 ? " row that is" : " rows that are") +
               " in no file, the first recorded at " + pending.firstStamp +
               ". Restore them into the record table? (No discards them.)";
    return "上次运行结束时有" + count + "行数据未保存到任何文件，第一行记录于" + pending.firstStamp +
           "。是否将其恢复到记录表中？（选择“否”将丢弃这些数据）";
}

std::string restoreText(const RestoreResult& result, core::Language language) {
    const bool english = language == core::Language::English;
    const std::string restored = std::to_string(result.restored);
    const std::string left = std::to_string(result.left);
    switch (result.outcome) {
        case RestoreOutcome::Restored: return {};
        case RestoreOutcome::PartRestored:
            return english ? restored + " rows were restored. " + left +
                                 " rows of another column layout, or beyond the table's capacity, stay in the "
                                 "journal and are offered again at the next start."
                           : "已恢复" + restored + "行数据。另有" + left +
                                 "行数据列格式不同或超出记录表容量，仍保留在日志中，下次启动时将再次提示。";
        case RestoreOutcome::Cancelled:
            return english ? "The restore was cancelled; the rows stay in the journal and are offered again at the "
                             "next start."
                           : "已取消恢复，数据仍保留在日志中，下次启动时将再次提示。";
        case RestoreOutcome::TableBusy:
        case RestoreOutcome::Failed:
            return english ? "The rows could not be restored; they stay in the journal and are offered again at "
                             "the next start."
                           : "数据无法恢复，仍保留在日志中，下次启动时将再次提示。";
    }
    return {};
}

}  // namespace gaugemon::journal
