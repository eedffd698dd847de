#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <limits>

#include "core/qt_settings_store.h"
#include "core/reporting_settings_store.h"
#include "core/settings_store.h"
#include "support/memory_settings_store.h"

using namespace gaugemon::core;

// ---------------------------------------------------------------- key names

TEST(LimitKeys, TwoLettersAndTwoDigitProbeNumber) {
    struct Case {
        int probe;
        const char* lower;
        const char* upper;
    };
    const Case cases[] = {
        {1, "TL01", "TU01"}, {7, "TL07", "TU07"}, {10, "TL10", "TU10"}, {19, "TL19", "TU19"}, {60, "TL60", "TU60"}};
    for (const Case& c : cases) {
        EXPECT_EQ(std::string_view(lowerLimitKey(c.probe)), c.lower);
        EXPECT_EQ(std::string_view(upperLimitKey(c.probe)), c.upper);
    }
}

// ---------------------------------------------------------------- memory store

TEST(MemorySettingsStore, ReadsDefaultsUntilWrittenThenTheValue) {
    MemorySettingsStore store;
    EXPECT_EQ(store.readInt(keys::kResoL, defaults::kResoL), -10000);
    EXPECT_FALSE(store.contains(keys::kResoL));
    EXPECT_TRUE(store.writeInt(keys::kResoL, -12345));
    EXPECT_EQ(store.readInt(keys::kResoL, defaults::kResoL), -12345);
    EXPECT_TRUE(store.writeInt(lowerLimitKey(5), std::numeric_limits<int32_t>::min()));
    EXPECT_EQ(store.readInt(lowerLimitKey(5), 0), std::numeric_limits<int32_t>::min());
    // Keys are exact: another probe's key is another value.
    EXPECT_EQ(store.readInt(lowerLimitKey(50), defaults::kLowerLimit), 3000);
}

TEST(MemorySettingsStore, RefusedWriteKeepsTheOldValueAndIsCounted) {
    MemorySettingsStore store;
    store.writeInt(keys::kUnit, 1);
    store.setWritesFail(true);
    EXPECT_FALSE(store.writeInt(keys::kUnit, 0));
    EXPECT_EQ(store.readInt(keys::kUnit, 0), 1);
    EXPECT_EQ(store.writeCount(), 2);
}

TEST(MemorySettingsStore, ABatchIsReadBackAtOnceAndStoredInOneSync) {
    MemorySettingsStore store;
    {
        SettingsBatch outer(store);
        store.writeInt(keys::kUnit, 1);
        {
            SettingsBatch inner(store);  // a part of the change that batches its own keys
            store.writeInt(lowerLimitKey(1), 11811);
            store.writeInt(upperLimitKey(1), 23622);
        }
        EXPECT_EQ(store.syncCount(), 0) << "an inner batch stores nothing";
        EXPECT_EQ(store.readInt(lowerLimitKey(1), 0), 11811);
    }
    EXPECT_EQ(store.syncCount(), 1);
    EXPECT_EQ(store.writeCount(), 3);
    EXPECT_EQ(store.readInt(keys::kUnit, 0), 1);
    EXPECT_EQ(store.readInt(upperLimitKey(1), 0), 23622);
}

TEST(MemorySettingsStore, ARefusedBatchStoresNoneOfItsWrites) {
    MemorySettingsStore store;
    store.writeInt(keys::kUnit, 0);
    store.setWritesFail(true);
    SettingsBatch batch(store);
    EXPECT_TRUE(store.writeInt(keys::kUnit, 1));
    EXPECT_TRUE(store.writeInt(lowerLimitKey(1), 11811));
    EXPECT_FALSE(batch.end());
    EXPECT_FALSE(batch.end()) << "a second end changes nothing";
    EXPECT_EQ(store.readInt(keys::kUnit, -1), 0);
    EXPECT_FALSE(store.contains(lowerLimitKey(1)));
}

// ---------------------------------------------------------------- reporting store

TEST(ReportingSettingsStore, AFailedBatchIsReportedOnceAtItsEnd) {
    MemorySettingsStore store;
    int reports = 0;
    ReportingSettingsStore reporting(store, [&] { ++reports; });
    store.setWritesFail(true);
    for (int change = 0; change < 2; ++change) {
        SettingsBatch batch(reporting);
        reporting.writeInt(keys::kResoH, 5000);
        reporting.writeInt(keys::kResoL, -5000);
        EXPECT_EQ(reports, change == 0 ? 0 : 1) << "not in the middle of the change";
    }
    EXPECT_EQ(reports, 1) << "the writes of the second batch are no success in between";

    store.setWritesFail(false);
    {
        SettingsBatch batch(reporting);
        reporting.writeInt(keys::kResoH, 5000);
    }
    store.setWritesFail(true);
    reporting.writeInt(keys::kResoH, 6000);
    EXPECT_EQ(reports, 2) << "after a stored batch a new failure is news";
}

// ---------------------------------------------------------------- QSettings store

class QtSettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString path() const { return dir_.filePath(QStringLiteral("gaugemon.conf")); }
    QString fileText() const {
        QFile file(path());
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(file.readAll());
    }

    QTemporaryDir dir_;
};

TEST_F(QtSettingsStoreTest, SignedValuesRoundTripThroughTheFile) {
    {
        QtSettingsStore store(path(), QSettings::IniFormat);
        EXPECT_EQ(store.readInt(keys::kResoL, defaults::kResoL), defaults::kResoL);
        EXPECT_TRUE(store.writeInt(keys::kResoL, -10000));
        EXPECT_TRUE(store.writeInt(keys::kResoH, std::numeric_limits<int32_t>::max()));
        EXPECT_TRUE(store.writeInt(upperLimitKey(60), std::numeric_limits<int32_t>::min()));
    }
    // A new store, as at the next start, reads what the last one wrote.
    QtSettingsStore reopened(path(), QSettings::IniFormat);
    EXPECT_EQ(reopened.readInt(keys::kResoL, 0), -10000);
    EXPECT_EQ(reopened.readInt(keys::kResoH, 0), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(reopened.readInt(upperLimitKey(60), 0), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(reopened.readInt(keys::kRecTime, defaults::kRecTime), 200);
    // The values live in the section `Settings`.
    const QString text = fileText();
    EXPECT_TRUE(text.contains(QStringLiteral("[Settings]")));
    EXPECT_TRUE(text.contains(QStringLiteral("ResoL=-10000")));
}

TEST_F(QtSettingsStoreTest, ForeignOrBrokenValuesReadSafely) {
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // An unsigned 32-bit word, as another tool may store -10000; then values
    // that are no 32-bit word at all.
    file.write("[Settings]\nResoL=4294957296\nResoH=twelve\nUnit=99999999999\nRecTime=-99999999999\nHW=\n");
    file.close();
    const QtSettingsStore store(path(), QSettings::IniFormat);
    EXPECT_EQ(store.readInt(keys::kResoL, 0), -10000);
    EXPECT_EQ(store.readInt(keys::kResoH, defaults::kResoH), defaults::kResoH);
    EXPECT_EQ(store.readInt(keys::kUnit, defaults::kUnit), defaults::kUnit);
    EXPECT_EQ(store.readInt(keys::kRecTime, defaults::kRecTime), defaults::kRecTime);
    EXPECT_EQ(store.readInt(keys::kHW, defaults::kHW), defaults::kHW);
}

TEST_F(QtSettingsStoreTest, AWriteIsOnDiskBeforeItReturns) {
    // The child changes a setting and is killed at once, with no chance to
    // flush anything at exit.
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        QtSettingsStore store(path(), QSettings::IniFormat);
        store.writeInt(keys::kLanguage, 2);
        store.writeInt(keys::kResoL, -2500);
        raise(SIGKILL);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    const QtSettingsStore store(path(), QSettings::IniFormat);
    EXPECT_EQ(store.readInt(keys::kLanguage, defaults::kLanguage), 2);
    EXPECT_EQ(store.readInt(keys::kResoL, defaults::kResoL), -2500);
}

TEST_F(QtSettingsStoreTest, ABatchReachesTheFileWholeAtItsEnd) {
    QtSettingsStore store(path(), QSettings::IniFormat);
    store.writeInt(keys::kUnit, 0);
    {
        SettingsBatch batch(store);
        store.writeInt(keys::kUnit, 1);
        for (int probe = 1; probe <= 60; ++probe) store.writeInt(lowerLimitKey(probe), 11811);
        EXPECT_EQ(store.readInt(lowerLimitKey(60), 0), 11811);
        EXPECT_TRUE(fileText().contains(QStringLiteral("Unit=0")));
        EXPECT_FALSE(fileText().contains(QStringLiteral("TL")));
        EXPECT_TRUE(batch.end());
    }
    const QString text = fileText();
    EXPECT_TRUE(text.contains(QStringLiteral("Unit=1")));
    EXPECT_EQ(text.count(QStringLiteral("=11811")), 60);
}

TEST_F(QtSettingsStoreTest, AFailedWriteReportsFailure) {
    QtSettingsStore store(QStringLiteral("/dev/null/gaugemon.conf"), QSettings::IniFormat);
    EXPECT_FALSE(store.writeInt(keys::kUnit, 1));
    EXPECT_EQ(store.readInt(keys::kUnit, 7), 1);  // the value stays in force for the run
    SettingsBatch batch(store);
    EXPECT_TRUE(store.writeInt(keys::kResoH, 5000)) << "known only at the end of the batch";
    EXPECT_FALSE(batch.end());
}

TEST_F(QtSettingsStoreTest, NativeStoreIsNamedByCompanyAndProgram) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
    {
        QtSettingsStore store(QStringLiteral("gaugemon"));
        EXPECT_TRUE(store.writeInt(keys::kComID, 3));
    }
    QFile file(dir_.filePath(QStringLiteral("VELMORA/gaugemon.conf")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("[Settings]")));
    EXPECT_TRUE(text.contains(QStringLiteral("ComID=3")));
}
