// GBK through the C library's iconv.
#include <iconv.h>

#include <cerrno>

#include "records/gbk.h"

namespace gaugemon::records {

namespace {
// iconv_open's failure value.
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Runs one whole conversion; `onBadInput` decides whether an unconvertible
// sequence ends it (false) or is skipped (true, after it appended a stand-in).
template <typename OnBadInput>
bool convert(iconv_t converter, std::string_view in, std::string& out, OnBadInput onBadInput) {
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    out.clear();
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t done = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (done != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (a sequence cut off at the end).
        if (!onBadInput(out)) return false;
        ++inPtr;
        --inLeft;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    iconv(converter, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    return true;
}
}  // namespace

std::optional<std::string> utf8ToGbk(std::string_view utf8) {
    const iconv_t converter = iconv_open("GBK", "UTF-8");
    if (converter == kNoConverter) return std::nullopt;
    std::string out;
    const bool ok = convert(converter, utf8, out, [](std::string&) { return false; });
    iconv_close(converter);
    if (!ok) return std::nullopt;
    return out;
}

GbkDecoder::GbkDecoder() : converter_(iconv_open("UTF-8", "GBK")) {}

GbkDecoder::~GbkDecoder() {
    if (converter_ != kNoConverter) iconv_close(converter_);
}

std::string GbkDecoder::decode(std::string_view gbk) const {
    std::string out;
    if (converter_ == kNoConverter) {
        // Without a converter only the ASCII part can be shown truthfully.
        for (char c : gbk) {
            if (static_cast<unsigned char>(c) < 0x80)
                out.push_back(c);
            else
                out.append(kReplacement);
        }
        return out;
    }
    convert(converter_, gbk, out, [](std::string& o) {
        o.append(kReplacement);
        return true;
    });
    return out;
}

}  // namespace gaugemon::records
