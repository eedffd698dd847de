#pragma once
#include <cstdint>
#include <string>

namespace gaugemon::plant {

// Why the broker could not be reached. The publisher logs one line when the
// kind changes, not one per retry.
enum class ConnectFailure : uint8_t {
    None,
    Unreachable,         // nothing answers at the address, or the name does not resolve
    Tls,                 // the TLS handshake failed: no TLS there, or a certificate not trusted
    CredentialsRefused,  // the broker refused the user name or password
    NotAuthorized,       // the broker refused this client
    Refused,             // any other refusal
    Lost,                // a connection that stood was lost
};

// What is known of a failed connection attempt.
struct AttemptOutcome {
    int returnCode = 0;         // the broker's CONNACK code when it answered, else the library's negative code
    bool tlsUrl = false;        // ssl://
    bool userGiven = false;     // a user name was sent
    bool tlsErrorSeen = false;  // the TLS layer reported an error
    bool portAnswers = false;   // a plain TCP connection to the broker's port succeeds
};

// The kind of a failed connection attempt. Brokers answer refused
// credentials with "bad user name or password" or with "not authorized".
ConnectFailure classifyConnectFailure(const AttemptOutcome& outcome);

// Whether something accepts TCP connections at the host and port of a
// tcp:// or ssl:// address, waiting at most `timeoutMs`.
bool portAnswers(const std::string& url, int timeoutMs);

// The one log line for the failure; never holds a password.
std::string connectFailureText(ConnectFailure failure, const std::string& url, const std::string& user, int returnCode,
                               const std::string& detail);

}  // namespace gaugemon::plant
