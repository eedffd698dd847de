#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace gaugemon::records {

// The record files hold every Chinese text as GBK, two bytes a character, so
// that a spreadsheet opened on a Chinese system reads them without a byte-order
// mark. The operator's texts arrive as UTF-8 and are turned into GBK once,
// when they are accepted.

// Nothing when the text is not valid UTF-8 or holds a character GBK lacks.
std::optional<std::string> utf8ToGbk(std::string_view utf8);

// GBK bytes back to UTF-8 for the screen; an undecodable byte becomes U+FFFD.
// Keeps its converter open, so showing many cells does not reopen it each time.
class GbkDecoder {
public:
    GbkDecoder();
    ~GbkDecoder();
    GbkDecoder(const GbkDecoder&) = delete;
    GbkDecoder& operator=(const GbkDecoder&) = delete;

    std::string decode(std::string_view gbk) const;

private:
    // The platform's converter, opened once.
    void* converter_;
};

}  // namespace gaugemon::records
