#include "web/guarded_tcp_server.h"

#include <unistd.h>

#include <algorithm>

#include "core/logging.h"

namespace gaugemon::web {

namespace {

constexpr int kSweepMs = 1000;
constexpr int kAcceptsPerTurn = 8;

struct Refusal {
    int status;
    const char* reason;
    const char* text;
};
constexpr Refusal kRefusals[] = {
    {400, "Bad Request", "The request is malformed or framed ambiguously"},
    {403, "Forbidden", "The station answers only under its own address and names, and to its own page"},
    {404, "Not Found", "Not found"},
    {408, "Request Timeout", "The request did not arrive in time"},
    {426, "Upgrade Required", "Only WebSocket version 13 is spoken"},
    {429, "Too Many Requests", "Too many live clients from this address"},
    {501, "Not Implemented", "Chunked requests are not taken"},
    {503, "Service Unavailable", "The page has as many live clients as it takes"},
};

QByteArray refusalBytes(int status) {
    const auto* refusal = std::find_if(std::begin(kRefusals), std::end(kRefusals),
                                       [status](const Refusal& r) { return r.status == status; });
    if (refusal == std::end(kRefusals)) refusal = &kRefusals[0];
    const QByteArray body = QByteArray(refusal->text) + '\n';
    QByteArray bytes =
        "HTTP/1.1 " + QByteArray::number(refusal->status) + ' ' + refusal->reason +
        "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n";
    if (refusal->status == 426) bytes += "Sec-WebSocket-Version: 13\r\n";
    return bytes + "\r\n" + body;
}

// Closes at once. Deleted here too: the HTTP server cleans up only the
// connections it still listens to, and it stops listening to one whose
// request it could not read.
void drop(QTcpSocket* socket) {
    socket->abort();
    socket->deleteLater();
}

// Closes at once, its bytes not taken in: the reader after this one must
// not see them.
void cut(QTcpSocket* socket) {
    QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    drop(socket);
}

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

GuardedTcpServer::GuardedTcpServer(const WebLimits& limits, HostPolicy policy, QObject* parent)
    : QTcpServer(parent), limits_(limits), policy_(std::move(policy)) {
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
    const int64_t now = clock_.elapsed();
    if (!connectionRate_.take(now, limits_.newConnectionsPerSecond)) {
        ::close(static_cast<int>(descriptor));
        return;
    }
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(static_cast<int>(descriptor));
        return;
    }
    const QHostAddress address = socket->peerAddress();
    if (!peer(address).connections.take(now, addressShare(limits_.newConnectionsPerSecond))) {
        socket->abort();
        delete socket;
        return;
    }
    // Connections held open and idle must not lock the page away from a
    // client that asks: the one quiet for longest makes room, of this
    // address once it holds its share, else of the address holding most.
    if (openFrom(address) >= addressShare(limits_.maxConnections))
        closeQuietest(address);
    else if (openConnections() >= limits_.maxConnections)
        closeQuietest(busiestAddress());
    socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, limits_.kernelSendBuffer);
    // Connected before the HTTP server's own reader, so that it runs first.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readArriving(socket); });
    tracked_.push_back({socket, address, {}, now, now, false, false});
    addPendingConnection(socket);
}

void GuardedTcpServer::readArriving(QTcpSocket* socket) {
    Tracked* tracked = find(socket);
    if (!tracked) return;
    tracked->lastActiveMs = clock_.elapsed();
    // The HTTP server takes in all it is given, so what is unread is new.
    const qint64 arrived = socket->bytesAvailable();
    if (static_cast<int64_t>(tracked->pending.size()) + arrived > limits_.maxRequestBytes) {
        cut(socket);
        return;
    }
    const QByteArray bytes = socket->peek(arrived);
    tracked->pending.append(bytes.constData(), static_cast<size_t>(bytes.size()));
    passRequests(*tracked);
}

// Lets the whole requests in `tracked` on to the HTTP server, or answers
// the first that cannot go there.
void GuardedTcpServer::passRequests(Tracked& tracked) {
    QTcpSocket* socket = tracked.socket;
    while (true) {
        const RequestHead head = readRequestHead(tracked.pending);
        if (head.refusal != 0) {
            refuse(socket, head.refusal);
            return;
        }
        if (!head.whole) return;
        const uint64_t size = head.headBytes + head.bodyBytes;
        if (size > static_cast<uint64_t>(limits_.maxRequestBytes)) {
            cut(socket);
            return;
        }
        if (tracked.pending.size() < size) return;
        if (!policy_.hostAllowed(head.host)) {
            refuse(socket, 403);
            return;
        }
        if (head.webSocket) {
            admitUpgrade(tracked, head);
            return;
        }
        tracked.closeAfterAnswer = head.closes;
        tracked.pending.erase(0, size);
    }
}

void GuardedTcpServer::admitUpgrade(Tracked& tracked, const RequestHead& head) {
    QTcpSocket* socket = tracked.socket;
    if (!policy_.originAllowed(head.origin, head.host)) {
        refuse(socket, 403);
        return;
    }
    if (liveClients_ >= limits_.maxWebSockets) {
        if (!liveLimitTold_)
            qCWarning(core::stationLog, "The web page has %d live clients, as many as it takes: more are answered 503",
                      liveClients_);
        liveLimitTold_ = true;
        refuse(socket, 503);
        return;
    }
    Peer& from = peer(tracked.address);
    if (from.liveClients >= addressShare(limits_.maxWebSockets)) {
        refuse(socket, 429);
        return;
    }
    // Counted from here until the socket is gone, however the handshake and
    // the client end.
    ++from.liveClients;
    ++liveClients_;
    connect(socket, &QObject::destroyed, this, [this, address = tracked.address] { liveClientGone(address); });
    const std::string target(head.target);
    const std::string key(head.key);
    // The HTTP server never answers the handshake.
    disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    if (!upgrade_ || !upgrade_(socket, target, key)) {
        refuse(socket, 404);
        return;
    }
    forget(socket);
}

void GuardedTcpServer::liveClientGone(const QHostAddress& address) {
    --liveClients_;
    --peer(address).liveClients;
}

void GuardedTcpServer::refuse(QTcpSocket* socket, int status) {
    if (!socket) return;
    disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    socket->write(refusalBytes(status));
    // Deleted once the answer is out, whoever else still listens; a client
    // that does not take it in is dropped by the sweep.
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
    if (Tracked* tracked = find(socket)) {
        tracked->refused = true;
        tracked->waitingSinceMs = clock_.elapsed();
    }
}

bool GuardedTcpServer::requestAnswered(QTcpSocket* socket) {
    Tracked* tracked = find(socket);
    if (!tracked) return false;
    tracked->lastActiveMs = clock_.elapsed();
    tracked->waitingSinceMs = tracked->lastActiveMs;
    return tracked->closeAfterAnswer;
}

// The address's share is taken first: a client beyond it costs the others nothing.
bool GuardedTcpServer::allowRequest(const QTcpSocket* socket) {
    const int64_t now = clock_.elapsed();
    return peer(socket->peerAddress()).requests.take(now, addressShare(limits_.requestsPerSecond)) &&
           requestRate_.take(now, limits_.requestsPerSecond);
}

int GuardedTcpServer::openConnections() {
    prune();
    return static_cast<int>(tracked_.size());
}

int GuardedTcpServer::openFrom(const QHostAddress& address) const {
    return static_cast<int>(
        std::count_if(tracked_.begin(), tracked_.end(), [&](const Tracked& t) { return t.address == address; }));
}

QHostAddress GuardedTcpServer::busiestAddress() const {
    QHostAddress busiest;
    int most = 0;
    for (const Tracked& t : tracked_) {
        const int open = openFrom(t.address);
        if (open > most) {
            most = open;
            busiest = t.address;
        }
    }
    return busiest;
}

GuardedTcpServer::Tracked* GuardedTcpServer::find(QTcpSocket* socket) {
    const auto it =
        std::find_if(tracked_.begin(), tracked_.end(), [socket](const Tracked& t) { return t.socket == socket; });
    return it == tracked_.end() ? nullptr : &*it;
}

GuardedTcpServer::Peer& GuardedTcpServer::peer(const QHostAddress& address) {
    const auto it = std::find_if(peers_.begin(), peers_.end(), [&](const Peer& p) { return p.address == address; });
    if (it != peers_.end()) return *it;
    return peers_.emplace_back(Peer{address, {}, {}, 0});
}

void GuardedTcpServer::forget(QTcpSocket* socket) {
    std::erase_if(tracked_, [socket](const Tracked& t) { return t.socket == socket; });
}

void GuardedTcpServer::prune() {
    std::erase_if(tracked_, [this](const Tracked& t) {
        return !t.socket || t.socket->parent() != this || t.socket->state() == QAbstractSocket::UnconnectedState;
    });
}

void GuardedTcpServer::closeQuietest(const QHostAddress& address) {
    prune();
    Tracked* quietest = nullptr;
    for (Tracked& t : tracked_)
        if (t.address == address && (!quietest || t.lastActiveMs < quietest->lastActiveMs)) quietest = &t;
    if (!quietest) return;
    const QPointer<QTcpSocket> socket = quietest->socket;
    forget(socket);
    if (socket) drop(socket);
}

// A connection that has not sent a whole request in time goes: told so
// when it began one (a client trickling its head), else quietly.
void GuardedTcpServer::sweep() {
    prune();
    const int64_t now = clock_.elapsed();
    std::vector<std::pair<QPointer<QTcpSocket>, bool>> late;
    for (const Tracked& t : tracked_)
        if (now - t.waitingSinceMs > limits_.idleMs) late.emplace_back(t.socket, !t.refused && !t.pending.empty());
    for (const auto& [socket, begun] : late) {
        if (!socket) continue;
        if (begun)
            refuse(socket, 408);
        else
            drop(socket);
    }
    prune();
    const int64_t second = now / 1000;
    std::erase_if(peers_, [&](const Peer& p) {
        return p.liveClients == 0 && p.connections.second < second && p.requests.second < second &&
               openFrom(p.address) == 0;
    });
}

}  // namespace gaugemon::web
