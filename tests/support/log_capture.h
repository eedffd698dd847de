#pragma once
#include <QString>
#include <QtGlobal>
#include <string>
#include <vector>

namespace gaugemon::testing {

// Catches the program's log lines while it lives, in the order they came.
class LogCapture {
public:
    struct Line {
        QtMsgType type;
        std::string category;
        std::string text;
    };

    LogCapture() : previous_(qInstallMessageHandler(&LogCapture::handle)) { current_ = this; }
    ~LogCapture() {
        qInstallMessageHandler(previous_);
        current_ = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // How many lines hold `part`.
    size_t count(const std::string& part) const {
        size_t found = 0;
        for (const Line& line : lines) found += line.text.find(part) != std::string::npos ? 1 : 0;
        return found;
    }
    bool contains(const std::string& part) const { return count(part) > 0; }

    std::vector<Line> lines;

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (current_)
            current_->lines.push_back({type, context.category ? context.category : "", message.toStdString()});
    }

    static inline LogCapture* current_ = nullptr;
    QtMessageHandler previous_;
};

}  // namespace gaugemon::testing
