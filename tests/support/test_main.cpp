#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

// One QApplication for every test executable, so that fonts, QPainter on images,
// timers and coroutines work; unit tests run it on the offscreen platform.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The build lists the cases to register them with CTest, with no display to open.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
