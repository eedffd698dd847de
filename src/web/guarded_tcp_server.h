#pragma once
#include <QElapsedTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <vector>

#include "web/web_limits.h"

namespace gaugemon::web {

// Counts what each HTTP connection costs before the HTTP server reads it:
// new connections beyond the rate are closed at once, one beyond the count
// closes the connection quiet for longest, a connection that
// sends more than a request may is closed before its bytes are taken in,
// and connections left idle are closed by a sweep. A connection upgraded to
// a WebSocket leaves the guard (the live clients have limits of their own).
class GuardedTcpServer : public QTcpServer {
    Q_OBJECT
public:
    explicit GuardedTcpServer(const WebLimits& limits, QObject* parent = nullptr);

    // A request of `socket` was answered: its byte count starts again.
    void requestAnswered(QTcpSocket* socket);
    // Whether one more request may be answered this second.
    bool allowRequest();
    // HTTP connections now open.
    int openConnections();
    // The connection of this peer became a live client: no longer swept.
    void release(const QHostAddress& address, quint16 port);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Tracked {
        QPointer<QTcpSocket> socket;
        int64_t bytes = 0;
        int64_t lastActiveMs = 0;
    };
    // Per second, by the monotonic clock.
    struct RateWindow {
        int64_t second = -1;
        int count = 0;
        bool take(int64_t nowMs, int limit);
    };

    void readArriving(QTcpSocket* socket);
    void sweep();
    void closeQuietest();
    void prune();
    Tracked* find(QTcpSocket* socket);

    const WebLimits limits_;
    QElapsedTimer clock_;
    QTimer sweepTimer_;
    std::vector<Tracked> tracked_;
    RateWindow connectionRate_;
    RateWindow requestRate_;
};

}  // namespace gaugemon::web
