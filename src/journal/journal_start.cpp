#include "journal/journal_start.h"

#include "journal/journal_texts.h"

namespace gaugemon::journal {

bool reportProblem(Journal& journal, core::Prompts& prompts, core::Language language) {
    const std::optional<Report> report = journal.takeReport();
    if (!report || report->problem == Problem::None) return false;
    prompts.showMessage(problemText(*report, language));
    return true;
}

StartChoice offerPendingRows(Journal& journal, records::RecordTable& table, core::Prompts& prompts,
                             core::Language language) {
    reportProblem(journal, prompts, language);
    if (journal.pending().count == 0) return StartChoice::NothingOffered;
    if (!prompts.askYesNo(offerText(journal.pending(), language))) {
        journal.discardPending();
        return StartChoice::Discarded;
    }
    const std::string left = restoreText(journal.restorePending(table, language), language);
    if (!left.empty()) prompts.showMessage(left);
    return StartChoice::Restored;
}

}  // namespace gaugemon::journal
