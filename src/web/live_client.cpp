#include "web/live_client.h"

#include "web/websocket_frames.h"

namespace gaugemon::web {

LiveClient::LiveClient(QTcpSocket* socket, std::string_view key, int64_t maxMessage)
    : socket_(socket), maxMessage_(maxMessage) {
    socket->setParent(this);
    // A client sends nothing after its handshake until it is answered:
    // what is left unread is the handshake's own.
    if (socket->isTransactionStarted()) socket->commitTransaction();
    socket->skip(socket->bytesAvailable());
    socket->setReadBufferSize(maxMessage * 4);
    connect(socket, &QTcpSocket::readyRead, this, &LiveClient::readFrames);
    connect(socket, &QTcpSocket::disconnected, this, &LiveClient::gone);
    const std::string answer =
        "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: " +
        webSocketAccept(key) + "\r\n\r\n";
    socket->write(answer.data(), static_cast<qint64>(answer.size()));
}

LiveClient::~LiveClient() {
    if (socket_) socket_->disconnect(this);
}

void LiveClient::sendText(std::string_view message) {
    if (!closing_) send(opcode::kText, message);
}

void LiveClient::abort() {
    if (socket_) socket_->abort();
}

void LiveClient::send(uint8_t code, std::string_view payload) {
    if (!socket_) return;
    const std::string header = frameHeader(code, payload.size());
    socket_->write(header.data(), static_cast<qint64>(header.size()));
    socket_->write(payload.data(), static_cast<qint64>(payload.size()));
}

// Answers a close, or closes for a frame refused, and ends the connection
// once the close frame is out.
void LiveClient::close(std::string_view payload) {
    send(opcode::kClose, payload);
    closing_ = true;
    disconnect(socket_, &QTcpSocket::readyRead, this, nullptr);
    socket_->disconnectFromHost();
}

void LiveClient::readFrames() {
    if (!socket_ || closing_) return;
    const QByteArray bytes = socket_->readAll();
    incoming_.append(bytes.constData(), static_cast<size_t>(bytes.size()));
    while (!closing_) {
        const ClientFrame frame = readClientFrame(incoming_, static_cast<uint64_t>(maxMessage_));
        if (frame.outcome == ClientFrame::Outcome::Incomplete) return;
        if (frame.outcome == ClientFrame::Outcome::Refused) {
            const char code[] = {static_cast<char>(frame.closeCode >> 8), static_cast<char>(frame.closeCode & 0xFF)};
            close(std::string_view(code, sizeof code));
            return;
        }
        if (frame.opcode == opcode::kClose)
            close(frame.payload.substr(0, 2));
        else if (frame.opcode == opcode::kPing)
            send(opcode::kPong, frame.payload);
        incoming_.erase(0, frame.bytes);
    }
}

}  // namespace gaugemon::web
