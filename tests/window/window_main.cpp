// Window tests need one QApplication for the whole run.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/station_icon.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    QApplication::setFont(gaugemon::app::dialogFont());
    return RUN_ALL_TESTS();
}
