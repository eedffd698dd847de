// A list that takes rows in batches: the rows of one batch are announced
// together, never twice, and a clearing or a code edit in between keeps the
// model consistent.
#include <gtest/gtest.h>
#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QElapsedTimer>

#include "records/record_list_model.h"
#include "records_test_support.h"

namespace gaugemon::records {
namespace {

using core::Language;
using Inserted = std::vector<std::pair<int, int>>;

constexpr core::LocalDateTime kTime{2019, 11, 29, 13, 52, 30};

QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "record_list_batch_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

struct BatchFixture : ::testing::Test {
    RecordTable table;
    test::ShownValues shown{"  3.001 "};
    RecordListModel model{table, nullptr, RecordListModel::kListBatchDelay};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    Inserted inserted;

    BatchFixture() {
        application();
        table.prepareColumns({1, true, Language::English});
        QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                         [this](const QModelIndex&, int first, int last) { inserted.emplace_back(first, last); });
    }
    void append(const char* code = "A") {
        table.appendRow(test::rowShowing(shown, 1, true, false, Language::English, checkCode(code).code, kTime));
    }
};

TEST_F(BatchFixture, RowsOfOneBatchAreAnnouncedTogetherOnce) {
    for (int i = 0; i < 5; ++i) append();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_TRUE(inserted.empty());
    model.announcePendingRows();
    append();
    model.announcePendingRows();
    model.announcePendingRows();
    EXPECT_EQ(inserted, (Inserted{{0, 4}, {5, 5}}));
    EXPECT_EQ(model.rowCount(), 6);
    EXPECT_EQ(model.data(model.index(5, 0)).toString(), "000006");
}

TEST_F(BatchFixture, TheBatchEndsByItselfWithoutAnyoneAsking) {
    append();
    append();
    // Waits for the model's own timer; the limit only keeps a broken model from hanging the run.
    QElapsedTimer limit;
    limit.start();
    while (model.rowsPending() && limit.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(inserted, (Inserted{{0, 1}}));
}

TEST_F(BatchFixture, ClearingWithRowsWaitingResetsWithoutAnnouncingThem) {
    append();
    model.announcePendingRows();
    append();
    append();
    table.clearTable();
    EXPECT_EQ(model.rowCount(), 0);
    model.announcePendingRows();
    EXPECT_EQ(inserted, (Inserted{{0, 0}}));
    append();
    model.announcePendingRows();
    EXPECT_EQ(inserted, (Inserted{{0, 0}, {0, 0}}));
}

TEST_F(BatchFixture, ACodeEditOfAWaitingRowShowsWhenTheRowIsAnnounced) {
    append("A");
    append("B");
    int changes = 0;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&] { ++changes; });
    table.updateCode(1, WorkpieceCode::fromGbk("C-9"));
    EXPECT_EQ(changes, 0);
    model.announcePendingRows();
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), "C-9");
}

TEST(ModelAtStart, ATableWithRowsIsShownWholeAtOnce) {
    application();
    RecordTable table;
    table.prepareColumns({1, false, Language::English});
    for (int i = 0; i < 3; ++i) table.appendRow({1, false, {}, false, Language::English, {}, kTime});
    RecordListModel model(table, nullptr, RecordListModel::kListBatchDelay);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_FALSE(model.rowsPending());
}

}  // namespace
}  // namespace gaugemon::records
