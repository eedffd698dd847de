#include <cstring>

#include "records/atomic_file.h"

namespace gaugemon::records {

std::string fileErrorMessage(const FileWriteResult& result, core::Language language) {
    std::string text = core::pick(language, "The file could not be written:\n", "无法写入文件：\n");
    text += result.path;
    text += '\n';
    text += std::strerror(result.error);
    text += core::pick(language, "\nThe previous file, if any, is unchanged.", "\n原有文件保持不变。");
    return text;
}

}  // namespace gaugemon::records
