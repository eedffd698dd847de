#include "plant/connect_failure.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace gaugemon::plant {

namespace {
// CONNACK return codes of MQTT 3.1.1.
constexpr int kBadUserNameOrPassword = 4;
constexpr int kNotAuthorized = 5;
constexpr const char* kRetrying = "; recording goes on, rows wait in the journal, retrying with back-off";
bool connectsWithin(const addrinfo& address, int timeoutMs) {
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool connected = ::connect(fd, address.ai_addr, address.ai_addrlen) == 0;
    if (!connected && errno == EINPROGRESS) {
        pollfd waiting{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        connected = ::poll(&waiting, 1, timeoutMs) == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
                    error == 0;
    }
    ::close(fd);
    return connected;
}

}  // namespace

ConnectFailure classifyConnectFailure(const AttemptOutcome& outcome) {
    if (outcome.returnCode == kBadUserNameOrPassword) return ConnectFailure::CredentialsRefused;
    if (outcome.returnCode == kNotAuthorized)
        return outcome.userGiven ? ConnectFailure::CredentialsRefused : ConnectFailure::NotAuthorized;
    if (outcome.returnCode > 0) return ConnectFailure::Refused;
    // The port answers, yet no MQTT answer came over TLS: the handshake failed.
    if (outcome.tlsUrl && (outcome.tlsErrorSeen || outcome.portAnswers)) return ConnectFailure::Tls;
    return ConnectFailure::Unreachable;
}

bool portAnswers(const std::string& url, int timeoutMs) {
    const size_t hostStart = url.find("://");
    const size_t colon = url.rfind(':');
    if (hostStart == std::string::npos || colon == std::string::npos || colon <= hostStart + 3) return false;
    std::string host = url.substr(hostStart + 3, colon - hostStart - 3);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    const std::string port = url.substr(colon + 1);
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return false;
    bool answers = false;
    for (const addrinfo* at = found; at && !answers; at = at->ai_next) answers = connectsWithin(*at, timeoutMs);
    ::freeaddrinfo(found);
    return answers;
}

std::string connectFailureText(ConnectFailure failure, const std::string& url, const std::string& user, int returnCode,
                               const std::string& detail) {
    const std::string code = " (code " + std::to_string(returnCode) + ")";
    switch (failure) {
        case ConnectFailure::Unreachable: return "MQTT broker " + url + " cannot be reached" + code + kRetrying;
        case ConnectFailure::Tls:
            return "TLS handshake with MQTT broker " + url + " failed (" + detail +
                   "): check the CA file and that the broker speaks TLS on that port" + kRetrying;
        case ConnectFailure::CredentialsRefused:
            return "MQTT broker " + url + " refused the user name or password" +
                   (user.empty() ? std::string(" (no user name set)") : " of user \"" + user + "\"") + kRetrying;
        case ConnectFailure::NotAuthorized:
            return "MQTT broker " + url + " refused the connection: not authorized (no user name set)" + kRetrying;
        case ConnectFailure::Refused: return "MQTT broker " + url + " refused the connection" + code + kRetrying;
        case ConnectFailure::Lost: return "Connection to MQTT broker " + url + " lost (" + detail + ")" + kRetrying;
        case ConnectFailure::None: break;
    }
    return {};
}

}  // namespace gaugemon::plant
