#pragma once
#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <functional>

namespace gaugemon::web {

// The HTTP server of the page: every request goes to one handler, which
// answers it through the responder. WebSocket handshakes never reach it:
// the guard in front hands them on.
class HttpFront : public QAbstractHttpServer {
public:
    using Handler = std::function<void(const QHttpServerRequest&, QTcpSocket*, QHttpServerResponder&)>;
    explicit HttpFront(Handler handler, QObject* parent = nullptr)
        : QAbstractHttpServer(parent), handler_(std::move(handler)) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
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
