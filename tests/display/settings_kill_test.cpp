// Changes that touch several settings keys, killed while they write: the
// settings file afterwards holds the state before the change or the state
// after it, never a mixture (a unit with limits of the other unit, half the
// probes copied from probe 1, a range end without its partner).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <functional>

#include "core/qt_settings_store.h"
#include "display/display_model.h"
#include "tolerance/tolerance_actions.h"
#include "tolerance/tolerance_table.h"

using namespace gaugemon;
using core::lowerLimitKey;
using core::QtSettingsStore;
using core::upperLimitKey;
using measure::LengthUnit;

namespace {

// The settings file of a station that loses its power while writing its
// `killAt`-th key.
class DyingStore : public QtSettingsStore {
public:
    DyingStore(const QString& path, int killAt) : QtSettingsStore(path, QSettings::IniFormat), killAt_(killAt) {}
    bool writeInt(std::string_view key, int32_t value) override {
        if (++writes_ == killAt_) raise(SIGKILL);
        return QtSettingsStore::writeInt(key, value);
    }

private:
    int killAt_;
    int writes_ = 0;
};

class KilledChange : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString path() const { return dir_.filePath(QStringLiteral("gaugemon.conf")); }

    // Runs `change` in a child that is killed at its `killAt`-th write.
    void runKilled(int killAt, const std::function<void(core::SettingsStore&)>& change) {
        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            DyingStore store(path(), killAt);
            change(store);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the change wrote fewer keys than " << killAt;
    }

    QTemporaryDir dir_;
};

}  // namespace

TEST_F(KilledChange, AUnitChangeLeavesTheOldUnitWithItsLimits) {
    // 121 keys: Unit, then TL01, TU01 .. TL60, TU60.
    for (int killAt : {2, 60, 121}) {
        SCOPED_TRACE(killAt);
        QFile::remove(path());
        runKilled(killAt, [](core::SettingsStore& store) {
            tolerance::ToleranceTable tolerances;
            tolerances.load(store, LengthUnit::Millimetre);
            display::DisplayModel model;
            model.load(store);
            model.confirmUnit(1, tolerances, store);
        });
        const QtSettingsStore after(path(), QSettings::IniFormat);
        EXPECT_EQ(after.readInt(core::keys::kUnit, core::defaults::kUnit), 0);
        for (int probe : {1, 30, 60}) {
            EXPECT_EQ(after.readInt(lowerLimitKey(probe), core::defaults::kLowerLimit), 3000) << probe;
            EXPECT_EQ(after.readInt(upperLimitKey(probe), core::defaults::kUpperLimit), 6000) << probe;
        }
    }
}

TEST_F(KilledChange, AllTheSameAsNumberOneCopiesAllOrNothing) {
    {
        QtSettingsStore store(path(), QSettings::IniFormat);
        tolerance::ToleranceTable tolerances;
        tolerances.load(store, LengthUnit::Millimetre);
        tolerances.setDisplayLimits(1, 1000, 2000, LengthUnit::Millimetre, store);
    }
    runKilled(59, [](core::SettingsStore& store) {
        tolerance::ToleranceTable tolerances;
        tolerances.load(store, LengthUnit::Millimetre);
        tolerance::copyFirstProbeLimits(tolerances, LengthUnit::Millimetre, store);
    });
    const QtSettingsStore after(path(), QSettings::IniFormat);
    for (int probe : {2, 29, 30, 60}) {
        EXPECT_EQ(after.readInt(lowerLimitKey(probe), core::defaults::kLowerLimit), 3000) << probe;
    }
    EXPECT_EQ(after.readInt(lowerLimitKey(1), 0), 1000);
}

TEST_F(KilledChange, ARangeConfirmationKeepsBothEndsOfOneRange) {
    runKilled(2, [](core::SettingsStore& store) {
        display::DisplayModel model;
        model.load(store);
        model.confirmRange(-1.0f, 1.0f, store);
    });
    const QtSettingsStore after(path(), QSettings::IniFormat);
    EXPECT_EQ(display::loadDisplayRange(after), display::DisplayRange{});
}
