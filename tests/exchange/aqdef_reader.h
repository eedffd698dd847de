#pragma once
// A small reader of the SPC transfer format, written from the public
// description of the format: key-field lines "Knnnn[/c] content" (c the
// characteristic, 0 for all of them), and value lines holding one part, its
// characteristics separated by 0x0F, each one's measured value, attribute
// and date/time separated by 0x14. Key fields of the value level after a
// value line belong to that part.
#include <charconv>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gaugemon::exchange::test {

struct AqdefValue {
    std::string text;  // the measured value as written
    std::optional<double> number;
    int attribute = -1;
    std::string dateTime;
};

struct AqdefPart {
    std::vector<AqdefValue> values;
    std::map<std::string, std::string> fields;  // value-level key fields, by key ("K0014")
};

struct AqdefFile {
    std::map<std::string, std::string> partFields;                           // "K1001" -> content
    std::map<unsigned, std::map<std::string, std::string>> characteristics;  // 1-based
    std::vector<AqdefPart> parts;
    std::vector<std::string> problems;  // lines the reader could not take
    bool utf8Marked = false;            // began with the byte-order mark of UTF-8
};

inline std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    for (size_t start = 0;;) {
        const size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return pieces;
        start = end + 1;
    }
}

inline bool isKeyLine(std::string_view line) {
    if (line.size() < 5 || line[0] != 'K') return false;
    for (size_t i = 1; i < 5; ++i)
        if (line[i] < '0' || line[i] > '9') return false;
    return true;
}

inline std::optional<double> decimalNumber(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

inline void readKeyLine(AqdefFile& file, std::string_view line) {
    const size_t blank = line.find(' ');
    const std::string_view head = line.substr(0, blank);
    const std::string content(blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1));
    const std::string key(head.substr(0, 5));
    unsigned characteristic = 0;
    const bool indexed = head.size() > 6 && head[5] == '/';
    if (indexed) std::from_chars(head.data() + 6, head.data() + head.size(), characteristic);
    if (key == "K0100") {
        file.partFields[key] = content;  // the number of characteristics in the file
    } else if (key < "K1000") {
        if (file.parts.empty()) {
            file.problems.push_back(std::string(line));
            return;
        }
        file.parts.back().fields[key] = content;
    } else if (key < "K2000") {
        file.partFields[key] = content;
    } else {
        file.characteristics[characteristic][key] = content;
    }
}

inline void readValueLine(AqdefFile& file, std::string_view line) {
    AqdefPart part;
    for (std::string_view characteristic : split(line, '\x0F')) {
        const auto fields = split(characteristic, '\x14');
        AqdefValue value;
        value.text = std::string(fields[0]);
        value.number = decimalNumber(fields[0]);
        if (fields.size() > 1) std::from_chars(fields[1].data(), fields[1].data() + fields[1].size(), value.attribute);
        if (fields.size() > 2) value.dateTime = std::string(fields[2]);
        part.values.push_back(value);
    }
    file.parts.push_back(std::move(part));
}

inline AqdefFile readAqdef(std::string_view bytes) {
    AqdefFile file;
    // The byte-order mark of a UTF-8 file.
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
        file.utf8Marked = true;
    }
    for (std::string_view line : split(bytes, '\n')) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        if (isKeyLine(line)) {
            readKeyLine(file, line);
        } else {
            readValueLine(file, line);
        }
    }
    return file;
}

}  // namespace gaugemon::exchange::test
