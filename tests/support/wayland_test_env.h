#pragma once

#include "support/run_tool.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <QWindow>

#include <chrono>
#include <optional>

// Helpers for tests that run on the private Wayland desktop of tests/support/with_wayland.sh.
namespace tovik::waylandtest {

using namespace std::chrono_literals;

// The desktop's outputs, as with_wayland.sh made them.
struct TestScreen {
    QString name; // HEADLESS-1, ...
    QRect geometry;
    QColor background;
};
QList<TestScreen> testScreens();

// Pointer input through tovik_test_pointer, in layout coordinates: steps such as
// {"move", "10", "20", "press", "move", "300", "40", "release"}; true once the compositor
// has taken them.
bool pointer(const QStringList& steps);

} // namespace tovik::waylandtest
