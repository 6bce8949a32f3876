#include "platform/wayland/wayland_screen_source.h"

#include "platform/wayland/portal_request.h"

#include <QCoro/QCoroTimer>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <chrono>

namespace tovik {
namespace {

using namespace std::chrono_literals;

// A desktop that asks the user first (GNOME does, once) waits for the answer this long.
constexpr auto screenshotAnswer = 2min;
// Windows hidden a moment ago leave the screen at the compositor's next frames.
constexpr auto hiddenWindowsGone = 50ms;

QRect boundingBox(const QList<QScreen*>& screens) {
    QRect area;
    for (const QScreen* screen : screens)
        area |= screen->geometry();
    return area;
}

QCoro::Task<Expected<QImage>> takeScreenshot(QDBusConnection bus) {
    // Made first: GCC 12 rejects a braced list of QStringLiterals inside co_await.
    PortalCall call{QStringLiteral("org.freedesktop.portal.Screenshot"),
                    QStringLiteral("Screenshot"),
                    {QString()},
                    {{QStringLiteral("interactive"), false}}};
    const Expected<QVariantMap> results =
        co_await requestPortal(bus, std::move(call), QDeadlineTimer(screenshotAnswer));
    if (!results)
        co_return results.failure();
    const QString path = QUrl(results->value(QStringLiteral("uri")).toString()).toLocalFile();
    QImage image(path);
    // The portal leaves the file behind, world-readable on some desktops and in the user's
    // pictures on others: the only copy tovik keeps is in memory.
    if (!path.isEmpty())
        QFile::remove(path);
    if (image.isNull())
        co_return Failure::platform(
            QStringLiteral("The desktop’s screenshot could not be read (“%1”).").arg(path));
    co_return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

WaylandScreenSource::WaylandScreenSource(QDBusConnection bus)
    : bus_(std::move(bus))
    , desktop_(Failure::of(PortalError::noAnswer)) {}

bool WaylandScreenSource::requestAccess() {
    // The desktop asks, if it asks at all, when the next screenshot is taken.
    refused_ = false;
    return true;
}

QList<ScreenInfo> WaylandScreenSource::screens() {
    QList<ScreenInfo> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        // Output names are unique and stable while the compositor runs.
        const quint32 id = static_cast<quint32>(qHash(screen->name()));
        screens.append({screen->name(), screen->geometry(), screen->devicePixelRatio(), id});
    }
    return screens;
}

QCoro::Task<> WaylandScreenSource::settle() {
    if (windowsHidden_) {
        windowsHidden_ = false;
        QTimer gone;
        gone.setSingleShot(true);
        gone.start(hiddenWindowsGone);
        co_await gone;
    }
    desktopArea_ = boundingBox(QGuiApplication::screens());
    desktop_ = co_await takeScreenshot(bus_);
    if (!desktop_ && desktop_.failure().is(PortalError::refused))
        refused_ = true;
}

QCoro::Task<Expected<QImage>> WaylandScreenSource::grab(const ScreenInfo& screen, QSize pixelSize) {
    if (!desktop_)
        co_return desktop_.failure();
    co_return cutScreen(*desktop_, desktopArea_, screen, pixelSize);
}

Expected<QImage> cutScreen(const QImage& desktop, const QRect& desktopArea,
                           const ScreenInfo& screen, QSize pixelSize) {
    if (desktopArea.isEmpty() || !desktopArea.contains(screen.geometry))
        return Failure::platform(QStringLiteral("The screen “%1” is not in the desktop’s "
                                                "screenshot; the screens may have changed.")
                                     .arg(screen.name));
    // The compositor draws the whole desktop at one scale, that of its densest output.
    const double scale = double(desktop.width()) / desktopArea.width();
    const QRectF area((screen.geometry.topLeft() - desktopArea.topLeft()) * scale,
                      QSizeF(screen.geometry.size()) * scale);
    QImage image = desktop.copy(area.toAlignedRect().intersected(desktop.rect()));
    if (image.size() != pixelSize)
        image = image.scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace tovik
