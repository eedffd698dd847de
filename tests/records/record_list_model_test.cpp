#include "records/record_list_model.h"

#include <gtest/gtest.h>
#include <QAbstractItemModelTester>

#include "records_test_support.h"

namespace gaugemon::records {
namespace {

using core::Language;

constexpr core::LocalDateTime kTime{2019, 11, 29, 13, 52, 30};

struct ModelFixture : ::testing::Test {
    RecordTable table;
    test::ShownValues shown{"  3.001 ", "- 0.052 "};
    RecordListModel model{table};
    // Checks every answer and signal of the model against the model rules.
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};

    void append(const char* code, Language language, bool ng = false) {
        const CodeCheck check = checkCode(code);
        ASSERT_EQ(check.problem, CodeProblem::None);
        table.appendRow(test::rowShowing(shown, 2, true, ng, language, check.code, kTime));
    }
    QString cell(int row, int column) const { return model.data(model.index(row, column)).toString(); }
};

TEST_F(ModelFixture, ShowsTheTableAsItStands) {
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 0);
    table.prepareColumns({2, true, Language::English});
    ASSERT_EQ(model.columnCount(), 6);
    const char* titles[] = {"Num", "Code", "S01", "S02", "Result", "Time"};
    const int widths[] = {60, 180, 72, 72, 60, 155};
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), QString::fromUtf8(titles[c]));
        EXPECT_EQ(model.columnWidth(c), widths[c]);
    }

    append("0123", Language::Chinese);
    append("工件", Language::English, true);
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(cell(0, 0), "000001");
    EXPECT_EQ(cell(0, 1), "0123");
    EXPECT_EQ(cell(0, 2), "  3.001 ");
    EXPECT_EQ(cell(0, 4), QString::fromUtf8("合格"));
    EXPECT_EQ(cell(0, 5), "2019-11-29; 13:52:30");
    EXPECT_EQ(cell(1, 1), QString::fromUtf8("工件"));
    EXPECT_EQ(cell(1, 4), " NG ");
    EXPECT_EQ(model.data(model.index(0, 3), Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignCenter);
}

TEST_F(ModelFixture, ChineseTitlesAndNoCodeColumn) {
    table.prepareColumns({12, false, Language::Chinese});
    ASSERT_EQ(model.columnCount(), 15);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("序号"));
    EXPECT_EQ(model.headerData(12, Qt::Horizontal).toString(), QString::fromUtf8("测头12"));
    EXPECT_EQ(model.headerData(13, Qt::Horizontal).toString(), QString::fromUtf8("结果"));
    EXPECT_EQ(model.headerData(14, Qt::Horizontal).toString(), QString::fromUtf8("时间"));
    EXPECT_EQ(model.codeColumn(), -1);
}

TEST_F(ModelFixture, EachNewRowIsAnnouncedAsOneInsertedRow) {
    table.prepareColumns({2, true, Language::English});
    std::vector<std::pair<int, int>> inserted;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex&, int first, int last) { inserted.emplace_back(first, last); });
    for (int i = 0; i < 3; ++i) append("A", Language::English);
    EXPECT_EQ(inserted, (std::vector<std::pair<int, int>>{{0, 0}, {1, 1}, {2, 2}}));
}

TEST_F(ModelFixture, CodeChangeRefreshesOneCellAndClearingResets) {
    table.prepareColumns({2, true, Language::English});
    append("12345", Language::English);
    append("B", Language::English);
    std::vector<std::pair<QModelIndex, QModelIndex>> changed;
    int resets = 0;
    QObject::connect(&model, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& a, const QModelIndex& b) { changed.emplace_back(a, b); });
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });

    table.updateCode(1, WorkpieceCode::fromGbk("C-9"));
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].first, model.index(1, 1));
    EXPECT_EQ(changed[0].second, model.index(1, 1));
    EXPECT_EQ(cell(1, 1), "C-9");

    table.clearTable();
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 6);
}

TEST(ModelLifetime, TableOutlivesItsModel) {
    RecordTable table;
    table.prepareColumns({1, false, Language::English});
    { RecordListModel model(table); }
    EXPECT_EQ(table.appendRow({1, false, {}, false, Language::English, {}, kTime}), AppendResult::Added);
}

}  // namespace
}  // namespace gaugemon::records
