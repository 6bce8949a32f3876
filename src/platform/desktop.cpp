#include "platform/desktop.h"

#include <QGuiApplication>
#include <QScreen>

namespace tovik {

void Desktop::watchScreens() {
    // One notification for the burst of changes one rearrangement makes.
    screensChanged_.setSingleShot(true);
    screensChanged_.setInterval(0);
    connect(&screensChanged_, &QTimer::timeout, this, &Desktop::screensChanged);
    const auto watch = [this](QScreen* screen) {
        connect(screen, &QScreen::geometryChanged, &screensChanged_, qOverload<>(&QTimer::start));
    };
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    connect(app, &QGuiApplication::screenAdded, this, [this, watch](QScreen* screen) {
        watch(screen);
        screensChanged_.start();
    });
    connect(app, &QGuiApplication::screenRemoved, &screensChanged_, qOverload<>(&QTimer::start));
    connect(app, &QGuiApplication::primaryScreenChanged, &screensChanged_,
            qOverload<>(&QTimer::start));
}

} // namespace tovik
