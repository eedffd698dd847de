#pragma once
#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <functional>

namespace gaugemon::web {

// The HTTP server of the page: every request goes to one handler, which
// answers it through the responder. A WebSocket upgrade goes to the
// server's pending WebSocket connections instead.
class HttpFront : public QAbstractHttpServer {
public:
    using Handler = std::function<void(const QHttpServerRequest&, QTcpSocket*, QHttpServerResponder&)>;
    explicit HttpFront(Handler handler, QObject* parent = nullptr)
        : QAbstractHttpServer(parent), handler_(std::move(handler)) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        // Unanswered, an upgrade goes on to the WebSocket server.
        if (request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0) return true;
        QHttpServerResponder responder = makeResponder(request, socket);
        handler_(request, socket, responder);
        return true;
    }
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override {
        makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
    }

private:
    Handler handler_;
};

}  // namespace gaugemon::web
