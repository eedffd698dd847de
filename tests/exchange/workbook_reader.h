#pragma once
// Runs the independent workbook reader (Python's openpyxl) on a file and
// keeps what it reports.
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace gaugemon::exchange::test {

struct ReadCell {
    std::string type;    // "n" number, "s" string, "d" date-time
    std::string value;   // repr() of the value; dates as "2019-11-29 13:52:30"
    std::string format;  // number format
    std::string font;    // RRGGBB or "-"
    std::string fill;    // RRGGBB or "-"
};

struct ReadWorkbook {
    std::string sheet;
    std::string freeze;
    std::map<std::string, ReadCell> cells;  // by coordinate, "B4"
    std::vector<std::string> lines;         // everything the reader printed
    bool has(const std::string& at) const { return cells.count(at) > 0; }
    // What the reader said, for a failure message.
    std::string transcript() const {
        std::string all;
        for (const std::string& line : lines) all += line + "\n";
        return all;
    }
};

inline std::vector<std::string> runReader(const std::string& mode, const std::string& path) {
    const std::string command =
        std::string(GAUGEMON_PYTHON3) + " " + GAUGEMON_WORKBOOK_READER + " " + mode + " '" + path + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::vector<std::string> lines;
    if (!pipe) return lines;
    std::string line;
    for (int c; (c = std::fgetc(pipe.get())) != EOF;) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    return lines;
}

inline std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t')) fields.push_back(field);
    return fields;
}

inline ReadWorkbook readWorkbook(const std::string& path) {
    ReadWorkbook book;
    book.lines = runReader("cells", path);
    for (const std::string& line : book.lines) {
        const auto f = splitTabs(line);
        if (f.size() == 2 && f[0] == "sheet") book.sheet = f[1];
        if (f.size() == 2 && f[0] == "freeze") book.freeze = f[1];
        if (f.size() == 6) book.cells[f[0]] = {f[1], f[2], f[3], f[4], f[5]};
    }
    return book;
}

}  // namespace gaugemon::exchange::test
