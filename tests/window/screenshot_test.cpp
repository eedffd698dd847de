// Pictures of the connected window in both languages, kept as test artefacts
// so that a person can look at what the operator sees.
#include "station_fixture.h"

#include <QDir>
#include <QPixmap>

#include "measure/setup_text.h"
#include "sim/instrument_config.h"

using namespace gaugemon;
using namespace gaugemon::testing;

namespace {

class Screenshot : public StationFixture {
protected:
    QString save(const char* name) {
        const QString directory = qEnvironmentVariable("GAUGEMON_ARTIFACT_DIR", QDir::currentPath() + "/artifacts");
        QDir().mkpath(directory);
        const QString path = directory + "/" + name;
        EXPECT_TRUE(window->grab().save(path));
        return path;
    }

    void connectedWindow(int language) {
        settings.writeInt("Language", language);
        settings.writeInt("HW", 2);
        settings.writeInt("ComID", 3);
        sim::InstrumentConfig config;
        config.probeCount = 12;
        for (unsigned k = 0; k < 12; ++k) {
            config.probes.push_back(sim::constantProbe(k % 4 == 3 ? 7500.0 : 3500.0 + 300.0 * k));
        }
        ports.place("COM3", config);
        open();
        window->resize(1238, 758);
        ASSERT_TRUE(connect());
        click(app::control::kManual);
        clock.advanceBy(1500);
        click(app::control::kManual);
        clock.advanceBy(500);
        QApplication::processEvents();
    }
};

TEST_F(Screenshot, ConnectedWindowInChinese) {
    connectedWindow(1);
    EXPECT_TRUE(window->displayModel().anyNg());
    EXPECT_FALSE(QPixmap(save("window_zh.png")).isNull());
}

TEST_F(Screenshot, ConnectedWindowInEnglish) {
    connectedWindow(2);
    // Two characteristics after the probes: a diameter and a runout.
    measure::SetupParse parsed = measure::parseSetupText(
        "Dia; 3; 7.790; 7.810; p1 + p2 + 0.5\nRunout; 3; 0; 0.500; range(p1..p3)\n", measure::kMaxProbes);
    ASSERT_FALSE(model->setCharacteristics(std::move(parsed.setup)));
    clock.advanceBy(500);
    QApplication::processEvents();
    EXPECT_FALSE(QPixmap(save("window_en.png")).isNull());
}

}  // namespace
