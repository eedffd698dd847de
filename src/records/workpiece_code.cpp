#include "records/workpiece_code.h"

#include <algorithm>
#include <cstring>

#include "records/gbk.h"

namespace gaugemon::records {

WorkpieceCode WorkpieceCode::fromGbk(std::string_view gbk) {
    WorkpieceCode code;
    code.length_ = static_cast<uint8_t>(std::min(gbk.size(), kMaxCodeBytes));
    if (code.length_ > 0) std::memcpy(code.bytes_.data(), gbk.data(), code.length_);
    return code;
}

bool WorkpieceCode::allDigits() const {
    return std::all_of(bytes_.begin(), bytes_.begin() + length_, [](char c) { return c >= '0' && c <= '9'; });
}

namespace {

// A spreadsheet that opens the exported file takes a cell beginning with one
// of these as a formula, even behind blanks that its import trims.
bool startsLikeFormula(std::string_view utf8) {
    const size_t first = utf8.find_first_not_of(' ');
    return first != std::string_view::npos && std::string_view("=+-@").find(utf8[first]) != std::string_view::npos;
}

}  // namespace

CodeCheck checkCode(std::string_view utf8) {
    const bool forbidden = std::any_of(utf8.begin(), utf8.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        // A quotation mark at the start of a comma file's field opens a quoted
        // field that runs on over the rows after it.
        return c == ',' || c == '"' || u < 0x20 || u == 0x7F;
    });
    if (forbidden) return {CodeProblem::ForbiddenCharacter, {}};
    if (startsLikeFormula(utf8)) return {CodeProblem::FormulaStart, {}};
    const auto gbk = utf8ToGbk(utf8);
    if (!gbk) return {CodeProblem::NotStorable, {}};
    if (gbk->size() > kMaxCodeBytes) return {CodeProblem::TooLong, {}};
    return {CodeProblem::None, WorkpieceCode::fromGbk(*gbk)};
}

const char* codeProblemMessage(CodeProblem problem, core::Language language) {
    switch (problem) {
        case CodeProblem::None: return "";
        case CodeProblem::ForbiddenCharacter:
            return core::pick(language,
                              "The code must not contain a comma, a quotation mark, a tab, a line break or another "
                              "control character.",
                              "编码中不能含有逗号、引号、制表符、换行符或其他控制字符!");
        case CodeProblem::FormulaStart:
            return core::pick(language,
                              "The code must not begin with =, +, - or @: a spreadsheet would take it for a formula.",
                              "编码不能以 =、+、- 或 @ 开头，否则电子表格会把它当作公式!");
        case CodeProblem::NotStorable:
            return core::pick(language, "The code contains characters that cannot be stored in the record file.",
                              "编码中含有无法保存到记录文件的字符!");
        case CodeProblem::TooLong:
            return core::pick(language, "The code is too long: at most 34 letters and digits or 17 Chinese characters.",
                              "编码太长：最多34个字母数字或17个汉字!");
    }
    return "";
}

}  // namespace gaugemon::records
