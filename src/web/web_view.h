#pragma once
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "station/station.h"
#include "web/guarded_tcp_server.h"
#include "web/http_front.h"
#include "web/live_client.h"
#include "web/station_api.h"
#include "web/web_options.h"

namespace gaugemon::web {

// The live web page over a station: the page's own files, the JSON API,
// /metrics and a WebSocket that pushes readings and recorded rows. It only
// reads the station; nothing a client sends changes it. A poll costs the
// station a flag: the readings are made into JSON at most at the push rate,
// once for every client and every request until the next push.
class WebView : public QObject, private station::StationObserver {
public:
    WebView(station::Station& station, WebOptions options);
    ~WebView() override;
    WebView(const WebView&) = delete;
    WebView& operator=(const WebView&) = delete;

    // Binds the address; false (logged) when it cannot be had.
    bool listen();
    // The port bound (the one asked for, or the system's choice for 0).
    quint16 port() const;
    unsigned clients() const { return static_cast<unsigned>(clients_.size()); }
    const WebCounts& counts() const { return counts_; }

    // The answer to a GET of `path` with `query` (no '?'), as the HTTP server
    // sends it; public for the tests.
    struct Answer {
        int status = 200;
        const char* contentType = "application/json";
        QByteArray body;
    };
    Answer answer(const QString& path, const QString& query);
    // One push step, as the push timer runs it; public for the tests.
    void push();

private:
    // StationObserver. The page shows the value texts, not the chart.
    display::Shown shown() const override { return display::Shown::ValueTexts; }
    void linkViewChanged() override {
        statusDirty_ = true;
        // A lost instrument has no readings to show, one found again has.
        if (station_.instrumentLost() != lostShown_) readingsDirty_ = true;
    }
    void readingsShown(const display::ChartPlan* /*redraw*/) override {
        readingsDirty_ = true;
        ++counts_.polls;
    }
    // Rows recorded since the last push go out before they are gone.
    void rowsClearing() override { pushNewRows(); }

    void serve(const QHttpServerRequest& request, QTcpSocket* socket, QHttpServerResponder& responder);
    Answer fileAnswer(const QString& path) const;
    void acceptLiveClient(QTcpSocket* socket, const std::string& key);
    void sendToAll(const std::string& message);
    void dropClient(LiveClient* client);
    const std::string& readingsNow();
    void buildReadings();
    void pushNewRows();
    // A row's number: the journal's, kept across runs, or without a journal
    // one counted from this run's first row.
    uint64_t sequenceOf(uint32_t row) const;
    uint32_t rowsNumbered() const;
    std::string statusNow() const;

    station::Station& station_;
    const WebOptions options_;
    GuardedTcpServer* tcp_;  // owned by front_
    HttpFront front_;
    QTimer pushTimer_;
    std::vector<std::unique_ptr<LiveClient>> clients_;
    WebCounts counts_;
    bool readingsDirty_ = true;
    bool statusDirty_ = true;
    // As the readings last made say, and the cycle the status last sent.
    bool lostShown_ = false;
    int32_t cycleSent_ = 0;
    std::string readings_;
    QElapsedTimer readingsBuilt_;
    std::string scratch_;
    // Rows before the table's first: the table was emptied that many times over.
    uint64_t rowBase_ = 0;
    uint32_t rowsSeen_ = 0;
    uint64_t resetsSeen_ = 0;
};

// The web page over `station` when the settings or --http (`httpAddress`)
// ask for it and its address can be had; else null, the reason logged.
std::unique_ptr<WebView> startWebView(station::Station& station, QSettings& settings, const std::string& httpAddress,
                                      const std::string& stationName);

}  // namespace gaugemon::web
