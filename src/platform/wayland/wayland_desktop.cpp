#include "platform/wayland/wayland_desktop.h"

#include <QCursor>
#include <QGuiApplication>

namespace tovik {

WaylandDesktop::WaylandDesktop(QObject* parent)
    : Desktop(parent) {
    watchScreens();
}

qint64 WaylandDesktop::processId() {
    return QCoreApplication::applicationPid();
}

QCoro::Task<bool> WaylandDesktop::activate(AppRef) {
    co_return false;
}

bool WaylandDesktop::isActive() {
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

QPoint WaylandDesktop::mousePosition() {
    return QCursor::pos();
}

} // namespace tovik
