// The working day of the headless station test, run through the window:
// both paths must write the same file.
#include <fstream>
#include <iterator>

#include "station/working_day.h"
#include "station_fixture.h"

using namespace gaugemon;
using namespace gaugemon::testing;
namespace c = app::control;

namespace {

class WorkingDayThroughTheWindow : public StationFixture {};

TEST_F(WorkingDayThroughTheWindow, WritesTheSameFileAsTheStationAlone) {
    settings.writeInt("HW", 2);
    settings.writeInt("ComID", WorkingDay::kComId);
    ports.place(WorkingDay::kPort, WorkingDay::instrument());
    open();
    ASSERT_TRUE(connect());
    clock.advanceBy(500);
    click(c::kManual);
    clock.advanceBy(20);
    type(c::kInterval, "0.5");
    click(c::kAutoRecord);
    clock.advanceBy(1000);
    click(c::kAutoRecord);
    ASSERT_EQ(window->recordTable().rowCount(), 3u);

    const std::string path = (directory() / "day.xls").string();
    prompts.saveChoices.push_back(core::SaveChoice{path, 0});
    click(c::kSave);
    window->finishFileWrites();
    std::ifstream file(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), WorkingDay::expectedExport());
}

}  // namespace
