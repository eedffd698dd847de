#include "journal/journal_location.h"

#include <QStandardPaths>

namespace gaugemon::journal {

std::string defaultJournalDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString();
}

}  // namespace gaugemon::journal
