#include "web/guarded_tcp_server.h"

#include <unistd.h>

#include <algorithm>

namespace gaugemon::web {

namespace {

constexpr int kSweepMs = 1000;
constexpr int kAcceptsPerTurn = 8;

}  // namespace

bool GuardedTcpServer::RateWindow::take(int64_t nowMs, int limit) {
    const int64_t now = nowMs / 1000;
    if (now != second) {
        second = now;
        count = 0;
    }
    if (count >= limit) return false;
    ++count;
    return true;
}

GuardedTcpServer::GuardedTcpServer(const WebLimits& limits, QObject* parent) : QTcpServer(parent), limits_(limits) {
    clock_.start();
    tracked_.reserve(static_cast<size_t>(limits_.maxConnections));
    // Connections are taken in a few at a time, so that a burst of them
    // costs the loop several short turns rather than one long one.
    setMaxPendingConnections(kAcceptsPerTurn);
    sweepTimer_.setInterval(kSweepMs);
    connect(&sweepTimer_, &QTimer::timeout, this, &GuardedTcpServer::sweep);
    sweepTimer_.start();
}

void GuardedTcpServer::incomingConnection(qintptr descriptor) {
    if (!connectionRate_.take(clock_.elapsed(), limits_.newConnectionsPerSecond)) {
        ::close(static_cast<int>(descriptor));
        return;
    }
    // Connections held open and idle must not lock the page away from a
    // client that asks: the one quiet for longest makes room.
    if (openConnections() >= limits_.maxConnections) closeQuietest();
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(static_cast<int>(descriptor));
        return;
    }
    socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, limits_.kernelSendBuffer);
    // Connected before the HTTP server's own reader, so that it runs first.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readArriving(socket); });
    tracked_.push_back({socket, 0, clock_.elapsed()});
    addPendingConnection(socket);
}

void GuardedTcpServer::readArriving(QTcpSocket* socket) {
    Tracked* tracked = find(socket);
    if (!tracked) return;
    tracked->lastActiveMs = clock_.elapsed();
    tracked->bytes += socket->bytesAvailable();
    if (tracked->bytes <= limits_.maxRequestBytes) return;
    // The reader after this one must not see the bytes: it goes first, then
    // the connection (whose end the HTTP server hears of and cleans up).
    disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    socket->abort();
}

void GuardedTcpServer::requestAnswered(QTcpSocket* socket) {
    if (Tracked* tracked = find(socket)) {
        tracked->bytes = 0;
        tracked->lastActiveMs = clock_.elapsed();
    }
}

bool GuardedTcpServer::allowRequest() { return requestRate_.take(clock_.elapsed(), limits_.requestsPerSecond); }

int GuardedTcpServer::openConnections() {
    prune();
    return static_cast<int>(tracked_.size());
}

void GuardedTcpServer::release(const QHostAddress& address, quint16 port) {
    std::erase_if(tracked_, [&](const Tracked& t) {
        return t.socket && t.socket->peerPort() == port && t.socket->peerAddress() == address;
    });
}

GuardedTcpServer::Tracked* GuardedTcpServer::find(QTcpSocket* socket) {
    const auto it =
        std::find_if(tracked_.begin(), tracked_.end(), [socket](const Tracked& t) { return t.socket == socket; });
    return it == tracked_.end() ? nullptr : &*it;
}

// Gone, closed, or handed to the WebSocket server (which takes it as its child).
void GuardedTcpServer::prune() {
    std::erase_if(tracked_, [this](const Tracked& t) {
        return !t.socket || t.socket->parent() != this || t.socket->state() == QAbstractSocket::UnconnectedState;
    });
}

void GuardedTcpServer::closeQuietest() {
    const auto quietest = std::min_element(tracked_.begin(), tracked_.end(), [](const Tracked& a, const Tracked& b) {
        return a.lastActiveMs < b.lastActiveMs;
    });
    if (quietest == tracked_.end()) return;
    QPointer<QTcpSocket> socket = quietest->socket;
    tracked_.erase(quietest);
    if (socket) socket->abort();
}

void GuardedTcpServer::sweep() {
    prune();
    const int64_t now = clock_.elapsed();
    for (const Tracked& t : tracked_)
        if (now - t.lastActiveMs > limits_.idleMs) t.socket->abort();
    prune();
}

}  // namespace gaugemon::web
