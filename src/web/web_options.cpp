#include "web/web_options.h"

#include <QRegularExpression>
#include <QSettings>

#include "core/logging.h"

namespace gaugemon::web {

namespace {

// An INI file reads "a, b" as a list of two: joined again either way.
std::vector<std::string> textList(const QSettings& settings, const char* key) {
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    const QVariant value = settings.value(QLatin1String(key));
    const QString text =
        value.typeId() == QMetaType::QStringList ? value.toStringList().join(QLatin1Char(',')) : value.toString();
    std::vector<std::string> items;
    for (const QString& item : text.split(separators, Qt::SkipEmptyParts)) items.push_back(item.toStdString());
    return items;
}

}  // namespace

WebOptions loadWebOptions(QSettings& settings, core::Language language, std::string& refusal) {
    WebOptions options;
    settings.beginGroup("Http");
    const std::string listen = settings.value("Listen").toString().trimmed().toStdString();
    bool rateRead = true;
    const QVariant rate = settings.value("PushesPerSecond");
    if (rate.isValid()) options.pushesPerSecond = rate.toString().trimmed().toInt(&rateRead);
    options.allowedHosts = textList(settings, "AllowedHosts");
    options.allowedOrigins = textList(settings, "AllowedOrigins");
    settings.endGroup();
    if (!listen.empty()) {
        options.listen = core::parseListenAddress(listen);
        if (!options.listen)
            refusal = core::pick(language, "The web page's address must read ADDR:PORT or a port: the page is off.",
                                 "网页地址应为 地址:端口 或 端口：网页已关闭。");
    }
    if (!rateRead || options.pushesPerSecond < 1 || options.pushesPerSecond > kMaxPushesPerSecond) {
        options.pushesPerSecond = kDefaultPushesPerSecond;
        refusal = core::pick(language, "The web page's pushes per second must be 1 to 50: the page is off.",
                             "网页每秒推送次数应为 1 至 50：网页已关闭。");
    }
    if (!refusal.empty()) options.listen.reset();
    return options;
}

std::optional<WebOptions> webOptions(QSettings& settings, const std::string& httpAddress, const std::string& station,
                                     core::Language language) {
    std::string refusal;
    WebOptions options = loadWebOptions(settings, language, refusal);
    if (!httpAddress.empty()) options.listen = core::parseListenAddress(httpAddress);
    if (!refusal.empty()) qCWarning(core::stationLog).noquote() << QString::fromStdString(refusal);
    if (!options.listen) return std::nullopt;
    options.station = station;
    return options;
}

}  // namespace gaugemon::web
