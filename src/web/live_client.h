#pragma once
#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <string>
#include <string_view>

namespace gaugemon::web {

// One live client of the page over a WebSocket, from the handshake the
// guard let through: it is sent text, and what it sends is held to the
// standard and otherwise ignored (the page only reads the station). A
// frame the standard forbids closes it with the code that says why.
class LiveClient : public QObject {
    Q_OBJECT
public:
    // Takes `socket`, whose handshake asked with `key`, and answers it.
    LiveClient(QTcpSocket* socket, std::string_view key, int64_t maxMessage);
    ~LiveClient() override;
    LiveClient(const LiveClient&) = delete;
    LiveClient& operator=(const LiveClient&) = delete;

    void sendText(std::string_view message);
    // Bytes given to the connection and not yet sent.
    qint64 bytesToWrite() const { return socket_ ? socket_->bytesToWrite() : 0; }
    void abort();

signals:
    // The connection ended, from either side.
    void gone();

private:
    void readFrames();
    void send(uint8_t opcode, std::string_view payload);
    void close(std::string_view payload);

    QPointer<QTcpSocket> socket_;
    const int64_t maxMessage_;
    std::string incoming_;
    bool closing_ = false;
};

}  // namespace gaugemon::web
