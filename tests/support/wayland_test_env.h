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

// Presses and releases Shift through a virtual keyboard and waits until `window`, which has
// the keyboard focus, has seen it. Qt sets the clipboard with the serial of the last key or
// button event it had, and sway takes no selection without a serial the client was given.
bool giveKeySerial(QWindow* window);

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

// Where the compositor shows the content of the first window of process `pid`, in layout
// coordinates, or nothing while it has none mapped.
std::optional<QRect> windowContent(qint64 pid);

// A screenshot of every output through the Screenshot portal, without asking; a null image
// when the portal refuses or gives no answer in time.
QImage portalScreenshot(std::chrono::milliseconds timeout = 20s);

} // namespace tovik::waylandtest
