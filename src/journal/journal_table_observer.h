#pragma once
#include "journal/journal.h"
#include "records/record_table.h"

namespace gaugemon::journal {

// Sits between the record table and its list on screen: every notification
// goes on to the list, and the journal hears of each row the moment it is
// added, of each changed code and of each clearing, whoever caused them.
class JournalTableObserver : public records::RecordTableObserver {
public:
    JournalTableObserver(Journal& journal, const records::RecordTable& table) : journal_(journal), table_(table) {}

    // The observer the table had before (the list model); may be null.
    void setNext(records::RecordTableObserver* next) { next_ = next; }

    void beforeAppend(uint32_t row) override {
        if (next_) next_->beforeAppend(row);
    }
    void afterAppend(uint32_t row) override {
        journal_.follow(table_);
        if (next_) next_->afterAppend(row);
    }
    void beforeReset() override {
        // Rows only go by a clearing; an empty table is rebuilt for a new layout.
        if (table_.rowCount() > 0) journal_.tableCleared(table_);
        if (next_) next_->beforeReset();
    }
    void afterReset() override {
        if (next_) next_->afterReset();
    }
    void codeChanged(uint32_t row) override {
        journal_.rowChanged(table_, row);
        if (next_) next_->codeChanged(row);
    }

private:
    Journal& journal_;
    const records::RecordTable& table_;
    records::RecordTableObserver* next_ = nullptr;
};

}  // namespace gaugemon::journal
