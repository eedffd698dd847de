// A C runtime file descriptor behind the byte sink, in binary mode: the record
// files' line ends are bytes of their own, never translated.
#include <io.h>

#include <cerrno>
#include <climits>

#include "records/byte_sink.h"

namespace gaugemon::records {

int FdSink::writeOut(const char* data, size_t size) {
    while (size > 0) {
        const unsigned piece = size > INT_MAX ? static_cast<unsigned>(INT_MAX) : static_cast<unsigned>(size);
        errno = 0;
        const int n = ::_write(fd_, data, piece);
        if (n < 0) return errno ? errno : EIO;
        // A full disk shows as a short write with nothing more taken.
        if (n == 0) return ENOSPC;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace gaugemon::records
