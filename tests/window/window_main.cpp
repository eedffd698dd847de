// Window tests need one QApplication for the whole run.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/station_icon.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Off screen unless a display platform is asked for (the Xvfb run asks for xcb).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setFont(gaugemon::app::dialogFont());
    return RUN_ALL_TESTS();
}
