// GBK through the Windows conversion functions, code page 936. The code page
// maps the user-defined areas of GBK to the private use area, which other
// systems' GBK leaves out; the record files are the same bytes as on any
// other system, so these are refused both ways. The euro sign, 0x80, is in
// both.
#include <windows.h>

#include <algorithm>

#include "records/gbk.h"

namespace gaugemon::records {

namespace {
constexpr UINT kGbk = 936;
constexpr char16_t kFirstPrivate = 0xE000;
constexpr char16_t kLastPrivate = 0xF8FF;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool beyondGbk(char16_t c) { return c >= kFirstPrivate && c <= kLastPrivate; }

std::u16string wideOf(std::string_view utf8) {
    std::u16string wide;
    if (utf8.empty()) return wide;
    const int size = static_cast<int>(utf8.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (n <= 0) return wide;
    wide.resize(static_cast<size_t>(n));
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, reinterpret_cast<wchar_t*>(wide.data()), n);
    return wide;
}

void appendUtf8(std::string& out, const wchar_t* wide, int count) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide, count, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    ::WideCharToMultiByte(CP_UTF8, 0, wide, count, out.data() + at, n, nullptr, nullptr);
}

bool isLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
}  // namespace

std::optional<std::string> utf8ToGbk(std::string_view utf8) {
    if (utf8.empty()) return std::string();
    const std::u16string wide = wideOf(utf8);
    if (wide.empty() || std::any_of(wide.begin(), wide.end(), beyondGbk)) return std::nullopt;
    const auto* w = reinterpret_cast<const wchar_t*>(wide.data());
    const int count = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    const int n = ::WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, w, count, nullptr, 0, nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return std::nullopt;
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, w, count, out.data(), n, nullptr, &usedDefault);
    if (usedDefault) return std::nullopt;
    return out;
}

GbkDecoder::GbkDecoder() : converter_(nullptr) {}

GbkDecoder::~GbkDecoder() = default;

// Character by character, so that a bad byte costs one replacement character
// and the text after it still reads, as the other systems' decoders do.
std::string GbkDecoder::decode(std::string_view gbk) const {
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    size_t i = 0;
    while (i < gbk.size()) {
        const auto c = static_cast<unsigned char>(gbk[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        // A lead byte and its partner, or a byte of its own (the euro sign).
        const size_t width = isLeadByte(c) ? 2 : 1;
        wchar_t wide[2];
        const int n = i + width <= gbk.size() ? ::MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, gbk.data() + i,
                                                                      static_cast<int>(width), wide, 2)
                                              : 0;
        if (n == 1 && !beyondGbk(static_cast<char16_t>(wide[0]))) {
            appendUtf8(out, wide, 1);
            i += width;
        } else {
            out.append(kReplacement);
            ++i;
        }
    }
    return out;
}

}  // namespace gaugemon::records
