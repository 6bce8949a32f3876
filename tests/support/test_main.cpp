#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

// One QApplication for every test executable, so that fonts, QPainter on images,
// timers and coroutines work; unit tests run it on the offscreen platform.
int main(int argc, char** argv) {
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
