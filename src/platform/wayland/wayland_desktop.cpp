#include "platform/wayland/wayland_desktop.h"

#include "platform/signal_wait.h"

#include <QCursor>
#include <QGuiApplication>

namespace tovik {

namespace {
// Hiding a window hands the keyboard on at the compositor's next frame or so.
constexpr auto keyboardHandedOn = std::chrono::seconds(1);
} // namespace

WaylandDesktop::WaylandDesktop(QObject* parent)
    : Desktop(parent) {
    watchScreens();
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState state) {
                    if (state != Qt::ApplicationActive)
                        Q_EMIT applicationActivated(AppRef{});
                });
    }
}

std::optional<AppRef> WaylandDesktop::frontmostApplication() {
    return isActive() ? std::nullopt : std::optional<AppRef>(AppRef{});
}

qint64 WaylandDesktop::processId() {
    return QCoreApplication::applicationPid();
}

QCoro::Task<bool> WaylandDesktop::activate(AppRef) {
    if (isActive()) {
        auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
        if (app)
            co_await waitForSignal(app, &QGuiApplication::applicationStateChanged,
                                   QDeadlineTimer(keyboardHandedOn));
    }
    co_return !isActive();
}

bool WaylandDesktop::isActive() {
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

QPoint WaylandDesktop::mousePosition() {
    return QCursor::pos();
}

} // namespace tovik
