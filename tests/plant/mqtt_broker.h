#pragma once
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace gaugemon::testing {

// Polls `done` every 20 ms until it holds or `limit` of real time passed.
// The limits are generous: they bound a failing test, they measure nothing.
inline bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A port on 127.0.0.1 that nothing listens on at the moment.
inline int freeLocalPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

inline bool acceptsConnections(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool accepted = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return accepted;
}

// The system's broker on 127.0.0.1 at a free port, with a configuration of
// its own in `directory`: anonymous clients, or only the users of a password
// file. It keeps its state in the directory when stopped, so that a
// subscriber's session and queued messages survive a restart.
class MqttBroker {
public:
    explicit MqttBroker(std::filesystem::path directory) : directory_(std::move(directory)), port_(freeLocalPort()) {}
    ~MqttBroker() { stop(); }
    MqttBroker(const MqttBroker&) = delete;
    MqttBroker& operator=(const MqttBroker&) = delete;

    // Only `user` with `password` may connect.
    void requireUser(const std::string& user, const std::string& password) {
        passwordFile_ = (directory_ / "passwords").string();
        std::ofstream(passwordFile_).close();
        const std::string command =
            "/usr/bin/mosquitto_passwd -b '" + passwordFile_ + "' '" + user + "' '" + password + "'";
        if (std::system(command.c_str()) != 0) passwordFile_.clear();
    }

    bool start() {
        writeConfig();
        pid_ = ::fork();
        if (pid_ == 0) {
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
            const std::string config = (directory_ / "mosquitto.conf").string();
            ::execl("/usr/sbin/mosquitto", "mosquitto", "-c", config.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return waitFor([this] { return acceptsConnections(port_) || exited(); }, std::chrono::seconds(20)) && !exited();
    }

    // A clean stop: the broker saves its state.
    void stop() { end(SIGTERM); }
    // Gone without a word.
    void kill() { end(SIGKILL); }

    int port() const { return port_; }
    std::string url() const { return "tcp://127.0.0.1:" + std::to_string(port_); }
    bool running() const { return pid_ > 0; }

private:
    void writeConfig() const {
        std::ofstream config(directory_ / "mosquitto.conf");
        config << "listener " << port_ << " 127.0.0.1\n";
        config << "persistence true\npersistence_location " << directory_.string() << "/\n";
        config << "log_dest none\n";
        // A broker started by root would drop to its own account and could
        // then neither keep its state here nor read the password file.
        if (const passwd* account = ::getpwuid(::geteuid())) config << "user " << account->pw_name << "\n";
        if (passwordFile_.empty())
            config << "allow_anonymous true\n";
        else
            config << "allow_anonymous false\npassword_file " << passwordFile_ << "\n";
    }

    bool exited() {
        int status = 0;
        if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return true;
        }
        return pid_ <= 0;
    }

    void end(int signal) {
        if (pid_ <= 0) return;
        ::kill(pid_, signal);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

    std::filesystem::path directory_;
    int port_;
    std::string passwordFile_;
    pid_t pid_ = -1;
};

}  // namespace gaugemon::testing
