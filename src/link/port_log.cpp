#include "link/port_log.h"

#include <QByteArray>
#include <QTime>

#include "core/logging.h"

namespace gaugemon::link {

std::string reportPortFailure(PortFailure failure, const std::string& name, const std::string& device,
                              const std::string& detail) {
    std::string text = (name.empty() ? device : name) + ": " + detail;
    if (failure == PortFailure::NotFound || failure == PortFailure::UnknownName) {
        qCDebug(core::linkLog, "%s", text.c_str());
    } else {
        qCWarning(core::linkLog, "%s", text.c_str());
    }
    return text;
}

void traceBytes(const std::string& port, const char* direction, const uint8_t* bytes, size_t count, const char* note) {
    const QByteArray time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1();
    const QByteArray raw = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(count));
    const QByteArray hex = raw.toHex(' ').toUpper();
    qCDebug(core::frameLog, "%s %s %s %s%s", time.constData(), port.c_str(), direction, hex.constData(), note);
}

}  // namespace gaugemon::link
