#include "capture/screen_capture.h"

namespace tovik {

QString message(ScreenCaptureError error) {
    switch (error) {
    case ScreenCaptureError::permission:
        return QStringLiteral("Allow tovik to capture the screen when your desktop asks, then "
                              "try again.");
    case ScreenCaptureError::noDisplays:
        return QStringLiteral("No available display was found.");
    case ScreenCaptureError::displayChanged:
        return QStringLiteral("The display arrangement changed. Select the region again.");
    }
    Q_UNREACHABLE();
}

namespace {

// Device pixels of a whole screen; a fractional product is truncated, never rounded up.
QSize pixelSize(const ScreenInfo& screen) {
    return QSize(static_cast<int>(screen.geometry.width() * screen.devicePixelRatio),
                 static_cast<int>(screen.geometry.height() * screen.devicePixelRatio));
}

} // namespace

QCoro::Task<Expected<QList<DisplaySnapshot>>> captureDisplays(ScreenSource& source,
                                                              CancelToken cancel) {
    // Ask only when the silent check fails, so a granted permission never prompts.
    if (!source.preflightAccess() && !source.requestAccess())
        co_return Failure::of(ScreenCaptureError::permission);

    co_await source.settle();
    QList<DisplaySnapshot> snapshots;
    for (const ScreenInfo& screen : source.screens()) {
        if (cancel.isCancelled())
            co_return Failure::cancelled();
        if (!screen.displayId)
            continue;
        Expected<QImage> image = co_await source.grab(screen, pixelSize(screen));
        // A desktop that asks while it captures (a portal) tells of a refusal only then.
        if (!image)
            co_return source.preflightAccess() ? image.failure()
                                               : Failure::of(ScreenCaptureError::permission);
        snapshots.append(DisplaySnapshot{std::move(image).value(), screen, *screen.displayId});
    }
    if (snapshots.isEmpty())
        co_return Failure::of(ScreenCaptureError::noDisplays);
    co_return snapshots;
}

} // namespace tovik
