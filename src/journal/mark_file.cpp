#include "journal/mark_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstring>

namespace gaugemon::journal {

namespace {

constexpr char kMagic[8] = {'G', 'M', 'M', 'A', 'R', 'K', 'S', '1'};
constexpr size_t kFields = 4;
// The magic, the four numbers and a check over both, least significant byte first.
constexpr size_t kRecordBytes = sizeof kMagic + (kFields + 1) * 8;
using Record = std::array<char, kRecordBytes>;

void putNumber(char* at, uint64_t value) {
    for (int k = 0; k < 8; ++k) at[k] = static_cast<char>((value >> (8 * k)) & 0xff);
}

uint64_t numberAt(const char* at) {
    uint64_t value = 0;
    for (int k = 7; k >= 0; --k) value = value << 8 | static_cast<unsigned char>(at[k]);
    return value;
}

// FNV-1a: a torn or foreign record is told from a whole one.
uint64_t checkOf(const char* bytes, size_t size) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t k = 0; k < size; ++k) {
        hash ^= static_cast<unsigned char>(bytes[k]);
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace

MarkFile::~MarkFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool MarkFile::open(const std::string& path) {
    if (fd_ >= 0) return true;
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) return false;
    char existing[kRecordBytes];
    if (::pread(fd_, existing, kRecordBytes, 0) == static_cast<ssize_t>(kRecordBytes)) return true;
    // A new file gets its room now, while the disk has it.
    const Record empty{};
    if (!put(empty.data())) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

std::optional<MarkState> MarkFile::read() const {
    Record record{};
    if (fd_ < 0 || ::pread(fd_, record.data(), kRecordBytes, 0) != static_cast<ssize_t>(kRecordBytes))
        return std::nullopt;
    if (std::memcmp(record.data(), kMagic, sizeof kMagic) != 0) return std::nullopt;
    const size_t checked = kRecordBytes - 8;
    if (numberAt(record.data() + checked) != checkOf(record.data(), checked)) return std::nullopt;
    const char* numbers = record.data() + sizeof kMagic;
    MarkState marks;
    marks.run = static_cast<int64_t>(numberAt(numbers));
    marks.generation = static_cast<int64_t>(numberAt(numbers + 8));
    marks.savedRows = static_cast<int64_t>(numberAt(numbers + 16));
    marks.exportedRows = static_cast<int64_t>(numberAt(numbers + 24));
    return marks;
}

bool MarkFile::write(const MarkState& marks) {
    if (fd_ < 0) return false;
    Record record{};
    std::memcpy(record.data(), kMagic, sizeof kMagic);
    char* numbers = record.data() + sizeof kMagic;
    putNumber(numbers, static_cast<uint64_t>(marks.run));
    putNumber(numbers + 8, static_cast<uint64_t>(marks.generation));
    putNumber(numbers + 16, static_cast<uint64_t>(marks.savedRows));
    putNumber(numbers + 24, static_cast<uint64_t>(marks.exportedRows));
    const size_t checked = kRecordBytes - 8;
    putNumber(record.data() + checked, checkOf(record.data(), checked));
    return put(record.data());
}

bool MarkFile::clear() {
    const Record empty{};
    return fd_ >= 0 && put(empty.data());
}

bool MarkFile::put(const char* bytes) {
    return ::pwrite(fd_, bytes, kRecordBytes, 0) == static_cast<ssize_t>(kRecordBytes) && ::fdatasync(fd_) == 0;
}

}  // namespace gaugemon::journal
