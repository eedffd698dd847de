#include "web/web_view.h"

#include <QDateTime>
#include <QFile>
#include <QUrlQuery>
#include <algorithm>
#include <charconv>
#include <optional>

#include "core/logging.h"
#include "exchange/row_fields.h"
#include "plant/station_status.h"
#include "station/station_status.h"

namespace gaugemon::web {

namespace {

constexpr unsigned kDefaultRowsPage = 100;
constexpr unsigned kMaxRowsPage = 500;
// Rows pushed in one step at most; more wait for the next step.
constexpr uint32_t kRowsPerPush = 200;
constexpr qint64 kMaxClientMessage = 1024;
constexpr const char* kMetricsType = "text/plain; version=0.0.4; charset=utf-8";

int64_t wallClockMs() { return QDateTime::currentMSecsSinceEpoch(); }

// The page's files, built into the program; nothing else is ever served.
struct PageFile {
    const char* path;
    const char* resource;
    const char* type;
};
constexpr PageFile kPageFiles[] = {
    {"/", ":/web/index.html", "text/html; charset=utf-8"},
    {"/index.html", ":/web/index.html", "text/html; charset=utf-8"},
    {"/app.js", ":/web/app.js", "text/javascript; charset=utf-8"},
    {"/style.css", ":/web/style.css", "text/css; charset=utf-8"},
};

QByteArray bytesOf(const std::string& text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }

WebView::Answer textAnswer(int status, const char* text) {
    return {status, "text/plain; charset=utf-8", QByteArray(text)};
}

// `fallback` when the query has no `key`; its value when that is a whole
// decimal number that fits; else nothing (a sign, a space, a letter, too many digits).
std::optional<uint64_t> queryNumber(const QUrlQuery& query, const char* key, uint64_t fallback) {
    if (!query.hasQueryItem(QString::fromLatin1(key))) return fallback;
    const std::string text = query.queryItemValue(QString::fromLatin1(key), QUrl::FullyDecoded).toStdString();
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

QByteArray pathOf(const std::string& target) { return QByteArray::fromStdString(target.substr(0, target.find('?'))); }

}  // namespace

WebView::WebView(station::Station& station, WebOptions options)
    : station_(station),
      options_(std::move(options)),
      tcp_(new GuardedTcpServer(options_.limits,
                                hostPolicy(options_.listen, options_.allowedHosts, options_.allowedOrigins))),
      front_([this](const QHttpServerRequest& request, QTcpSocket* socket, QHttpServerResponder& responder) {
          serve(request, socket, responder);
      }) {
    tcp_->setParent(&front_);
    clients_.reserve(static_cast<size_t>(options_.limits.maxWebSockets));
    tcp_->onUpgrade([this](QTcpSocket* socket, const std::string& target, const std::string& key) {
        if (pathOf(target) != "/ws") return false;
        acceptLiveClient(socket, key);
        return true;
    });
    pushTimer_.setTimerType(Qt::CoarseTimer);
    pushTimer_.setInterval(1000 / options_.pushesPerSecond);
    connect(&pushTimer_, &QTimer::timeout, this, &WebView::push);
    station_.addObserver(*this);
}

WebView::~WebView() {
    station_.removeObserver(*this);
    for (auto& client : clients_) {
        client->disconnect(this);  // its end must not reach a view half gone
        client->abort();
    }
}

bool WebView::listen() {
    const core::ListenAddress& where = *options_.listen;
    const QHostAddress address(QString::fromStdString(where.host));
    if (address.isNull() || !tcp_->listen(address, where.port)) {
        qCWarning(core::stationLog, "The web page cannot listen on %s port %u (%s): it is off", where.host.c_str(),
                  unsigned{where.port}, qPrintable(tcp_->errorString()));
        return false;
    }
    front_.bind(tcp_);
    pushTimer_.start();
    const std::string shown = address.protocol() == QAbstractSocket::IPv6Protocol ? "[" + where.host + "]" : where.host;
    qCInfo(core::stationLog, "The web page is at http://%s:%u/", shown.c_str(), unsigned{port()});
    if (!address.isLoopback())
        qCWarning(core::stationLog,
                  "The web page listens beyond this computer (%s): anyone who reaches it reads the readings, rows "
                  "and statistics, without login or TLS; listen on 127.0.0.1 unless the network is trusted",
                  shown.c_str());
    return true;
}

quint16 WebView::port() const { return tcp_->serverPort(); }

void WebView::serve(const QHttpServerRequest& request, QTcpSocket* socket, QHttpServerResponder& responder) {
    const bool closes = tcp_->requestAnswered(socket);
    Answer reply;
    if (!tcp_->allowRequest(socket))
        reply = textAnswer(429, "Too many requests\n");
    else if (request.method() != QHttpServerRequest::Method::Get &&
             request.method() != QHttpServerRequest::Method::Head)
        reply = textAnswer(405, "Only GET is served: the page only shows the station\n");
    else
        reply = answer(request.url().path(), request.url().query());
    const auto status = static_cast<QHttpServerResponder::StatusCode>(reply.status);
    if (!closes) {
        responder.write(
            reply.body,
            {{"Content-Type", reply.contentType}, {"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}},
            status);
        return;
    }
    responder.write(reply.body,
                    {{"Content-Type", reply.contentType},
                     {"Cache-Control", "no-store"},
                     {"X-Content-Type-Options", "nosniff"},
                     {"Connection", "close"}},
                    status);
    socket->disconnectFromHost();
}

WebView::Answer WebView::answer(const QString& path, const QString& query) {
    if (path == QLatin1String("/api/readings")) return {200, "application/json", bytesOf(readingsNow())};
    if (path == QLatin1String("/api/status")) return {200, "application/json", bytesOf(statusNow())};
    if (path == QLatin1String("/api/rows")) {
        const QUrlQuery items(query);
        const std::optional<uint64_t> since = queryNumber(items, "since", 0);
        const std::optional<uint64_t> limit = queryNumber(items, "limit", kDefaultRowsPage);
        // A page of no rows would promise more for ever.
        if (!since || !limit || *limit == 0)
            return textAnswer(400, "since and limit are whole numbers, limit at least 1\n");
        pushNewRows();  // the numbering in step with the table
        rowsJson(
            station_, [this](uint32_t row) { return sequenceOf(row); }, rowsNumbered(), *since,
            static_cast<unsigned>(std::min<uint64_t>(*limit, kMaxRowsPage)), scratch_);
        return {200, "application/json", bytesOf(scratch_)};
    }
    if (path == QLatin1String("/api/statistics")) {
        statisticsJson(station_, scratch_);
        return {200, "application/json", bytesOf(scratch_)};
    }
    if (path == QLatin1String("/api/tolerances")) {
        tolerancesJson(station_, scratch_);
        return {200, "application/json", bytesOf(scratch_)};
    }
    if (path == QLatin1String("/metrics")) {
        pushNewRows();
        plant::StationStatus status = station::stationStatus(station_, options_.station);
        counts_.clients = clients();
        metricsText(status, counts_, scratch_);
        return {200, kMetricsType, bytesOf(scratch_)};
    }
    return fileAnswer(path);
}

WebView::Answer WebView::fileAnswer(const QString& path) const {
    for (const PageFile& file : kPageFiles) {
        if (path != QLatin1String(file.path)) continue;
        QFile resource(QString::fromLatin1(file.resource));
        if (!resource.open(QIODevice::ReadOnly)) break;
        return {200, file.type, resource.readAll()};
    }
    return textAnswer(404, "Not found\n");
}

std::string WebView::statusNow() const {
    plant::StationStatus status = station::stationStatus(station_, options_.station);
    status.timeMs = wallClockMs();
    std::string json;
    plant::statusJson(status, json);
    return json;
}

// Made again only when readings came since and a push period has passed:
// a flood of requests costs no more than the live clients do.
const std::string& WebView::readingsNow() {
    const bool due = !readingsBuilt_.isValid() || readingsBuilt_.elapsed() >= pushTimer_.interval();
    if (readings_.empty() || (readingsDirty_ && due)) buildReadings();
    return readings_;
}

void WebView::buildReadings() {
    readingsJson(station_, wallClockMs(), readings_);
    lostShown_ = station_.instrumentLost();
    readingsDirty_ = false;
    readingsBuilt_.start();
}

void WebView::push() {
    pushNewRows();
    if (clients_.empty()) return;
    if (statusDirty_ || station_.pollCycleMs() != cycleSent_) {
        statusDirty_ = false;
        cycleSent_ = station_.pollCycleMs();
        sendToAll(R"({"type":"status","data":)" + statusNow() + "}");
    }
    if (!readingsDirty_) return;
    buildReadings();
    sendToAll(R"({"type":"readings","data":)" + readings_ + "}");
}

// Takes in the rows recorded since the last step: counted, and sent to the
// live clients. A table emptied or rebuilt meanwhile starts a new run of
// numbers after the rows it held.
void WebView::pushNewRows() {
    const records::RecordTable& table = station_.recordTable();
    if (table.resetCount() != resetsSeen_ || table.rowCount() < rowsSeen_) {
        rowBase_ += rowsSeen_;
        rowsSeen_ = 0;
        resetsSeen_ = table.resetCount();
    }
    const uint32_t end = std::min(rowsNumbered(), rowsSeen_ + kRowsPerPush);
    for (; rowsSeen_ < end; ++rowsSeen_) {
        ++counts_.rowsRecorded;
        if (exchange::verdictOf(table.row(rowsSeen_).resultCell()) == exchange::RowVerdict::Ng) ++counts_.ngRows;
        if (clients_.empty()) continue;
        rowJson(station_, rowsSeen_, sequenceOf(rowsSeen_), scratch_);
        sendToAll(R"({"type":"row","data":)" + scratch_ + "}");
    }
}

uint64_t WebView::sequenceOf(uint32_t row) const {
    const journal::Journal& journal = station_.journal();
    return journal.numbersRows() ? static_cast<uint64_t>(journal.sequenceOf(row)) : rowBase_ + row + 1;
}

uint32_t WebView::rowsNumbered() const {
    const journal::Journal& journal = station_.journal();
    const uint32_t held = station_.recordTable().rowCount();
    return journal.numbersRows() ? std::min(journal.rowsNumbered(), held) : held;
}

void WebView::sendToAll(const std::string& message) {
    std::vector<LiveClient*> stuck;
    for (const auto& client : clients_) {
        // A client that does not read has its backlog capped, then goes.
        if (client->bytesToWrite() > options_.limits.maxSendBacklog) {
            stuck.push_back(client.get());
            continue;
        }
        client->sendText(message);
    }
    for (LiveClient* client : stuck) dropClient(client);
}

// The guard lets only handshakes to /ws within the limits through.
void WebView::acceptLiveClient(QTcpSocket* socket, const std::string& key) {
    auto client = std::make_unique<LiveClient>(socket, key, kMaxClientMessage);
    LiveClient* raw = client.get();
    connect(raw, &LiveClient::gone, this, [this, raw] { dropClient(raw); });
    clients_.push_back(std::move(client));
    raw->sendText(R"({"type":"status","data":)" + statusNow() + "}");
    raw->sendText(R"({"type":"readings","data":)" + readingsNow() + "}");
}

void WebView::dropClient(LiveClient* client) {
    const auto it =
        std::find_if(clients_.begin(), clients_.end(), [client](const auto& c) { return c.get() == client; });
    if (it == clients_.end()) return;
    LiveClient* going = it->release();
    clients_.erase(it);
    going->disconnect(this);
    going->abort();
    going->deleteLater();
}

std::unique_ptr<WebView> startWebView(station::Station& station, QSettings& settings, const std::string& httpAddress,
                                      const std::string& stationName) {
    const auto options = webOptions(settings, httpAddress, stationName, station.language());
    if (!options) return nullptr;
    auto view = std::make_unique<WebView>(station, *options);
    if (!view->listen()) return nullptr;
    return view;
}

}  // namespace gaugemon::web
