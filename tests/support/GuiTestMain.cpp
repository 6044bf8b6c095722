// gtest entry for tests that create widgets: one QApplication for the run,
// offscreen unless a display was asked for, with the program's font and
// translations so that windows look and measure as they do for the user.
#include "link/Startup.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    qmt::PrepareApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
