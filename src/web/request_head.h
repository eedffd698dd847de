#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace gaugemon::web {

// One request's head as the gate reads it before the HTTP server does. A
// head that two readers could frame differently is refused here, so that no
// body is ever taken for a request of its own.
struct RequestHead {
    int refusal = 0;         // the status to answer instead (400, 426, 501); 0 when none
    bool whole = false;      // the empty line after the fields has arrived
    size_t headBytes = 0;    // through the empty line
    uint64_t bodyBytes = 0;  // Content-Length
    std::string_view method;
    std::string_view target;
    std::string_view host;    // empty: none given (HTTP/1.0 only)
    std::string_view origin;  // empty: none given (not a browser)
    std::string_view key;     // Sec-WebSocket-Key of a handshake
    bool closes = false;      // the client closes after the answer: the connection goes then
    bool webSocket = false;   // a WebSocket handshake whose fields hold
};

// The head at the start of `bytes`, views into them. Not `whole` while it
// has not all arrived; a fault that is already plain is refused at once.
RequestHead readRequestHead(std::string_view bytes);

}  // namespace gaugemon::web
