#pragma once
#include <QDateTime>
#include <QElapsedTimer>

#include "core/clock.h"

namespace gaugemon::core {

class SystemClock : public Clock {
public:
    SystemClock() { elapsed_.start(); }
    int64_t nowMs() const override { return elapsed_.elapsed(); }
    LocalDateTime localNow() const override {
        const QDateTime now = QDateTime::currentDateTime();
        const QDate d = now.date();
        const QTime t = now.time();
        return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
    }

private:
    QElapsedTimer elapsed_;
};

}  // namespace gaugemon::core
