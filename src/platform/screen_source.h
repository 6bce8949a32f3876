#pragma once

#include "model/failure.h"

#include <QCoro/QCoroTask>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

#include <optional>

namespace tovik {

// One desktop screen as the capture side needs it.
struct ScreenInfo {
    QString name;   // human name (monitor or output name)
    QRect geometry; // points, global desktop coordinates
    double devicePixelRatio = 1;
    std::optional<quint32> displayId; // none when the screen matches no monitor
    friend bool operator==(const ScreenInfo&, const ScreenInfo&) = default;
};

// Frozen images of the desktop's screens.
class ScreenSource {
public:
    ScreenSource() = default;
    virtual ~ScreenSource() = default;
    ScreenSource(const ScreenSource&) = delete;
    ScreenSource& operator=(const ScreenSource&) = delete;

    /** Whether capturing is allowed, without asking; false when not yet granted, or once the
     *  user refused while a capture was taken. */
    virtual bool preflightAccess() = 0;
    /** Asks the user for access; false when refused. */
    virtual bool requestAccess() = 0;
    /** The screens in the platform's order; empty when there is none. */
    virtual QList<ScreenInfo> screens() = 0;
    /** Called just before the session hides its windows for a capture, so that `settle` sees
     *  everything drawn over what they uncover. */
    virtual void windowsWillHide() = 0;
    /** Waits until this app's windows hidden a moment ago are off the screen and what they
     *  covered is drawn again, so that grabs see neither them nor their ghosts. */
    virtual QCoro::Task<> settle() = 0;
    /** The whole screen at pixelSize device pixels without this app's windows; the platform's error
     *  otherwise. The event loop runs while the pixels are read. */
    virtual QCoro::Task<Expected<QImage>> grab(const ScreenInfo& screen, QSize pixelSize) = 0;
    /** Makes ahead what a capture needs, so that the first capture after start-up is as fast
     *  as later ones. */
    virtual void warmUp() {}
    /** Gives back what was kept for fast captures; the next capture makes it again. */
    virtual void releaseBuffers() {}
};

} // namespace tovik
