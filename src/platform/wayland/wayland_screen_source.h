#pragma once

#include "platform/screen_source.h"

#include <QDBusConnection>

namespace tovik {

// One screen's part of a screenshot of the whole desktop, whose screens' bounding box in points
// is `desktopArea`, at pixelSize.
Expected<QImage> cutScreen(const QImage& desktop, const QRect& desktopArea,
                           const ScreenInfo& screen, QSize pixelSize);

// Screens as Qt lists them; one screenshot of the whole desktop through the Screenshot portal,
// taken in `settle`, cut into one image per screen by the screens' logical geometry.
class WaylandScreenSource final : public ScreenSource {
public:
    explicit WaylandScreenSource(QDBusConnection bus);

    /** False once the desktop refused a screenshot: it asks again at the next one. */
    bool preflightAccess() override { return !refused_; }
    bool requestAccess() override;
    QList<ScreenInfo> screens() override;
    void windowsWillHide() override { windowsHidden_ = true; }
    QCoro::Task<> settle() override;
    QCoro::Task<Expected<QImage>> grab(const ScreenInfo& screen, QSize pixelSize) override;

private:
    QDBusConnection bus_;
    Expected<QImage> desktop_;
    QRect desktopArea_; // the screens' bounding box, in points, when the shot was taken
    bool refused_ = false;
    bool windowsHidden_ = false;
};

} // namespace tovik
