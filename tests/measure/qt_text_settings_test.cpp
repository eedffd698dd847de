#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include "core/qt_text_settings.h"
#include "measure/characteristic_settings.h"

using namespace gaugemon;

// A setup text of several lines with Chinese names comes back from the
// settings file byte for byte, also through a store opened afresh (a start).
TEST(QtTextSettings, ASetupTextSurvivesTheSettingsFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("station.conf"));
    measure::CharacteristicSetup setup;
    setup.definitions.push_back({"直径 A",
                                 3,
                                 49900,
                                 50100,
                                 {measure::FormulaKind::Sum, {{1, 1.0}, {2, 1.0}}, measure::tenthMicrometres(250000)}});
    setup.definitions.push_back(
        {"跳动", 3, 0, 20, {measure::FormulaKind::Range, {{3}, {4}, {5}}, measure::tenthMicrometres(0)}});
    {
        QSettings native(path, QSettings::IniFormat);
        core::QtTextSettings settings(native);
        ASSERT_TRUE(measure::storeCharacteristics(settings, setup));
        native.setValue(QStringLiteral("Settings/Unit"), 0);
    }
    QSettings native(path, QSettings::IniFormat);
    core::QtTextSettings settings(native);
    const measure::SetupParse loaded = measure::loadCharacteristics(settings, measure::LengthUnit::Millimetre);
    EXPECT_TRUE(loaded.refusals.empty());
    EXPECT_EQ(loaded.setup, setup);
    EXPECT_FALSE(settings.readText("Characteristics", "None"));
}
