#pragma once
#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "web/host_policy.h"
#include "web/request_head.h"
#include "web/web_limits.h"

namespace gaugemon::web {

// Counts what each HTTP connection costs before the HTTP server reads it,
// and reads each request's head first: new connections beyond the rate are
// closed at once, one beyond the count closes the connection quiet for
// longest, a connection that sends more than a request may is closed before
// its bytes are taken in, and one that has not sent a whole request in
// time is closed by a sweep. Each address has a share of every budget. A
// head that is malformed, framed ambiguously or addressed by a name not
// the station's is answered here and never reaches the HTTP server; a
// WebSocket handshake that holds leaves the guard for `upgrade`.
class GuardedTcpServer : public QTcpServer {
    Q_OBJECT
public:
    // Takes the connection of a handshake to `target`; false when nothing is there.
    using Upgrade = std::function<bool(QTcpSocket*, const std::string& target, const std::string& key)>;
    GuardedTcpServer(const WebLimits& limits, HostPolicy policy, QObject* parent = nullptr);

    void onUpgrade(Upgrade upgrade) { upgrade_ = std::move(upgrade); }
    // A request of `socket` is being answered: its clock starts again. True
    // when its client asked to close after the answer.
    bool requestAnswered(QTcpSocket* socket);
    // Whether one more request of `socket`'s address may be answered this second.
    bool allowRequest(const QTcpSocket* socket);
    // HTTP connections now open.
    int openConnections();
    // Answers `status` on `socket` itself and closes it.
    void refuse(QTcpSocket* socket, int status);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    // Per second, by the monotonic clock.
    struct RateWindow {
        int64_t second = -1;
        int count = 0;
        bool take(int64_t nowMs, int limit);
    };
    struct Tracked {
        QPointer<QTcpSocket> socket;
        QHostAddress address;
        std::string pending;  // bytes of the requests not yet whole
        int64_t lastActiveMs = 0;
        int64_t waitingSinceMs = 0;
        bool closeAfterAnswer = false;
        bool refused = false;  // answered by the guard, closing
    };
    struct Peer {
        QHostAddress address;
        RateWindow connections;
        RateWindow requests;
        int liveClients = 0;
    };

    void readArriving(QTcpSocket* socket);
    void passRequests(Tracked& tracked);
    void admitUpgrade(Tracked& tracked, const RequestHead& head);
    void liveClientGone(const QHostAddress& address);
    void sweep();
    void closeQuietest(const QHostAddress& address);
    QHostAddress busiestAddress() const;
    int openFrom(const QHostAddress& address) const;
    void prune();
    void forget(QTcpSocket* socket);
    Tracked* find(QTcpSocket* socket);
    Peer& peer(const QHostAddress& address);

    const WebLimits limits_;
    const HostPolicy policy_;
    Upgrade upgrade_;
    QElapsedTimer clock_;
    QTimer sweepTimer_;
    std::vector<Tracked> tracked_;
    std::vector<Peer> peers_;
    RateWindow connectionRate_;
    RateWindow requestRate_;
    int liveClients_ = 0;
    bool liveLimitTold_ = false;
};

}  // namespace gaugemon::web
